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
  ProgramResult run(std::vector<std::string> args) {
    args.insert(args.begin(), kProgram);
    return run_program(args);
  }

  TempDir dir_;
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(text.substr(start, nl - start));
  }
  return lines;
}

// A record whose groups carry no sample flag.
TelemetryRecord quiet_record(int sync2) { return blank_record(sync2, sync2, sync2); }

TEST_F(IfgextractTest, EndsOfTheRunAndTheirStatuses) {
  const std::string one = telemetry_bytes({quiet_record(5)});
  const std::string good = dir_.put("good", one);
  const std::string missing = dir_.path("missing");
  const std::string no_file = missing + ": No such file or directory\n";
  expect_cases(
      kProgram,
      {
          {{"-F", dir_.put("empty", "")}, {"", "No bytes read at record 1\n", 0}},
          {{"-F", good}, {"1\n", "No bytes read at record 2\n", 0}},
          {{"-F", dir_.put("short", telemetry_bytes({quiet_record(5)}, 100))},
           {"1\n", "Byte mismatch reading at record 2\n", 1}},
          {{"-F", dir_.put("partial", telemetry_bytes({}, 5000))},
           {"", "Byte mismatch reading at record 1\n", 1}},
          {{"-F", dir_.path()},
           {"", "Error reading at record 1\n", 1}},  // a folder opens, but reading it fails
          {{"-h"}, {"", kHelp, 0}},
          {{"-h", "-F", good}, {"", kHelp, 0}},
          {{"-h", "-F", missing}, {"", kHelp, 0}},
          {{"-F", missing, "-h"}, {"", no_file, 1}},
          {{}, {"", "Error opening file\n", 255}},
          // Unknown options are reported and ignored; operands are ignored; each
          // -F is tested as it comes, and the last one is read.
          {{"-q", "operand", "-F", missing + "-not", "-F", good},
           {"",
            kProgram + ": invalid option -- 'q'\n" + missing + "-not: No such file or directory\n",
            1}},
          {{"-q", "operand", "-F", good},
           {"1\n", kProgram + ": invalid option -- 'q'\nNo bytes read at record 2\n", 0}},
      });
}

TEST_F(IfgextractTest, UnreadableFileFailsToOpen) {
  const std::string path = dir_.put("secret", telemetry_bytes({quiet_record(5)}));
  chmod(path.c_str(), 0);
  chmod(dir_.path().c_str(), 0755);
  const auto r = run_unprivileged(kProgram + " -F " + path);
  if (!r) GTEST_SKIP() << "cannot run the build as nobody here";
  EXPECT_EQ(*r, (ProgramResult{"", "Error opening file\n", 255}));
}

