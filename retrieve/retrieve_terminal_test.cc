// The dialogue at a terminal: the program runs on a pseudo-terminal and
// reads its detection file from a named pipe that the test fills a piece
// at a time, so each line must be on the screen before the program has
// anything more to read.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "run_program.h"

namespace {

constexpr int kWaitMs = 5000;

const char kEntryStart[] =  // groups 1 to 8 of an entry numbered 1
    "1 2 1\n2 0.6328 0 1\n1.5 2.5\n0.1\n0.2\n0.3\n0.4\n1 2 1\n";
const char kEntryEnd[] = "3 0.482 0 1\n10 20 30\n1\n2\n3\n4\n5\n6\n";

class Terminal {
 public:
  ~Terminal() {
    if (master_ >= 0) close(master_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool start(const std::string& dir) {
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      if (chdir(dir.c_str()) != 0) _exit(126);
      execl(RETRIEVE_PATH, RETRIEVE_PATH, static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid_ > 0;
  }

  // Reads the screen until text has appeared on it; false after a time.
  bool wait_for(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (screen_.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !read_some(static_cast<int>(left.count()))) return false;
    }
    return true;
  }

  void type(const std::string& text) {
    ASSERT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }

  int exit_status() {
    while (read_some(kWaitMs)) {
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  const std::string& screen() const { return screen_; }

 private:
  // Appends what the program has written, without the terminal's carriage
  // returns; false at its end or after timeout_ms of silence.
  bool read_some(int timeout_ms) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return false;
    char buf[4096];
    const ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) return false;  // EIO once the program has gone
    for (ssize_t i = 0; i < n; ++i) {
      if (buf[i] != '\r') screen_ += buf[i];
    }
    return true;
  }

  int master_ = -1;
  pid_t pid_ = -1;
  std::string screen_;
};

// Opens the pipe for writing once the program has opened it for reading.
int open_pipe_writer(const std::string& path) {
  for (int tries = 0; tries < kWaitMs / 10; ++tries) {
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) {
      fcntl(fd, F_SETFL, 0);
      return fd;
    }
    if (errno != ENXIO) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

void write_all(int fd, const std::string& text) {
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

TEST(RetrieveAtATerminal, EachLineIsOnTheScreenBeforeTheProgramWaits) {
  const std::string dir = make_temp_dir();
  const std::string fifo = dir + "/all.det";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  {
    Terminal t;
    ASSERT_TRUE(t.start(dir));
    ASSERT_TRUE(t.wait_for("     PROGRAM RETRIEVE\n Input ifgram. number (  1)\n")) << t.screen();
    t.type("1\n");
    ASSERT_TRUE(t.wait_for(" Processing...............\n")) << t.screen();

    const int pipe_fd = open_pipe_writer(fifo);
    ASSERT_GE(pipe_fd, 0);
    write_all(pipe_fd, kEntryStart);  // up to the spectrum header
    EXPECT_TRUE(t.wait_for(" #=  1\n")) << t.screen();
    EXPECT_EQ(t.screen().find("Written"), std::string::npos);
    write_all(pipe_fd, kEntryEnd);
    close(pipe_fd);
    EXPECT_TRUE(t.wait_for(" Written interferogram no.=   1\n Finished!\n")) << t.screen();
    EXPECT_EQ(t.exit_status(), 0);
  }
  EXPECT_EQ(read_file(dir + "/interferogram.dat"), "1.5\n2.5\n");
  remove_tree(dir);
}

}  // namespace
