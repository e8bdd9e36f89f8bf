// Faults from outside the raw-data tools: full disks, inputs that are not
// files, inputs that change under them, files the user may not read.  Each
// must end with a clear message and a non-zero status, and what was written
// before the fault must stand: a whole prefix of a full run.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "run_program.h"
#include "telemetry_files.h"

using namespace tlmframe;

namespace {

const std::string kIfgextract = IFGEXTRACT_PATH;
const std::string kDumps[] = {HKDUMP_PATH, HKRAWDUMP_PATH};
const std::string kPreload =
    "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" VANISH_PRELOAD_PATH;

class FaultTest : public ::testing::Test {
 protected:
  std::string telemetry(const std::string& name, int64_t records, int64_t tail = 0) {
    return dir_.put(name, synth_bytes(generated_records(records, tail)));
  }

  TempDir dir_;
};

// A FIFO fed in small pieces, or in two pieces with a pause between them
// while a signal handler without SA_RESTART interrupts every wait: the
// records are put together whole, as from the file.
TEST_F(FaultTest, FifoFedInPiecesReadsWhole) {
  const std::string data = telemetry("data", 5, 77);
  const std::string fifo = dir_.path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string small_pieces = "(dd if=" + data + " bs=313 2>/dev/null > " + fifo + " &);";
  const std::string paused = "(dd if=" + data + " bs=20000 count=1; sleep 0.05; dd if=" + data +
                             " bs=20000 skip=1) 2>/dev/null > " + fifo + " & " + kPreload +
                             " SIGNALS_PATH=" + fifo;
  const struct {
    std::string program, feed, end;
  } cases[] = {{kIfgextract, small_pieces, "Byte mismatch reading at record 6\n"},
               {kIfgextract, paused, "Byte mismatch reading at record 6\n"},
               {kIfgextract + " -c", paused, "Byte mismatch reading at record 6\n"},
               {HKDUMP_PATH + std::string(" -p"), paused, "Mismatch data at record 6\n"}};
  for (const auto& c : cases) {
    const ProgramResult direct = run_shell(c.program + " -F " + data);
    EXPECT_EQ(run_shell(c.feed + " " + c.program + " -F " + fifo),
              (ProgramResult{direct.out, c.end, 1}))
        << c.program << " after " << c.feed;
  }
}

// A reader that takes a few bytes at a time: every byte is written once.
TEST_F(FaultTest, StandardOutputTakenInPiecesLosesAndRepeatsNothing) {
  const std::string data = telemetry("data", 3, 100);
  dir_.put("all.det", run_program({DETSYNTH_PATH, "-n", "2", "-s", "20", "-c", "30"}).out);
  const std::string commands[] = {kIfgextract + " -F " + data,
                                  HKDUMP_PATH + std::string(" -v -F ") + data,
                                  HKRAWDUMP_PATH + std::string(" -f -F ") + data,
                                  "echo 2 | " + std::string(RETRIEVE_PATH),
                                  TLMSYNTH_PATH + std::string(" -n 2"),
                                  DETSYNTH_PATH + std::string(" -n 1 -s 30 -c 40")};
  for (const std::string& command : commands) {
    const ProgramResult whole = run_shell(command, "", dir_.path());
    ASSERT_GT(whole.out.size(), 100u) << command;
    EXPECT_EQ(run_shell(kPreload + " WRITE_CAP=7 " + command, "", dir_.path()), whole) << command;
  }
}

// The tool is held back by a slow reader of its output while the file is
// cut short behind it: it must read on to the new end, keep every line of
// the records before it, and say where the data stopped.
TEST_F(FaultTest, FileTruncatedWhileBeingRead) {
  const std::string data = telemetry("data", 120);
  const std::string whole = run_shell(kIfgextract + " -c -F " + data).out;
  const ProgramResult r =
      run_shell(kIfgextract + " -c -F " + data + " 2>" + dir_.path("err") +
                " | (dd bs=1 count=1 2>/dev/null; truncate -s " +
                std::to_string(50 * kRecordBytes + 100) + " " + data + "; cat)");
  EXPECT_EQ(dir_.read("err"), "Byte mismatch reading at record 51\n");
  const size_t end_of_50 = whole.find("\n50\n") + 4;
  ASSERT_NE(end_of_50, std::string::npos + 4);
  EXPECT_EQ(r.out, whole.substr(0, end_of_50));
}

// The dumps' file is cut to 30 records and a piece just after their first
// read (twelve records): they read on to the new end and report the piece,
// exactly as a run over the shorter file does.
TEST_F(FaultTest, DumpedFileTruncatedWhileBeingRead) {
  const int64_t kept = 30 * kRecordBytes + 100;
  const std::string shorter = telemetry("shorter", 30, 100);
  for (const std::string& program : kDumps) {
    const std::string data = telemetry("data", 60);
    const ProgramResult r =
        run_shell(kPreload + " SHRINK_PATH=" + data + " SHRINK_SIZE=" + std::to_string(kept) + " " +
                  program + " -m -F " + data);
    EXPECT_EQ(r, (ProgramResult{run_shell(program + " -m -F " + shorter).out,
                                "Mismatch data at record 31\n", 1}));
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\t'), 90 * (program == HKDUMP_PATH ? 3 : 1))
        << program;
  }
}

TEST_F(FaultTest, FileVanishingBetweenExistenceTestAndOpen) {
  const std::string data = telemetry("data", 3);
  EXPECT_EQ(run_shell(kPreload + " VANISH_PATH=" + data + " " + kIfgextract + " -F " + data),
            (ProgramResult{"", "Error opening file\n", 255}));
  EXPECT_NE(access(data.c_str(), F_OK), 0);
}

TEST_F(FaultTest, UnreadableFileFailsToOpen) {
  const std::string path = telemetry("secret", 2);
  chmod(path.c_str(), 0);
  chmod(dir_.path().c_str(), 0755);
  for (const std::string& program : kDumps) {
    const auto r = run_unprivileged(program + " -p -F " + path);
    if (!r) GTEST_SKIP() << "cannot run the build as nobody here";
    EXPECT_EQ(*r, (ProgramResult{"", path + ": Permission denied\n", 1})) << program;
  }
}

// A file-size limit stands in for a disk that fills while the tool writes;
// the output is larger than the tool's buffer, so the run stops midway.
TEST_F(FaultTest, OutputFileLimitReachedMidway) {
  const struct {
    std::string program, name, args;
  } cases[] = {{kIfgextract, "ifgextract", " -F " + telemetry("data", 40)},
               {HKDUMP_PATH, "hkdump", " -s -F " + telemetry("long", 2000)},
               {HKRAWDUMP_PATH, "hkrawdump", " -s -F " + dir_.path("long")}};
  for (const auto& c : cases) {
    EXPECT_EQ(
        run_shell("trap '' XFSZ; ulimit -f 64; " + c.program + c.args + " > " + dir_.path("out")),
        (ProgramResult{"", c.name + ": standard output: File too large\n", 1}));
    const std::string whole = run_shell(c.program + c.args).out;
    const std::string got = dir_.read("out");
    EXPECT_EQ(got.size(), 64u * 512) << c.name;
    EXPECT_EQ(whole.compare(0, got.size(), got), 0) << c.name;
  }
}

TEST_F(FaultTest, ClosedPipeEndsTheToolQuietly) {
  // A reader that stops early (head) ends the tool by SIGPIPE, as for any
  // Unix filter: no message, and the shell sees 128 + 13.
  const std::string data = telemetry("data", 40);
  const ProgramResult r = run_program(
      {"/bin/bash", "-c",
       kIfgextract + " -F " + data + " | head -c 10 >/dev/null; exit ${PIPESTATUS[0]}"});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 141);
}

}  // namespace
