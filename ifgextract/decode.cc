#include "decode.h"

#include "format/channels.h"

namespace {

// Gain factors by (releasing gain code - held gain code) + 3.  The middle
// three are the instrument's table for a step of -1, 0 or +1; a jump of
// two or three steps follows the same law.  All products are exact in
// single precision (|value| <= 131080), so the conversion only truncates.
constexpr float kGainFactors[7] = {0.125f, 0.25f, 0.5f, 1.0f, 2.0f, 4.0f, 8.0f};

int decode_two_detector(Decoder& d, const uint16_t* words) {
  GainRangingState& s = d.gain;
  int n = 0;
  for (int k = 0; k < kGroupsPerSubframe; ++k) {
    const uint16_t* group = words + 4 * k + 1;
    const unsigned control = group[0];
    const int gain = static_cast<int>((control >> 1) & 3);
    const int32_t x1 = normalised_value(group[1], gain);
    const int32_t x2 = normalised_value(group[2], gain);
    if (s.primed == -1) {
      s.primed = 0;
    } else if (control & 1) {
      d.detector1_samples[n] = rescale_held_value(s.held1, s.held_gain, gain);
      d.detector2_samples[n] = rescale_held_value(s.held2, s.held_gain, gain);
      ++n;
    } else {
      continue;  // a group without sample flag is dropped; the held pair stays
    }
    s.held_gain = gain;
    s.held1 = x1;
    s.held2 = x2;
  }
  return n;
}

int decode_carriage(Decoder& d, const uint16_t* words) {
  for (int k = 0; k < kGroupsPerSubframe; ++k) d.carriage_samples[k] = words[4 * k + 1] >> 4;
  return kGroupsPerSubframe;
}

}  // namespace

void decoder_init(Decoder& decoder, DecodeMode mode) {
  decoder.mode = mode;
  decoder.gain = GainRangingState{-1, 0, 0, 0};
}

int32_t rescale_held_value(int32_t held, int held_gain, int releasing_gain) {
  const float factor = kGainFactors[releasing_gain - held_gain + 3];
  return static_cast<int32_t>(static_cast<float>(held) * factor);
}

int decode_subframe(Decoder& decoder, const TelemetryRecord& record, int index) {
  const uint16_t* words = record.words + index * kSubframeWords;
  if (decoder.mode == DecodeMode::kCarriage) return decode_carriage(decoder, words);
  return decode_two_detector(decoder, words);
}

uint16_t read_interferogram_number(const TelemetryRecord& record, int index, int sync_row) {
  return subframe_word(subframe(record, index),
                       channel_position(sync_row, kInterferogramNumberChannel, kHousekeepingColumn));
}

uint16_t read_dc_flags(const TelemetryRecord& record, int index, int sync_row) {
  return subframe_word(subframe(record, index),
                       channel_position(sync_row, kDcFlagsChannel, kHousekeepingColumn));
}
