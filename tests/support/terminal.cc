#include "terminal.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

namespace {

constexpr int kWaitMs = 20000;

}  // namespace

Terminal::~Terminal() {
  if (input_ >= 0 && input_ != master_) close(input_);
  if (master_ >= 0) close(master_);
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool Terminal::start(const std::vector<std::string>& argv, const std::string& cwd,
                     bool piped_input) {
  int slave = -1;
  struct termios raw;
  cfmakeraw(&raw);  // no echo, no line editing: the bytes go through as written
  if (openpty(&master_, &slave, nullptr, &raw, nullptr) != 0) return false;
  int pipe_ends[2] = {slave, -1};
  if (piped_input && pipe(pipe_ends) != 0) return false;
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(pipe_ends[0], 0);
    dup2(slave, 1);
    dup2(slave, 2);
    close(master_);
    if (piped_input) close(pipe_ends[1]);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execv(args[0], args.data());
    _exit(127);
  }
  close(slave);
  if (piped_input) close(pipe_ends[0]);
  input_ = piped_input ? pipe_ends[1] : master_;
  return pid_ > 0;
}

bool Terminal::read_some(int timeout_ms) {
  pollfd p{master_, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) return false;
  char buf[65536];
  const ssize_t n = read(master_, buf, sizeof buf);
  if (n <= 0) return false;  // EIO once the program has gone
  for (ssize_t i = 0; i < n; ++i) {
    if (buf[i] != '\r') screen_ += buf[i];
  }
  return true;
}

bool Terminal::wait_for(const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (screen_.find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !read_some(static_cast<int>(left.count()))) return false;
  }
  return true;
}

void Terminal::send(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(input_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

int Terminal::finish() {
  if (input_ != master_) close(input_);
  input_ = -1;
  while (read_some(kWaitMs)) {
  }
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
