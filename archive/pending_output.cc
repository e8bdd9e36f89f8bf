#include "pending_output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "exit_status.h"

namespace {

// What the signal handler needs, set up before any signal can come: the
// file to remove ("" when none) and the message to write.
char g_remove[PATH_MAX];
char g_message[PATH_MAX + 128];
size_t g_message_length;

void on_signal(int) {
  if (g_remove[0] != '\0') unlink(g_remove);
  if (g_message_length > 0) {
    ssize_t ignored = write(STDERR_FILENO, g_message, g_message_length);
    (void)ignored;
  }
  _exit(1);
}

const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

void block_signals(bool block) {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kCleanupSignals) sigaddset(&set, s);
  sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

}  // namespace

void pending_signals(const char* program, const char* final_path) {
  g_remove[0] = '\0';
  const int m = std::snprintf(g_message, sizeof g_message,
                              "%s: %s: interrupted; nothing written there\n", program, final_path);
  g_message_length = m > 0 ? std::strlen(g_message) : 0;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  for (int s : kCleanupSignals) sigaddset(&action.sa_mask, s);
  for (int s : kCleanupSignals) sigaction(s, &action, nullptr);
  signal(SIGXFSZ, SIG_IGN);
}

bool pending_create(PendingOutput& p, const char* final_path) {
  p.final_path = final_path;
  const int n = std::snprintf(p.temp_path, sizeof p.temp_path, "%s.tmp.XXXXXX", final_path);
  if (n < 0 || static_cast<size_t>(n) >= sizeof p.temp_path) {
    errno = ENAMETOOLONG;
    return false;
  }
  block_signals(true);
  const int fd = mkstemp(p.temp_path);
  const int error = errno;
  if (fd >= 0) {
    close(fd);
    std::memcpy(g_remove, p.temp_path, sizeof g_remove);
  }
  block_signals(false);
  errno = error;
  return fd >= 0;
}

namespace {

// The file's data on the disk before it takes its name: after a power cut
// the name would otherwise be there with the data missing, and a batch
// that resumes would take it for whole.
bool sync_file(const char* path) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  const int error = errno;
  close(fd);
  errno = error;
  return synced;
}

// The new name on the disk too; a folder that cannot be synced (some
// file systems refuse) leaves the name to the system's own writing.
void sync_folder_of(const char* path) {
  char folder[PATH_MAX];
  const char* slash = std::strrchr(path, '/');
  if (slash == nullptr) {
    std::strcpy(folder, ".");
  } else {
    const size_t n = slash == path ? 1 : static_cast<size_t>(slash - path);
    std::memcpy(folder, path, n);
    folder[n] = '\0';
  }
  const int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

bool pending_commit(PendingOutput& p) {
  const mode_t mask = umask(0);
  umask(mask);
  block_signals(true);
  g_remove[0] = '\0';
  g_message_length = 0;
  if (sync_file(p.temp_path) && chmod(p.temp_path, 0666 & ~mask) == 0 &&
      rename(p.temp_path, p.final_path) == 0) {
    sync_folder_of(p.final_path);
    return true;
  }
  const int error = errno;
  unlink(p.temp_path);
  errno = error;
  return false;
}

int pending_commit_reported(PendingOutput& p, const char* program) {
  if (pending_commit(p)) return kExitOk;
  std::fprintf(stderr, "%s: %s: %s\n", program, p.final_path, std::strerror(errno));
  return kExitFailure;
}

void pending_discard(PendingOutput& p) {
  block_signals(true);
  g_remove[0] = '\0';
  g_message_length = 0;
  unlink(p.temp_path);
  block_signals(false);
}

void pending_fail(PendingOutput& p) {
  pending_discard(p);
  _exit(kExitFailure);
}

bool same_file(const char* path, int fd) {
  struct stat a, b;
  return stat(path, &a) == 0 && fstat(fd, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
