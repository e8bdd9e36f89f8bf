// Faults from outside the housekeeping dumps that their end-to-end tests
// do not stage: a file cut short while it is read, a file the user may not
// read, and a disk that fills.  Each ends with its message and status 1,
// and what reached standard output is a whole prefix of a full run.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "run_program.h"
#include "telemetry_files.h"

using namespace tlmframe;

namespace {

const std::string kPrograms[] = {HKDUMP_PATH, HKRAWDUMP_PATH};
const std::string kPreload = "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" VANISH_PRELOAD_PATH;

class HousekeepingFaultTest : public ::testing::Test {
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
  static ProgramResult shell(const std::string& command) {
    return run_program({"/bin/sh", "-c", command});
  }

  std::string dir_;
};

// The file is cut to 30 records and a piece just after the reader's first
// read (twelve records): the dump reads on to the new end and reports the
// piece, exactly as a run over the shorter file does.
TEST_F(HousekeepingFaultTest, FileTruncatedWhileBeingRead) {
  const int64_t kept = 30 * kRecordBytes + 100;
  const std::string shorter = telemetry("shorter", 30, 100);
  for (const std::string& program : kPrograms) {
    const std::string data = telemetry("data", 60);
    const ProgramResult r = shell(kPreload + " SHRINK_PATH=" + data + " SHRINK_SIZE=" +
                                  std::to_string(kept) + " " + program + " -m -F " + data);
    const ProgramResult expected = shell(program + " -m -F " + shorter);
    EXPECT_EQ(r.err, "Mismatch data at record 31\n") << program;
    EXPECT_EQ(r.status, 1) << program;
    EXPECT_EQ(r.out, expected.out) << program;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\t'), 90 * (program == HKDUMP_PATH ? 3 : 1))
        << program;
  }
}

TEST_F(HousekeepingFaultTest, UnreadableFileFailsToOpen) {
  const std::string path = telemetry("secret", 2);
  chmod(path.c_str(), 0);
  chmod(dir_.c_str(), 0755);
  for (const std::string& program : kPrograms) {
    const std::string command = as_unprivileged(program + " -p -F " + path);
    if (command.empty()) GTEST_SKIP() << "no setpriv to drop root";
    const ProgramResult r = shell(command);
    if (unprivileged_run_impossible(r)) GTEST_SKIP() << "nobody cannot run the build: " << r.err;
    EXPECT_EQ(r.out, "") << program;
    EXPECT_EQ(r.err, path + ": Permission denied\n") << program;
    EXPECT_EQ(r.status, 1) << program;
  }
}

TEST_F(HousekeepingFaultTest, OutputFileLimitReachedMidway) {
  // A file-size limit stands in for a disk that fills while the dump writes;
  // the output is larger than the dump's buffer, so the run stops midway.
  const std::string data = telemetry("data", 2000);
  for (const std::string& program : kPrograms) {
    const std::string name = program == HKDUMP_PATH ? "hkdump" : "hkrawdump";
    const ProgramResult r =
        shell("trap '' XFSZ; ulimit -f 64; " + program + " -s -F " + data + " > " + dir_ + "/out");
    EXPECT_EQ(r.err, name + ": standard output: File too large\n");
    EXPECT_EQ(r.status, 1) << program;
    const std::string whole = shell(program + " -s -F " + data).out;
    const std::string got = read_file(dir_ + "/out");
    EXPECT_EQ(got.size(), 64u * 512) << program;
    EXPECT_EQ(whole.compare(0, got.size(), got), 0) << program;
  }
}

}  // namespace
