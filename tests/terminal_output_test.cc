// At a terminal the raw-data tools show each record's lines as soon as the
// record is done, even while the input stream is still open, so that an
// operator can watch a live stream.  The test plays the terminal (a
// pseudo-terminal) and the receiver feeding standard input (a pipe).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "telemetry_files.h"

using namespace tlmframe;

namespace {

struct LiveRun {
  pid_t pid = -1;
  int terminal = -1;  // master side: what the program writes to its screen
  int feed = -1;      // write end of the program's standard input
};

LiveRun start_at_terminal(const std::vector<std::string>& argv) {
  LiveRun run;
  int slave = -1;
  struct termios raw;
  cfmakeraw(&raw);  // no newline translation: the bytes arrive as written
  if (openpty(&run.terminal, &slave, nullptr, &raw, nullptr) != 0) return run;
  int in[2];
  if (pipe(in) != 0) return run;
  run.pid = fork();
  if (run.pid == 0) {
    dup2(in[0], 0);
    dup2(slave, 1);
    dup2(slave, 2);
    close(in[1]);
    close(run.terminal);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(slave);
  close(in[0]);
  run.feed = in[1];
  return run;
}

// Reads from the terminal until want has appeared; false if it has not
// within a generous bound (the bound only stops a broken build hanging).
bool screen_shows(int terminal, const std::string& want, std::string& screen) {
  for (int waited = 0; screen.find(want) == std::string::npos;) {
    struct pollfd p = {terminal, POLLIN, 0};
    if (poll(&p, 1, 200) == 0) {
      if ((waited += 200) > 20000) return false;
      continue;
    }
    char buf[65536];
    const ssize_t n = read(terminal, buf, sizeof buf);
    if (n <= 0) return false;
    screen.append(buf, static_cast<size_t>(n));
  }
  return true;
}

void feed(int fd, const std::string& bytes) {
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

void finish(LiveRun& run) {
  close(run.feed);
  std::string rest;
  screen_shows(run.terminal, "at record", rest);
  close(run.terminal);
  int status = 0;
  waitpid(run.pid, &status, 0);
}

TEST(TerminalOutput, IfgextractShowsEachRecordWhileTheStreamIsOpen) {
  SynthOptions o;
  synth_defaults(o);
  o.records = 4;
  const std::string bytes = synth_bytes(o);
  LiveRun run = start_at_terminal({IFGEXTRACT_PATH, "-c", "-F", "/dev/stdin"});
  ASSERT_GT(run.pid, 0);
  std::string screen;
  feed(run.feed, bytes.substr(0, 2 * kRecordBytes));
  EXPECT_TRUE(screen_shows(run.terminal, "\n2\n", screen)) << "record 2 not shown";
  feed(run.feed, bytes.substr(2 * kRecordBytes, kRecordBytes));
  EXPECT_TRUE(screen_shows(run.terminal, "\n3\n", screen)) << "record 3 not shown";
  EXPECT_NE(screen.find("    3 2     1 0 "), std::string::npos);
  finish(run);
}

TEST(TerminalOutput, HkdumpShowsEachRecordWhileTheStreamIsOpen) {
  SynthOptions o;
  synth_defaults(o);
  o.records = 3;
  const std::string bytes = synth_bytes(o);
  LiveRun run = start_at_terminal({HKDUMP_PATH, "-p", "-F", "/dev/stdin"});
  ASSERT_GT(run.pid, 0);
  std::string screen;
  feed(run.feed, bytes.substr(0, kRecordBytes));
  EXPECT_TRUE(screen_shows(run.terminal, "146f     1 2\t", screen)) << "record 1 not shown";
  feed(run.feed, bytes.substr(kRecordBytes, kRecordBytes));
  EXPECT_TRUE(screen_shows(run.terminal, "146f     2 2\t", screen)) << "record 2 not shown";
  finish(run);
}

}  // namespace
