#include "decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "telemetry_files.h"

using namespace tlmframe;

namespace {

TelemetryRecord g_record;  // words in host order, as the tests set them
Decoder g_decoder;

// Group k of subframe sub: control (or carriage) word and the two detector words.
void set_group(int sub, int k, uint16_t control, uint16_t w1, uint16_t w2) {
  uint16_t* w = g_record.words + sub * kSubframeWords + 4 * k;
  w[1] = control;
  w[2] = w1;
  w[3] = w2;
}

// A detector word for sample s (bit 0 unused, set to show it is ignored).
uint16_t word_for(int s) { return static_cast<uint16_t>((s << 1) | 1); }

void start(DecodeMode mode) {
  std::memset(&g_record, 0, sizeof g_record);
  decoder_init(g_decoder, mode);
}

TEST(NormalisedValue, OffsetIs16385AndGainScalesByPowersOfTwo) {
  EXPECT_EQ(normalised_value(0x8002, 3), 0);
  EXPECT_EQ(normalised_value(0x0000, 3), -16385);
  EXPECT_EQ(normalised_value(0xFFFF, 3), 16382);
  EXPECT_EQ(normalised_value(0x0000, 0), -131080);
  EXPECT_EQ(normalised_value(0xFFFF, 0), 131056);
  EXPECT_EQ(normalised_value(word_for(16384), 1), -4);
}

TEST(RescaleHeldValue, FollowsTheGainTableAndItsLawBeyondIt) {
  EXPECT_EQ(rescale_held_value(-3, 3, 2), -1);  // factor 0.5 truncates toward zero
  EXPECT_EQ(rescale_held_value(3, 3, 2), 1);
  EXPECT_EQ(rescale_held_value(12, 1, 2), 24);
  EXPECT_EQ(rescale_held_value(-7, 2, 2), -7);
  // Jumps of two and three steps: 0.25, 0.125, 4 and 8.
  EXPECT_EQ(rescale_held_value(-131080, 3, 1), -32770);
  EXPECT_EQ(rescale_held_value(-7, 3, 0), 0);
  EXPECT_EQ(rescale_held_value(-15, 3, 0), -1);
  EXPECT_EQ(rescale_held_value(131056, 0, 2), 524224);
  EXPECT_EQ(rescale_held_value(-131080, 0, 3), -1048640);
}

TEST(DecodeSubframe, FirstGroupOfTheRunIsOnlyHeld) {
  start(DecodeMode::kTwoDetector);
  for (int k = 0; k < kGroupsPerSubframe; ++k)
    set_group(0, k, 0x0007, word_for(16385 + k), word_for(16385 - k));
  ASSERT_EQ(decode_subframe(g_decoder, stored_record(g_record), 0), 431);
  EXPECT_EQ(g_decoder.detector1_samples[0], 0);  // group 0, released by group 1
  EXPECT_EQ(g_decoder.detector2_samples[430], -430);
  // The pair of group 431 is released by the first group of the next subframe.
  for (int k = 0; k < kGroupsPerSubframe; ++k)
    set_group(1, k, 0x0007, word_for(20000), word_for(10000));
  ASSERT_EQ(decode_subframe(g_decoder, stored_record(g_record), 1), 432);
  EXPECT_EQ(g_decoder.detector1_samples[0], 431);
  EXPECT_EQ(g_decoder.detector2_samples[0], -431);
  EXPECT_EQ(g_decoder.detector1_samples[1], 20000 - 16385);
}

TEST(DecodeSubframe, UnflaggedGroupsAreDroppedAndTheHeldPairWaits) {
  start(DecodeMode::kTwoDetector);
  set_group(0, 0, 0x0007, word_for(16395), word_for(16375));  // held: 10, -10 at gain 3
  for (int k = 1; k < kGroupsPerSubframe; ++k) set_group(0, k, 0x0002, word_for(1), word_for(2));
  EXPECT_EQ(decode_subframe(g_decoder, stored_record(g_record), 0), 0);
  EXPECT_EQ(decode_subframe(g_decoder, stored_record(g_record), 2), 0);  // nothing held changes
  set_group(1, 0, 0x0005, word_for(16385), word_for(16385));  // gain 2 releases, factor 0.5
  EXPECT_EQ(decode_subframe(g_decoder, stored_record(g_record), 1), 1);
  EXPECT_EQ(g_decoder.detector1_samples[0], 5);
  EXPECT_EQ(g_decoder.detector2_samples[0], -5);
}

TEST(DecodeSubframe, GainStepsBetweenHeldAndReleasingGroups) {
  start(DecodeMode::kTwoDetector);
  // gain codes 3, 2, 3, 0, 3, 1: steps -1, +1, -3, +3, -2.
  const int gains[] = {3, 2, 3, 0, 3, 1, 1};
  for (int k = 0; k < 7; ++k) {
    const uint16_t control =
        static_cast<uint16_t>(0xFFF8 | (gains[k] << 1) | 1);  // high bits unread
    set_group(0, k, control, word_for(16385 + 3), word_for(16385 - 3));
  }
  ASSERT_EQ(decode_subframe(g_decoder, stored_record(g_record), 0), 6);
  const int32_t* d1 = g_decoder.detector1_samples;
  const int32_t* d2 = g_decoder.detector2_samples;
  EXPECT_EQ(d1[0], 1);  // 3 at gain 3, released by gain 2: 1.5 truncated
  EXPECT_EQ(d2[0], -1);
  EXPECT_EQ(d1[1], 12);  // 6 at gain 2, released by gain 3: doubled
  EXPECT_EQ(d1[2], 0);   // 3 at gain 3, released by gain 0: 0.375 truncated
  EXPECT_EQ(d2[2], 0);
  EXPECT_EQ(d1[3], 192);  // 24 at gain 0, released by gain 3: times 8
  EXPECT_EQ(d2[3], -192);
  EXPECT_EQ(d1[4], 0);   // 3 at gain 3, released by gain 1: 0.75 truncated
  EXPECT_EQ(d1[5], 12);  // 12 at gain 1, released by gain 1
}

TEST(DecodeSubframe, CarriageModeTakesTheTopTwelveBitsOfEveryGroup) {
  start(DecodeMode::kCarriage);
  for (int k = 0; k < kGroupsPerSubframe; ++k)
    set_group(2, k, static_cast<uint16_t>(k << 4 | 0xF), 0xFFFF, 0);
  set_group(2, 5, 0xABCD, 0, 0);
  ASSERT_EQ(decode_subframe(g_decoder, stored_record(g_record), 2), 432);
  EXPECT_EQ(g_decoder.carriage_samples[5], 2748);
  EXPECT_EQ(g_decoder.carriage_samples[431], 431);
  EXPECT_FALSE(g_decoder.gain.pair_held);  // carriage mode leaves the gain state alone
}

// The decoding as the instrument's rule reads, one group at a time with a
// branch on the sample flag and the gain factor from a table.
struct PlainDecoder {
  bool primed = false;
  int held_gain = 0;
  int32_t held1 = 0, held2 = 0;
  std::vector<int32_t> decode(int index) {
    std::vector<int32_t> out;
    for (int k = 0; k < kGroupsPerSubframe; ++k) {
      const uint16_t* w = g_record.words + index * kSubframeWords + 4 * k;
      const int gain = (w[1] >> 1) & 3;
      if (primed && !(w[1] & 1)) continue;
      if (primed) {
        const double factor = std::ldexp(1.0, gain - held_gain);
        out.push_back(static_cast<int32_t>(std::trunc(held1 * factor)));
        out.push_back(static_cast<int32_t>(std::trunc(held2 * factor)));
      }
      primed = true;
      held_gain = gain;
      held1 = ((w[2] >> 1) - 16385) * (1 << (3 - gain));
      held2 = ((w[3] >> 1) - 16385) * (1 << (3 - gain));
    }
    return out;
  }
};

TEST(DecodeSubframe, RandomWordsDecodeAsThePlainRuleReads) {
  start(DecodeMode::kTwoDetector);
  PlainDecoder plain;
  std::mt19937 random(7);
  for (int round = 0; round < 30; ++round) {
    for (uint16_t& w : g_record.words) w = static_cast<uint16_t>(random());
    // Rounds with few, most and every group flagged.
    for (int k = 0; k < kGroupsPerSubframe * kSubframeCount; ++k) {
      uint16_t& control = g_record.words[4 * k + 1];  // group k%432 of subframe k/432
      control =
          static_cast<uint16_t>((control & ~1) | (static_cast<int>(random() % 10) < round % 11));
    }
    for (int index = 0; index < kSubframeCount; ++index) {
      const std::vector<int32_t> want = plain.decode(index);
      const int n = decode_subframe(g_decoder, stored_record(g_record), index);
      ASSERT_EQ(2 * n, static_cast<int>(want.size())) << round << " " << index;
      for (int l = 0; l < n; ++l) {
        ASSERT_EQ(g_decoder.detector1_samples[l], want[2 * l]) << round << " " << l;
        ASSERT_EQ(g_decoder.detector2_samples[l], want[2 * l + 1]) << round << " " << l;
      }
    }
  }
}

TEST(HousekeepingWords, AreReadAtTheirChannelRowsOfTheGivenSubframe) {
  start(DecodeMode::kTwoDetector);
  g_record.words[1 * kSubframeWords + 44 * 16 + 12] = 4321;    // channel 52, sync row 100
  g_record.words[1 * kSubframeWords + 50 * 16 + 12] = 0x0020;  // channel 58, sync row 100
  g_record.words[0 * kSubframeWords + 51 * 16 + 12] = 77;      // channel 52, no sync row
  EXPECT_EQ(read_interferogram_number(stored_record(g_record), 1, 100), 4321);
  EXPECT_EQ(read_dc_flags(stored_record(g_record), 1, 100), 0x0020);
  EXPECT_EQ(read_interferogram_number(stored_record(g_record), 0, -1), 77);
}

}  // namespace
