// The dialogue at a terminal: the program runs on a pseudo-terminal and
// reads its detection file from a named pipe that the test fills a piece
// at a time, so each line must be on the screen before the program has
// anything more to read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "temp_dir.h"
#include "terminal.h"

namespace {

const char kEntryStart[] =  // groups 1 to 8 of an entry numbered 1
    "1 2 1\n2 0.6328 0 1\n1.5 2.5\n0.1\n0.2\n0.3\n0.4\n1 2 1\n";
const char kEntryEnd[] = "3 0.482 0 1\n10 20 30\n1\n2\n3\n4\n5\n6\n";

// Opens the pipe for writing once the program has opened it for reading.
int open_pipe_writer(const std::string& path) {
  for (int tries = 0; tries < 500; ++tries) {
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
  const TempDir dir;
  ASSERT_EQ(mkfifo(dir.path("all.det").c_str(), 0644), 0);
  Terminal t;
  ASSERT_TRUE(t.start({RETRIEVE_PATH}, dir.path(), /*piped_input=*/false));
  ASSERT_TRUE(t.wait_for("     PROGRAM RETRIEVE\n Input ifgram. number (  1)\n")) << t.screen();
  t.send("1\n");
  ASSERT_TRUE(t.wait_for(" Processing...............\n")) << t.screen();

  const int pipe_fd = open_pipe_writer(dir.path("all.det"));
  ASSERT_GE(pipe_fd, 0);
  write_all(pipe_fd, kEntryStart);  // up to the spectrum header
  EXPECT_TRUE(t.wait_for(" #=  1\n")) << t.screen();
  EXPECT_EQ(t.screen().find("Written"), std::string::npos);
  write_all(pipe_fd, kEntryEnd);
  close(pipe_fd);
  EXPECT_TRUE(t.wait_for(" Written interferogram no.=   1\n Finished!\n")) << t.screen();
  EXPECT_EQ(t.finish(), 0);
  EXPECT_EQ(dir.read("interferogram.dat"), "1.5\n2.5\n");
}

}  // namespace
