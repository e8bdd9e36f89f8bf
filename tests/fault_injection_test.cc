// Faults from outside the tools: full disks, inputs that are not files,
// inputs that change under them.  Each must end with a clear message and a
// non-zero status, and what was written before the fault must stand.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "run_program.h"
#include "telemetry_files.h"

using namespace tlmframe;

namespace {

const std::string kIfgextract = IFGEXTRACT_PATH;

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = make_temp_dir(); }
  void TearDown() override { remove_tree(dir_); }

  std::string telemetry(const std::string& name, int64_t records, int64_t tail = 0) {
    SynthOptions o;
    synth_defaults(o);
    o.records = records;
    o.tail_bytes = tail;
    const std::string path = dir_ + "/" + name;
    write_file(path, synth_bytes(o));
    return path;
  }
  ProgramResult shell(const std::string& command) { return run_program({"/bin/sh", "-c", command}); }

  std::string dir_;
};

TEST_F(FaultTest, FifoFedInSmallPiecesReadsWhole) {
  const std::string data = telemetry("data", 5, 77);
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const ProgramResult direct = shell(kIfgextract + " -F " + data);
  const ProgramResult r =
      shell("(dd if=" + data + " bs=313 2>/dev/null > " + fifo + " &) ; " + kIfgextract + " -F " + fifo);
  EXPECT_EQ(r.out, direct.out);
  EXPECT_EQ(r.err, "Byte mismatch reading at record 6\n");
  EXPECT_EQ(r.status, 1);
}

// The tool is held back by a slow reader of its output while the file is
// cut short behind it: it must read on to the new end, keep every line of
// the records before it, and say where the data stopped.
TEST_F(FaultTest, FileTruncatedWhileBeingRead) {
  const std::string data = telemetry("data", 120);
  const std::string whole = shell(kIfgextract + " -c -F " + data).out;
  const std::string command = kIfgextract + " -c -F " + data + " 2>" + dir_ + "/err | (" +
                              "dd bs=1 count=1 2>/dev/null; truncate -s " +
                              std::to_string(50 * kRecordBytes + 100) + " " + data + "; cat)";
  const ProgramResult r = shell(command);
  const std::string err = read_file(dir_ + "/err");
  EXPECT_EQ(err, "Byte mismatch reading at record 51\n");
  const size_t end_of_50 = whole.find("\n50\n") + 4;
  ASSERT_NE(end_of_50, std::string::npos + 4);
  EXPECT_EQ(r.out, whole.substr(0, end_of_50));
}

TEST_F(FaultTest, FileVanishingBetweenExistenceTestAndOpen) {
  const std::string data = telemetry("data", 3);
  const ProgramResult r =
      shell("ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" VANISH_PRELOAD_PATH " VANISH_PATH=" + data +
            " " + kIfgextract + " -F " + data);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error opening file\n");
  EXPECT_EQ(r.status, 255);
  EXPECT_NE(access(data.c_str(), F_OK), 0);
}

TEST_F(FaultTest, OutputFileLimitReachedMidway) {
  // A file-size limit stands in for a disk that fills while the tool writes.
  const std::string data = telemetry("data", 40);
  const ProgramResult r =
      shell("trap '' XFSZ; ulimit -f 64; " + kIfgextract + " -F " + data + " > " + dir_ + "/out");
  EXPECT_EQ(r.err, "ifgextract: standard output: File too large\n");
  EXPECT_EQ(r.status, 1);
  // What did reach the file is a whole prefix of the full output.
  const std::string whole = shell(kIfgextract + " -F " + data).out;
  const std::string got = read_file(dir_ + "/out");
  EXPECT_GT(got.size(), 0u);
  EXPECT_EQ(whole.compare(0, got.size(), got), 0);
}

TEST_F(FaultTest, ClosedPipeEndsTheToolQuietly) {
  // A reader that stops early (head) ends the tool by SIGPIPE, as for any
  // Unix filter: no message, and the shell sees 128 + 13.
  const std::string data = telemetry("data", 40);
  const ProgramResult r = run_program(
      {"/bin/bash", "-c", kIfgextract + " -F " + data + " | head -c 10 >/dev/null; exit ${PIPESTATUS[0]}"});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 141);
}

}  // namespace
