// Preloaded into a tool by the fault-injection tests to change a file
// under it at a chosen moment, as another process could:
// - the file named by VANISH_PATH is removed at the moment the tool opens
//   it, as if it had been deleted between the tool's existence test and
//   its open;
// - the file named by SHRINK_PATH is cut to SHRINK_SIZE bytes just after
//   the tool's first read from it returns, as if it had been truncated
//   while the tool was reading it;
// - the tool's close of the file named by CLOSE_FAIL_PATH closes it and
//   then reports EIO, as a file system that writes back late may;
// - every write to standard output takes at most WRITE_CAP bytes, as a
//   pipe whose reader stops and goes on may;
// - once the tool has opened the file named by SIGNALS_PATH, a SIGALRM
//   handler installed without SA_RESTART (as an interpreter's handlers
//   are) is called every millisecond, so that a read that waits is
//   interrupted (EINTR).
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

int shrink_fd = -1;      // the tool's descriptor of SHRINK_PATH until it is cut
int close_fail_fd = -1;  // the tool's descriptor of CLOSE_FAIL_PATH

void on_alarm(int) {}

void start_signals() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = on_alarm;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a waiting read returns EINTR
  sigaction(SIGALRM, &action, nullptr);
  const itimerval every_millisecond = {{0, 1000}, {0, 1000}};
  setitimer(ITIMER_REAL, &every_millisecond, nullptr);
}

bool is_named(const char* variable, const char* path) {
  const char* target = getenv(variable);
  return target != nullptr && path != nullptr && std::strcmp(path, target) == 0;
}

using OpenFunction = int (*)(const char*, int, ...);
using ReadFunction = ssize_t (*)(int, void*, size_t);

int forward(const char* name, const char* path, int flags, va_list args) {
  static OpenFunction real_open = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "open"));
  static OpenFunction real_open64 = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "open64"));
  const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(args, int)) : 0;
  if (is_named("VANISH_PATH", path)) unlink(path);
  const int fd = std::strcmp(name, "open") == 0 ? real_open(path, flags, mode)
                                                : real_open64(path, flags, mode);
  if (fd >= 0 && is_named("SHRINK_PATH", path)) shrink_fd = fd;
  if (fd >= 0 && is_named("CLOSE_FAIL_PATH", path)) close_fail_fd = fd;
  if (fd >= 0 && is_named("SIGNALS_PATH", path)) start_signals();
  return fd;
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const int fd = forward("open", path, flags, args);
  va_end(args);
  return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const int fd = forward("open64", path, flags, args);
  va_end(args);
  return fd;
}

extern "C" ssize_t read(int fd, void* buf, size_t count) {
  static ReadFunction real_read = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
  const ssize_t n = real_read(fd, buf, count);
  if (fd >= 0 && fd == shrink_fd) {
    shrink_fd = -1;
    if (truncate(getenv("SHRINK_PATH"), atol(getenv("SHRINK_SIZE"))) != 0) abort();
  }
  return n;
}

extern "C" ssize_t write(int fd, const void* buf, size_t count) {
  using WriteFunction = ssize_t (*)(int, const void*, size_t);
  static WriteFunction real_write = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
  const char* cap = getenv("WRITE_CAP");
  if (fd == STDOUT_FILENO && cap != nullptr && count > static_cast<size_t>(atol(cap))) {
    count = static_cast<size_t>(atol(cap));
  }
  return real_write(fd, buf, count);
}

extern "C" int close(int fd) {
  using CloseFunction = int (*)(int);
  static CloseFunction real_close = reinterpret_cast<CloseFunction>(dlsym(RTLD_NEXT, "close"));
  const int result = real_close(fd);
  if (fd < 0 || fd != close_fail_fd || result != 0) return result;
  close_fail_fd = -1;
  errno = EIO;
  return -1;
}
