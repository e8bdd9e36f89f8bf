#include "synth.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "format/channels.h"
#include "run_program.h"
#include "telemetry_files.h"
#include "terminal.h"

using namespace tlmframe;

namespace {

TelemetryRecord g_a, g_b;

TEST(Synth, EncodedRecordReadsBackThroughTheByteSwap) {
  SynthOptions o;
  synth_defaults(o);
  synth_record(o, 3, g_a);
  unsigned char bytes[kRecordBytes];
  encode_record(g_a, bytes);
  EXPECT_EQ(bytes[0], g_a.words[0] >> 8);  // big-endian on disk
  std::memcpy(g_b.words, bytes, kRecordBytes);
  swap_record(g_b);
  EXPECT_EQ(std::memcmp(&g_a, &g_b, sizeof g_a), 0);
}

TEST(Synth, SyncPlanIsFollowedSubframeBySubframe) {
  SynthOptions o;
  synth_defaults(o);
  ASSERT_TRUE(parse_sync_plan("5x2,-1,107", o));
  synth_record(o, 0, g_a);  // subframes 0, 1, 2 of the stream
  EXPECT_EQ(find_sync_row(subframe(g_a, 0)), 5);
  EXPECT_EQ(find_sync_row(subframe(g_a, 1)), 5);
  EXPECT_EQ(find_sync_row(subframe(g_a, 2)), -1);
  synth_record(o, 1, g_a);  // subframes 3, 4, 5: the plan starts again after 107
  EXPECT_EQ(find_sync_row(subframe(g_a, 0)), 107);
  EXPECT_EQ(find_sync_row(subframe(g_a, 1)), 5);
  EXPECT_FALSE(parse_sync_plan("108", o));
  EXPECT_FALSE(parse_sync_plan("5,", o));
  EXPECT_FALSE(parse_sync_plan("5x0", o));
}

TEST(Synth, HousekeepingFollowsTheSyncRowAndTheOptions) {
  SynthOptions o;
  synth_defaults(o);
  o.sync_rows[0] = 100;
  o.first_interferogram = 700;
  o.records_per_interferogram = 2;
  o.status_period = 3;
  ChosenWord w;
  ASSERT_TRUE(parse_chosen_word("4:19=0xBEEF", w));
  o.chosen[o.chosen_count++] = w;
  synth_record(o, 3, g_a);
  const Subframe sf = subframe(g_a, 1);
  auto channel = [&](int k, int column) {
    return subframe_word(sf, channel_position(100, k, column));
  };
  EXPECT_EQ(channel(kInterferogramNumberChannel, kHousekeepingColumn), 701);
  EXPECT_EQ(channel(kDcFlagsChannel, kHousekeepingColumn) & kStatusBit, kStatusBit);
  EXPECT_EQ(channel(19, kRawHousekeepingColumn), 0xBEEF);
  EXPECT_FALSE(parse_chosen_word("16:1=1", w));
  EXPECT_FALSE(parse_chosen_word("4:1=0x10000", w));
}

TEST(Synth, PlacedWordsGoWhereverAsked) {
  SynthOptions o;
  synth_defaults(o);
  PlacedWord w;
  // A second sync word after the planned row 5, one in column 1 only of a
  // subframe without sync row, and a sample word.
  ASSERT_TRUE(parse_sync_plan("5,-1,5", o));
  ASSERT_TRUE(parse_placed_word("0:40:0=0x146f", o.placed[o.placed_count++]));
  ASSERT_TRUE(parse_placed_word("1:9:1=0x146F", o.placed[o.placed_count++]));
  ASSERT_TRUE(parse_placed_word("2:107:15=65535", o.placed[o.placed_count++]));
  synth_record(o, 0, g_a);
  EXPECT_EQ(find_sync_row(subframe(g_a, 0)), 5);
  EXPECT_EQ(subframe_word(subframe(g_a, 0), 40 * kWordsPerRow), kSyncWord);
  EXPECT_EQ(find_sync_row(subframe(g_a, 1)), -1);
  EXPECT_EQ(subframe_word(subframe(g_a, 1), 9 * kWordsPerRow + 1), kSyncWord);
  EXPECT_EQ(subframe_word(subframe(g_a, 2), 107 * kWordsPerRow + 15), 0xFFFF);
  EXPECT_FALSE(parse_placed_word("3:0:0=1", w));
  EXPECT_FALSE(parse_placed_word("0:108:0=1", w));
  EXPECT_FALSE(parse_placed_word("0:0:16=1", w));
  EXPECT_FALSE(parse_placed_word("0:0=1", w));
  EXPECT_FALSE(parse_placed_word("0:0:0=0x10000", w));
}

TEST(Synth, TimeOfDayCountsOnFromItsStartAcrossMidnight) {
  SynthOptions o;
  synth_defaults(o);
  ASSERT_TRUE(parse_time_of_day("23:59:58", o.start_second));
  struct Case {
    int64_t index;
    uint16_t hours, minutes_seconds;
  };
  for (const Case& c : {Case{0, 0x23, 0x5958}, Case{1, 0x23, 0x5959}, Case{2, 0x00, 0x0000},
                        Case{3603, 0x01, 0x0001}}) {
    synth_record(o, c.index, g_a);
    const Subframe sf = subframe(g_a, 2);
    EXPECT_EQ(subframe_word(sf, channel_position(5, kTimeChannelA, kHousekeepingColumn)), c.hours);
    EXPECT_EQ(subframe_word(sf, channel_position(5, kTimeChannelB, kHousekeepingColumn)),
              c.minutes_seconds);
  }
  int seconds = -1;
  for (const char* bad :
       {"24:00:00", "12:60:00", "12:00:60", "1:00:00", "12:00", "12:00:00:", "12-00-00", ""}) {
    EXPECT_FALSE(parse_time_of_day(bad, seconds)) << bad;
  }
  EXPECT_TRUE(parse_time_of_day("00:00:00", seconds));
  EXPECT_EQ(seconds, 0);
}

TEST(Synth, DriftingChannelsDriftStepAndStayWords) {
  struct Case {
    const char* text;
    std::vector<int> column12, column4;  // the words of records 1, 2, 3, 4
  };
  const std::vector<Case> cases = {
      {"68=1000:16", {1000, 1016, 1032, 1048}, {1000, 1016, 1032, 1048}},
      {"12:68=1000:0.5", {1000, 1001, 1001, 1002}, {}},  // halves rounded away from zero
      {"4:68=200:0:-150@3", {}, {200, 200, 50, 50}},
      {"68=65500:20", {65500, 65520, 65535, 65535}, {65500, 65520, 65535, 65535}},
      {"68=30:-20:100@4", {30, 10, 0, 70}, {30, 10, 0, 70}},  // held at 0, then the step
  };
  for (const Case& c : cases) {
    SynthOptions o;
    synth_defaults(o);
    ASSERT_TRUE(parse_drifting_channel(c.text, o.drifting[o.drifting_count++])) << c.text;
    for (int64_t i = 0; i < 4; ++i) {
      synth_record(o, i, g_a);
      const Subframe sf = subframe(g_a, static_cast<int>(i % 3));
      const uint16_t w12 = subframe_word(sf, channel_position(5, 68, kHousekeepingColumn));
      const uint16_t w4 = subframe_word(sf, channel_position(5, 68, kRawHousekeepingColumn));
      // A column not named keeps the generator's own word: channel 68's
      // converter reading (2412 to 2419 in its top 12 bits), its raw number.
      if (c.column12.empty()) {
        EXPECT_EQ((w12 >> 4) - 2412u < 8u, true) << c.text << " " << i << ": " << w12;
      } else {
        EXPECT_EQ(w12, c.column12[i]) << c.text << " " << i;
      }
      EXPECT_EQ(w4, c.column4.empty() ? 0x0A00 + 68 : c.column4[i]) << c.text << " " << i;
    }
  }
  DriftingChannel d;
  for (const char* bad :
       {"68", "68=1", "68=1:", "68=1:2:", "68=1:2:3", "68=1:2:3@0", "68=1:2:3@", "68=1:2:3@2x",
        "5:68=1:2", "108=1:2", "-1=1:2", "68=1:inf", "68=nan:1", "68=1:2x", "12:=1:2"}) {
    EXPECT_FALSE(parse_drifting_channel(bad, d)) << bad;
  }
}

// The hard data of the benchmarks: every gain step 1 to 3, also from one
// record to the next when each is made on its own; flags dropped at the
// chosen share; detector words spread over all 16 bits.
TEST(Synth, NoisySamplesJumpAndScatter) {
  SynthOptions o;
  synth_defaults(o);
  o.random_detector_words = o.random_gain_steps = true;
  o.drop_percent = 10;
  int previous_gain = -1, flagged = 0, groups = 0, steps[4] = {}, bits_seen = 0;
  for (int64_t index : {5, 6, 7, 8}) {
    synth_record(o, index, g_a);
    for (int sub = 0; sub < kSubframeCount; ++sub) {
      const Subframe sf = subframe(g_a, sub);
      for (int k = 0; k < 432; ++k) {
        const uint16_t control = subframe_word(sf, 4 * k + 1);
        const int gain = (control >> 1) & 3;
        if (previous_gain >= 0) ++steps[(gain - previous_gain) & 3];
        previous_gain = gain;
        flagged += control & 1;
        ++groups;
        bits_seen |= subframe_word(sf, 4 * k + 2) | subframe_word(sf, 4 * k + 3);
      }
    }
  }
  EXPECT_EQ(steps[0], 0);
  for (int step = 1; step <= 3; ++step) EXPECT_GT(steps[step], groups / 4) << step;
  EXPECT_NEAR(flagged, groups * 0.9, groups * 0.02);
  EXPECT_EQ(bits_seen, 0xFFFF);
}

// Every complaint names the program, a bad number is refused whole and at
// its bounds, and a failed write is not a success.
TEST(SynthCommand, ChecksEveryOptionAndReportsWrites) {
  const std::string usage = run_program({TLMSYNTH_PATH, "-h"}).out;
  ASSERT_EQ(usage.rfind("usage: tlmsynth ", 0), 0u);
  const TempDir dir;
  auto refused = [&](const std::string& line) { return ProgramResult{"", line + usage, 2}; };
  expect_cases(TLMSYNTH_PATH,
               {{{"-n", "3x"}, refused("tlmsynth: bad record count: 3x\n")},
                {{"-n", ""}, refused("tlmsynth: bad record count: \n")},
                {{"-d", "101"}, refused("tlmsynth: bad percentage: 101\n")},
                {{"-k", "0"}, refused("tlmsynth: bad records per interferogram: 0\n")},
                {{"-t", "10752"}, refused("tlmsynth: bad tail length: 10752\n")},
                {{"-r", "4294967296"}, refused("tlmsynth: bad seed: 4294967296\n")},
                {{"-s", "108"}, refused("tlmsynth: bad sync rows: 108\n")},
                {{"-T", "24:00:00"}, refused("tlmsynth: bad time of day: 24:00:00\n")},
                {{"-H", "68=1"}, refused("tlmsynth: bad drifting channel: 68=1\n")},
                {{"-n", "2", "out.tlm"}, refused("tlmsynth: bad operand: out.tlm\n")},
                {{"-z"}, refused("tlmsynth: unknown option -z\n")},
                {{"-n"}, refused("tlmsynth: option -n needs a value\n")},
                {{"-o", dir.path("no/such")},
                 {"", "tlmsynth: " + dir.path("no/such") + ": No such file or directory\n", 1}}});
  EXPECT_EQ(run_program({TLMSYNTH_PATH, "-n", "2", "-d", "100", "-t", "10751", "-r", "4294967295"}),
            (ProgramResult{synth_bytes([] {
                             SynthOptions o = generated_records(2, 10751);
                             o.drop_percent = 100;
                             o.seed = 4294967295u;
                             return o;
                           }()),
                           "", 0}));
  EXPECT_EQ(run_shell("exec " + std::string(TLMSYNTH_PATH) + " -n 40 >/dev/full"),
            (ProgramResult{"", "tlmsynth: standard output: No space left on device\n", 1}));
  // A file cut short by a failed write is removed: it would pass for a
  // shorter file of whole records.
  const std::string cut = dir.path("cut.tlm");
  EXPECT_EQ(run_shell("trap '' XFSZ; ulimit -f 64; exec " + std::string(TLMSYNTH_PATH) +
                      " -n 40 -o " + cut),
            (ProgramResult{"", "tlmsynth: " + cut + ": File too large\n", 1}));
  EXPECT_EQ(access(cut.c_str(), F_OK), -1);
}

TEST(SynthCommand, RefusesToWriteTelemetryToATerminal) {
  Terminal t;
  ASSERT_TRUE(t.start({TLMSYNTH_PATH, "-n", "3"}, "", true));
  EXPECT_EQ(t.finish(), 2);
  EXPECT_EQ(t.screen(),
            "tlmsynth: standard output is a terminal: binary telemetry is not written there "
            "(-o file, or redirect it)\n");
  // The usage is text, and a file named with -o is no terminal.
  Terminal help;
  ASSERT_TRUE(help.start({TLMSYNTH_PATH, "-h"}, "", true));
  EXPECT_EQ(help.finish(), 0);
  const TempDir dir;
  Terminal file;
  ASSERT_TRUE(file.start({TLMSYNTH_PATH, "-n", "1", "-o", dir.path("t")}, "", true));
  EXPECT_EQ(file.finish(), 0);
  EXPECT_EQ(read_file(dir.path("t")).size(), static_cast<size_t>(kRecordBytes));
}

}  // namespace
