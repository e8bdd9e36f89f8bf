// End-to-end runs of the built ifgextract on generated and hand-made files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "format/channels.h"
#include "run_program.h"
#include "telemetry_files.h"

using namespace tlmframe;

namespace {

const std::string kProgram = IFGEXTRACT_PATH;
const std::string kHelp = "\tpreset for 2 detectors\n\tc\tcarriage\n\th\thelp\n";

class IfgextractTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = make_temp_dir(); }
  void TearDown() override { remove_tree(dir_); }

  std::string file(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    write_file(path, bytes);
    return path;
  }
  ProgramResult run(std::vector<std::string> args) {
    args.insert(args.begin(), kProgram);
    return run_program(args);
  }
  ProgramResult shell(const std::string& command) { return run_program({"/bin/sh", "-c", command}); }

  std::string dir_;
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(text.substr(start, nl - start));
  }
  return lines;
}

// A record whose groups carry no sample flag but the given ones.
TelemetryRecord quiet_record(int sync2) { return blank_record(sync2, sync2, sync2); }

TEST_F(IfgextractTest, ReadEndsAndTheirStatuses) {
  ProgramResult r = run({"-F", file("empty", "")});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "No bytes read at record 1\n");
  EXPECT_EQ(r.status, 0);

  r = run({"-F", file("one", telemetry_bytes({quiet_record(5)}))});
  EXPECT_EQ(r.out, "1\n");
  EXPECT_EQ(r.err, "No bytes read at record 2\n");
  EXPECT_EQ(r.status, 0);

  r = run({"-F", file("short", telemetry_bytes({quiet_record(5)}, 100))});
  EXPECT_EQ(r.out, "1\n");
  EXPECT_EQ(r.err, "Byte mismatch reading at record 2\n");
  EXPECT_EQ(r.status, 1);

  r = run({"-F", file("partial", telemetry_bytes({}, 5000))});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Byte mismatch reading at record 1\n");
  EXPECT_EQ(r.status, 1);

  r = run({"-F", dir_});  // a directory opens, but reading it fails
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error reading at record 1\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(IfgextractTest, CommandLine) {
  const std::string good = file("good", telemetry_bytes({quiet_record(5)}));
  const std::string missing = dir_ + "/missing";
  const struct {
    std::vector<std::string> args;
    std::string err;
    int status;
  } cases[] = {
      {{"-h"}, kHelp, 0},
      {{"-h", "-F", good}, kHelp, 0},
      {{"-h", "-F", missing}, kHelp, 0},
      {{"-F", missing, "-h"}, missing + ": No such file or directory\n", 1},
      {{}, "Error opening file\n", 255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const ProgramResult r = run(c.args);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
  }

  // Unknown options are reported and ignored; operands are ignored; the last -F wins.
  ProgramResult r = run({"-q", "operand", "-F", dir_ + "/missing-not", "-F", good});
  EXPECT_EQ(r.status, 1);  // the first -F is tested as it comes
  r = run({"-q", "operand", "-F", good});
  EXPECT_NE(r.err.find("invalid option"), std::string::npos);
  EXPECT_NE(r.err.find("No bytes read at record 2\n"), std::string::npos);
  EXPECT_EQ(r.out, "1\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(IfgextractTest, UnreadableFileFailsToOpen) {
  const std::string path = file("secret", telemetry_bytes({quiet_record(5)}));
  chmod(path.c_str(), 0);
  chmod(dir_.c_str(), 0755);
  const std::string command = as_unprivileged(kProgram + " -F " + path);
  if (command.empty()) GTEST_SKIP() << "no setpriv to drop root";
  const ProgramResult r = shell(command);
  if (unprivileged_run_impossible(r)) GTEST_SKIP() << "nobody cannot run the build: " << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error opening file\n");
  EXPECT_EQ(r.status, 255);
}

TEST_F(IfgextractTest, CarriageModeThreeRecords) {
  SynthOptions o;
  synth_defaults(o);
  o.records = 3;
  o.carriage = true;
  const ProgramResult r = run({"-c", "-F", file("c", synth_bytes(o))});
  const std::vector<std::string> lines = lines_of(r.out);
  ASSERT_EQ(lines.size(), 3u + 2 * 1296);
  EXPECT_EQ(lines[0], "1");
  EXPECT_EQ(lines[1297], "2");
  EXPECT_EQ(lines[2594], "3");
  for (int rec = 0; rec < 2; ++rec) {
    for (int i = 0; i < 1296; ++i) {
      const std::string& line = lines[1 + rec * 1297 + i];
      ASSERT_EQ(line.size(), 21u) << line;
      EXPECT_EQ(line.substr(0, 7), "    " + std::to_string(rec + 2) + " " + std::to_string(i / 432));
    }
  }
  EXPECT_EQ(r.err, "No bytes read at record 4\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(IfgextractTest, HandMadeSampleLines) {
  // Record 2: group 0 of subframe 0 held, released by group 1 (gain 0 values
  // that need more than five places), then one more release in subframe 2.
  TelemetryRecord first = quiet_record(0);
  TelemetryRecord second = quiet_record(0);
  set_channel(second, 0, 0, kInterferogramNumberChannel, kHousekeepingColumn, 65535);
  set_channel(second, 2, 0, kInterferogramNumberChannel, kHousekeepingColumn, 12);
  set_word(second, 0, 0, 1, 0x0001);  // flag, gain 0
  set_word(second, 0, 0, 2, 0x0000);  // -131080
  set_word(second, 0, 0, 3, 0xFFFF);  // 131056
  set_word(second, 0, 0, 5, 0x0001);  // releases at gain 0
  set_word(second, 0, 0, 6, 0x8002);
  set_word(second, 0, 0, 7, 0x8002);
  set_word(second, 2, 107, 13, 0x0007);  // releases (0, 0) at gain 3: times 8
  const ProgramResult r = run({"-F", file("h", telemetry_bytes({first, second}))});
  EXPECT_EQ(r.out,
            "1\n"
            "    2 0 65535 0 -131080 131056\n"
            "    2 2    12 0     0     0\n"
            "2\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(IfgextractTest, LostLockComesOnceAtTheStartOfPassZero) {
  TelemetryRecord a = quiet_record(5);
  TelemetryRecord b = blank_record(-1, -1, 107);  // subframe 2 moved; 0 and 1 without sync
  for (TelemetryRecord* r : {&a, &b}) {
    for (int sub = 0; sub < 3; ++sub) set_word(*r, sub, 0, 1, 1);  // one flagged group each
  }
  TelemetryRecord c = blank_record(5, 5, -1);  // subframe 2 lost its sync word
  const ProgramResult r = run({"-c", "-F", file("l", telemetry_bytes({a, a, b, b, c}))});
  const std::vector<std::string> lines = lines_of(r.out);
  std::vector<size_t> notices;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i][0] == '#') notices.push_back(i);
  }
  ASSERT_EQ(notices.size(), 2u) << r.out;
  EXPECT_EQ(lines[notices[0]], "#lost lock");
  EXPECT_EQ(lines[notices[0] - 1], "2");
  EXPECT_EQ(lines[notices[0] + 1].substr(0, 7), "    3 0");
  EXPECT_EQ(lines[notices[1] - 1], "4");
  EXPECT_EQ(r.status, 0);
}

// The first record gives the references from subframe 2 alone: its other
// subframes may disagree without a notice in the next record.
TEST_F(IfgextractTest, TheFirstRecordsReferencesComeFromSubframeTwo) {
  TelemetryRecord other_sync_rows = blank_record(5, 5, 7);
  TelemetryRecord status_in_two = quiet_record(5);
  set_channel(status_in_two, 2, 5, kDcFlagsChannel, kHousekeepingColumn, 0x0020);
  TelemetryRecord status_in_all = status_in_two;
  for (int sub : {0, 1}) {
    set_channel(status_in_all, sub, 5, kDcFlagsChannel, kHousekeepingColumn, 0x0020);
  }
  const struct {
    const char* name;
    TelemetryRecord first, second;
  } cases[] = {{"sync rows", other_sync_rows, quiet_record(7)},
               {"status bits", status_in_two, status_in_all}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ProgramResult r = run({"-F", file("r", telemetry_bytes({c.first, c.second}))});
    EXPECT_EQ(r.out, "1\n2\n");
    EXPECT_EQ(r.status, 0);
  }
}

TEST_F(IfgextractTest, StatusChangeInOneSubframeGivesTwoNotices) {
  TelemetryRecord a = quiet_record(5);
  TelemetryRecord b = quiet_record(5);
  set_channel(b, 1, 5, kDcFlagsChannel, kHousekeepingColumn, 0x0020);
  const ProgramResult r = run({"-c", "-F", file("s", telemetry_bytes({a, b, a}))});
  const std::vector<std::string> lines = lines_of(r.out);
  ASSERT_EQ(lines.size(), 3u + 2 * 1296 + 2);
  EXPECT_EQ(lines[1 + 432], "#status changed");
  EXPECT_EQ(lines[1 + 432 + 1].substr(0, 18), "    2 1     0 20  ");
  EXPECT_EQ(lines[1 + 864 + 1], "#status changed");
  EXPECT_EQ(lines[1 + 864 + 2].substr(0, 17), "    2 2     0 0  ");
}

// The tool must give the very bytes of the plain printf rendering, on long
// generated files with lost locks, missing sync words and status changes.
// On smooth generated data and on noise (random detector words, gain codes
// jumping at every group, a random tenth of the groups unflagged).
TEST_F(IfgextractTest, SameBytesAsThePlainRenderingInBothModes) {
  for (const bool noisy : {false, true}) {
    SynthOptions o;
    synth_defaults(o);
    o.records = 60;
    o.status_period = 7;
    o.records_per_interferogram = 3;
    o.drop_percent = noisy ? 10 : 20;
    o.random_detector_words = noisy;
    o.random_gain_steps = noisy;
    ASSERT_TRUE(parse_sync_plan("5x20,0x10,107x9,-1x6,40", o));
    const std::string path = file("g", synth_bytes(o));
    for (const char* mode : {"", "-c"}) {
      const std::string flag = *mode ? std::string(" ") + mode : "";
      const ProgramResult fast = shell(kProgram + flag + " -F " + path);
      const ProgramResult plain = shell(std::string(IFGEXTRACT_STDIO_PATH) + flag + " " + path);
      EXPECT_EQ(fast.out, plain.out) << mode << " noisy " << noisy;
      EXPECT_EQ(fast.err, plain.err) << mode << " noisy " << noisy;
      EXPECT_NE(fast.out.find("#lost lock\n"), std::string::npos);
      EXPECT_NE(fast.out.find("#status changed\n"), std::string::npos);
    }
  }
}

TEST_F(IfgextractTest, PipedInputInSmallPiecesReadsLikeTheFile) {
  SynthOptions o;
  synth_defaults(o);
  o.records = 6;
  o.tail_bytes = 300;
  const std::string path = file("p", synth_bytes(o));
  const ProgramResult direct = run({"-F", path});
  const ProgramResult piped =
      shell("dd if=" + path + " bs=999 2>/dev/null | " + kProgram + " -F /dev/stdin");
  EXPECT_EQ(piped.out, direct.out);
  EXPECT_EQ(piped.err, "Byte mismatch reading at record 7\n");
  EXPECT_EQ(piped.status, 1);
}

TEST_F(IfgextractTest, MessagesFollowTheLinesBeforeThem) {
  const std::string path = file("m", telemetry_bytes({quiet_record(5), quiet_record(5)}, 10));
  const ProgramResult r = shell(kProgram + " -c -F " + path + " 2>&1");
  const std::vector<std::string> lines = lines_of(r.out);
  ASSERT_EQ(lines.size(), 1u + 1296 + 1 + 1);
  EXPECT_EQ(lines[lines.size() - 2], "2");
  EXPECT_EQ(lines.back(), "Byte mismatch reading at record 3");
}

TEST_F(IfgextractTest, FullDiskIsReportedOnceWithFailureStatus) {
  SynthOptions o;
  synth_defaults(o);
  o.records = 3;
  ProgramResult r = shell(kProgram + " -F " + file("small", synth_bytes(o)) + " >/dev/full");
  EXPECT_EQ(r.err, "No bytes read at record 4\nifgextract: standard output: No space left on device\n");
  EXPECT_EQ(r.status, 1);

  o.records = 200;  // more than one buffer: the run stops at the first failed write
  r = shell(kProgram + " -F " + file("large", synth_bytes(o)) + " >/dev/full");
  EXPECT_EQ(r.err, "ifgextract: standard output: No space left on device\n");
  EXPECT_EQ(r.status, 1);
}

}  // namespace