TEST_F(IfgextractTest, CarriageModeThreeRecords) {
  SynthOptions o = generated_records(3);
  o.carriage = true;
  const ProgramResult r = run({"-c", "-F", dir_.put("c", synth_bytes(o))});
  const std::vector<std::string> lines = lines_of(r.out);
  ASSERT_EQ(lines.size(), 3u + 2 * 1296);
  EXPECT_EQ(lines[0], "1");
  EXPECT_EQ(lines[1297], "2");
  EXPECT_EQ(lines[2594], "3");
  for (int rec = 0; rec < 2; ++rec) {
    for (int i = 0; i < 1296; ++i) {
      const std::string& line = lines[1 + rec * 1297 + i];
      ASSERT_EQ(line.size(), 21u) << line;
      EXPECT_EQ(line.substr(0, 7),
                "    " + std::to_string(rec + 2) + " " + std::to_string(i / 432));
    }
  }
  EXPECT_EQ(r.err, "No bytes read at record 4\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(IfgextractTest, HandMadeSampleLinesAndReferences) {
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
  // The first record gives the references from subframe 2 alone: its other
  // subframes may disagree without a notice in the next record.
  TelemetryRecord status_in_two = quiet_record(5);
  set_channel(status_in_two, 2, 5, kDcFlagsChannel, kHousekeepingColumn, 0x0020);
  TelemetryRecord status_in_all = status_in_two;
  for (int sub : {0, 1}) {
    set_channel(status_in_all, sub, 5, kDcFlagsChannel, kHousekeepingColumn, 0x0020);
  }
  const ProgramResult two_quiet_records = {"1\n2\n", "No bytes read at record 3\n", 0};
  expect_cases(
      kProgram,
      {
          {{"-F", dir_.put("hand", telemetry_bytes({first, second}))},
           {"1\n"
            "    2 0 65535 0 -131080 131056\n"
            "    2 2    12 0     0     0\n"
            "2\n",
            "No bytes read at record 3\n", 0}},
          {{"-F", dir_.put("sync rows", telemetry_bytes({blank_record(5, 5, 7), quiet_record(7)}))},
           two_quiet_records},
          {{"-F", dir_.put("status bits", telemetry_bytes({status_in_two, status_in_all}))},
           two_quiet_records},
      });
}

TEST_F(IfgextractTest, LostLockComesOnceAtTheStartOfPassZero) {
  TelemetryRecord a = quiet_record(5);
  TelemetryRecord b = blank_record(-1, -1, 107);  // subframe 2 moved; 0 and 1 without sync
  for (TelemetryRecord* r : {&a, &b}) {
    for (int sub = 0; sub < 3; ++sub) set_word(*r, sub, 0, 1, 1);  // one flagged group each
  }
  TelemetryRecord c = blank_record(5, 5, -1);  // subframe 2 lost its sync word
  const ProgramResult r = run({"-c", "-F", dir_.put("l", telemetry_bytes({a, a, b, b, c}))});
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

TEST_F(IfgextractTest, StatusChangeInOneSubframeGivesTwoNotices) {
  TelemetryRecord a = quiet_record(5);
  TelemetryRecord b = quiet_record(5);
  set_channel(b, 1, 5, kDcFlagsChannel, kHousekeepingColumn, 0x0020);
  const ProgramResult r = run({"-c", "-F", dir_.put("s", telemetry_bytes({a, b, a}))});
  const std::vector<std::string> lines = lines_of(r.out);
  ASSERT_EQ(lines.size(), 3u + 2 * 1296 + 2);
  EXPECT_EQ(lines[1 + 432], "#status changed");
  EXPECT_EQ(lines[1 + 432 + 1].substr(0, 18), "    2 1     0 20  ");
  EXPECT_EQ(lines[1 + 864 + 1], "#status changed");
  EXPECT_EQ(lines[1 + 864 + 2].substr(0, 17), "    2 2     0 0  ");
}

// The tool must give the very bytes of the plain printf rendering, on long
// generated files with lost locks, missing sync words and status changes,
// smooth ones and noise (random detector words, gain codes jumping at every
// group, a random tenth of the groups unflagged).
TEST_F(IfgextractTest, SameBytesAsThePlainRenderingInBothModes) {
  for (const bool noisy : {false, true}) {
    SynthOptions o = generated_records(60);
    o.status_period = 7;
    o.records_per_interferogram = 3;
    o.drop_percent = noisy ? 10 : 20;
    o.random_detector_words = noisy;
    o.random_gain_steps = noisy;
    ASSERT_TRUE(parse_sync_plan("5x20,0x10,107x9,-1x6,40", o));
    const std::string path = dir_.put("g", synth_bytes(o));
    for (const char* mode : {"", "-c"}) {
      const std::string flag = *mode ? std::string(" ") + mode : "";
      const ProgramResult fast = run_shell(kProgram + flag + " -F " + path);
      const ProgramResult plain = run_shell(std::string(IFGEXTRACT_STDIO_PATH) + flag + " " + path);
      EXPECT_EQ(fast.out, plain.out) << mode << " noisy " << noisy;
      EXPECT_EQ(fast.err, plain.err) << mode << " noisy " << noisy;
      EXPECT_NE(fast.out.find("#lost lock\n"), std::string::npos);
      EXPECT_NE(fast.out.find("#status changed\n"), std::string::npos);
    }
  }
}

TEST_F(IfgextractTest, PipedInputInSmallPiecesReadsLikeTheFile) {
  const SynthOptions o = generated_records(6, 300);
  const std::string path = dir_.put("p", synth_bytes(o));
  const ProgramResult direct = run({"-F", path});
  expect_cases(
      "/bin/sh",
      {
          {{"-c", "dd if=" + path + " bs=999 2>/dev/null | " + kProgram + " -F /dev/stdin"},
           {direct.out, "Byte mismatch reading at record 7\n", 1}},
      });
}

TEST_F(IfgextractTest, MessagesFollowTheLinesBeforeThemAndAFullDiskIsReportedOnce) {
  const std::string two = dir_.put("m", telemetry_bytes({quiet_record(5), quiet_record(5)}, 10));
  const std::string carriage_lines = run({"-c", "-F", two}).out;
  ASSERT_EQ(lines_of(carriage_lines).size(), 1u + 1296 + 1);
  const std::string disk_full = "ifgextract: standard output: No space left on device\n";
  expect_cases(
      "/bin/sh",
      {
          {{"-c", kProgram + " -c -F " + two + " 2>&1"},
           {carriage_lines + "Byte mismatch reading at record 3\n", "", 1}},
          {{"-c", kProgram + " -F " + dir_.put("small", synth_bytes(generated_records(3))) +
                      " >/dev/full"},
           {"", "No bytes read at record 4\n" + disk_full, 1}},
          // More than one buffer: the run stops at the first failed write.
          {{"-c", kProgram + " -F " + dir_.put("large", synth_bytes(generated_records(200))) +
                      " >/dev/full"},
           {"", disk_full, 1}},
      });
}

}  // namespace
