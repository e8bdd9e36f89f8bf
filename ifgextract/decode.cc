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

// A held value rescaled to the gain code of the group that releases it.
inline int32_t rescaled(int32_t held, int held_gain, int releasing_gain) {
  return static_cast<int32_t>(static_cast<float>(held) * kGainFactors[releasing_gain - held_gain + 3]);
}

// Every group is decoded and its release written whether or not its sample
// flag is set; the flag only decides whether the count moves on and the
// group is held next.  Noisy data sets the flag at random, and a branch on
// it would be mispredicted all the time.
int decode_two_detector(Decoder& d, const unsigned char* subframe) {
  GainRangingState& s = d.gain;
  int k = 0;
  if (s.primed == -1) {  // the run's very first group is only held
    const unsigned char* group = group_bytes(subframe, 0);
    s.held_gain = static_cast<int>((stored_word_at(group) >> 1) & 3);
    s.held1 = normalised_value(stored_word_at(group + 2), s.held_gain);
    s.held2 = normalised_value(stored_word_at(group + 4), s.held_gain);
    s.primed = 0;
    k = 1;
  }
  int held_gain = s.held_gain;
  int32_t held1 = s.held1;
  int32_t held2 = s.held2;
  int n = 0;
  for (; k < kGroupsPerSubframe; ++k) {
    const unsigned char* group = group_bytes(subframe, k);
    const unsigned control = stored_word_at(group);
    const int gain = static_cast<int>((control >> 1) & 3);
    const int flagged = static_cast<int>(control & 1);
    d.detector1_samples[n] = rescaled(held1, held_gain, gain);
    d.detector2_samples[n] = rescaled(held2, held_gain, gain);
    n += flagged;
    const int32_t x1 = normalised_value(stored_word_at(group + 2), gain);
    const int32_t x2 = normalised_value(stored_word_at(group + 4), gain);
    held1 = flagged ? x1 : held1;
    held2 = flagged ? x2 : held2;
    held_gain = flagged ? gain : held_gain;
  }
  s.held_gain = held_gain;
  s.held1 = held1;
  s.held2 = held2;
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
  return rescaled(held, held_gain, releasing_gain);
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
