#include "decode.h"

#include "format/channels.h"

using namespace tlmframe;

namespace {

// Gain factors by (releasing gain code - held gain code) + 3.  The middle
// three are the instrument's table for a step of -1, 0 or +1; a jump of
// two or three steps follows the same law.  All products are exact in
// single precision (|value| <= 131080), so the conversion only truncates.
constexpr float kGainFactors[7] = {0.125f, 0.25f, 0.5f, 1.0f, 2.0f, 4.0f, 8.0f};

// Group k of a subframe starts at its word 4k + 1.
const unsigned char* group_bytes(const unsigned char* subframe, int k) {
  return subframe + 2 * (4 * k + 1);
}

int decode_two_detector(Decoder& d, const unsigned char* subframe) {
  GainRangingState& s = d.gain;
  int n = 0;
  for (int k = 0; k < kGroupsPerSubframe; ++k) {
    const unsigned char* group = group_bytes(subframe, k);
    const unsigned control = stored_word_at(group);
    const int gain = static_cast<int>((control >> 1) & 3);
    const int32_t x1 = normalised_value(stored_word_at(group + 2), gain);
    const int32_t x2 = normalised_value(stored_word_at(group + 4), gain);
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

int decode_carriage(Decoder& d, const unsigned char* subframe) {
  for (int k = 0; k < kGroupsPerSubframe; ++k) {
    d.carriage_samples[k] = stored_word_at(group_bytes(subframe, k)) >> 4;
  }
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

int decode_subframe(Decoder& decoder, const unsigned char* record, int index) {
  const unsigned char* subframe = record + 2 * index * kSubframeWords;
  if (decoder.mode == DecodeMode::kCarriage) return decode_carriage(decoder, subframe);
  return decode_two_detector(decoder, subframe);
}

uint16_t read_interferogram_number(const unsigned char* record, int index, int sync_row) {
  return stored_subframe_word(stored_subframe(record, index),
                              channel_position(sync_row, kInterferogramNumberChannel, kHousekeepingColumn));
}

uint16_t read_dc_flags(const unsigned char* record, int index, int sync_row) {
  return stored_subframe_word(stored_subframe(record, index),
                              channel_position(sync_row, kDcFlagsChannel, kHousekeepingColumn));
}
