#include "synth.h"

#include <gtest/gtest.h>

#include <cstring>

#include "format/channels.h"
#include "run_program.h"
#include "telemetry_files.h"

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
}

}  // namespace
