#include "decode.h"

#include "format/channels.h"

using namespace tlmframe;

namespace {

const unsigned char* group_bytes(const unsigned char* subframe, int k) {
  return subframe + 2 * group_word_offset(k);
}

// Decoding goes in two steps, neither with a branch on the data (noisy data
// sets the sample flag at random, and a branch on it would be mispredicted
// all the time).  First the pair and gain code of every flagged group are
// gathered behind the pair held from before: each group is written and the
// count moves on by its flag.  Then each gathered pair is released by the
// next one, rescaled to its gain; this second loop runs over plain arrays
// and is done several pairs at a time.
int decode_two_detector(Decoder& d, const unsigned char* subframe) {
  GainRangingState& s = d.gain;
  int k = 0;
  if (!s.pair_held) {  // the run's very first group is only held
    const unsigned char* group = group_bytes(subframe, 0);
    s.held_gain = static_cast<int>((stored_word_at(group) >> 1) & 3);
    s.held1 = normalised_value(stored_word_at(group + 2), s.held_gain);
    s.held2 = normalised_value(stored_word_at(group + 4), s.held_gain);
    s.pair_held = true;
    k = 1;
  }
  FlaggedGroups& f = d.flagged;
  f.value1[0] = s.held1;
  f.value2[0] = s.held2;
  f.gain[0] = s.held_gain;
  int n = 0;
  for (; k < kGroupsPerSubframe; ++k) {
    const unsigned char* group = group_bytes(subframe, k);
    const unsigned control = stored_word_at(group);
    const int gain = static_cast<int>((control >> 1) & 3);
    f.value1[n + 1] = normalised_value(stored_word_at(group + 2), gain);
    f.value2[n + 1] = normalised_value(stored_word_at(group + 4), gain);
    f.gain[n + 1] = gain;
    n += static_cast<int>(control & 1);
  }
  for (int j = 0; j < n; ++j) {
    d.detector1_samples[j] = rescale_held_value(f.value1[j], f.gain[j], f.gain[j + 1]);
    d.detector2_samples[j] = rescale_held_value(f.value2[j], f.gain[j], f.gain[j + 1]);
  }
  s.held1 = f.value1[n];
  s.held2 = f.value2[n];
  s.held_gain = f.gain[n];
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
  decoder.gain = GainRangingState{false, 0, 0, 0};
}

int decode_subframe(Decoder& decoder, const unsigned char* record, int index) {
  const unsigned char* subframe = record + 2 * index * kSubframeWords;
  if (decoder.mode == DecodeMode::kCarriage) return decode_carriage(decoder, subframe);
  return decode_two_detector(decoder, subframe);
}

uint16_t read_interferogram_number(const unsigned char* record, int index, int sync_row) {
  return stored_subframe_word(
      stored_subframe(record, index),
      channel_position(sync_row, kInterferogramNumberChannel, kHousekeepingColumn));
}

uint16_t read_dc_flags(const unsigned char* record, int index, int sync_row) {
  return stored_subframe_word(stored_subframe(record, index),
                              channel_position(sync_row, kDcFlagsChannel, kHousekeepingColumn));
}
