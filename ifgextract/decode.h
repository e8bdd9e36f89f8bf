// Decoding the detector samples of one subframe.
//
// Every row carries four sample groups (tlmframe::group_word_offset): a
// control word and one word of each detector, or, in carriage mode, a
// carriage word in the control word's place.  The instrument ranges the
// detector gain; a group's values are written one flagged group late,
// rescaled to the gain of the group that releases them.
//
// Records are read as stored (big-endian subframe words, see
// tlmframe::StoredSubframe), where the reader holds them.
#ifndef IFGEXTRACT_DECODE_H_
#define IFGEXTRACT_DECODE_H_

#include <bit>
#include <cstdint>

#include "record.h"

// The most entries one subframe gives: a pair or a carriage value per group.
constexpr int kSampleArraySize = tlmframe::kGroupsPerSubframe;

enum class DecodeMode { kTwoDetector, kCarriage };

// The pair held back until the next flagged group releases it.  It lives
// for the whole run: subframes, records, lost lock and status changes do
// not reset it.
struct GainRangingState {
  bool pair_held;  // false until the run's first group has been held
  int held_gain;   // gain code of the held group
  int32_t held1;  // its normalised first-detector value
  int32_t held2;  // its normalised second-detector value
};

// The flagged groups of the subframe being decoded, behind the pair held
// from before (entry 0): normalised values and gain codes, in order.
struct FlaggedGroups {
  int32_t value1[tlmframe::kGroupsPerSubframe + 1];
  int32_t value2[tlmframe::kGroupsPerSubframe + 1];
  int32_t gain[tlmframe::kGroupsPerSubframe + 1];
};

struct Decoder {
  DecodeMode mode;
  GainRangingState gain;
  FlaggedGroups flagged;
  int32_t detector1_samples[kSampleArraySize];
  int32_t detector2_samples[kSampleArraySize];
  int32_t carriage_samples[kSampleArraySize];
};

void decoder_init(Decoder& decoder, DecodeMode mode);

// Decodes the 432 groups of subframe index (0..2) of a stored record into
// the decoder's arrays for its mode; returns the number of entries: 0..432
// pairs, or always 432 carriage values.
int decode_subframe(Decoder& decoder, const unsigned char* record, int index);

// Normalised value of a detector word at gain code g:
// (word bits 1-15 - 16385) * 2^(3 - g).
inline int32_t normalised_value(uint16_t word, int gain) {
  return (static_cast<int32_t>(word >> 1) - 16385) * (1 << (3 - gain));
}

// A held value rescaled from the held gain code to the releasing one:
// times 2^(releasing - held), truncated toward zero.  The factor is a float
// made from its exponent bits: the instrument's factors 0.5, 1.0 and 2.0 for
// a step of -1, 0 or +1, and the same law for a jump of two or three steps.
// Every product with a normalised value (|value| <= 131080) is exact in
// single precision, so the conversion back only truncates toward zero.
inline int32_t rescale_held_value(int32_t held, int held_gain, int releasing_gain) {
  const int step = releasing_gain - held_gain;  // -3..3
  const float factor = std::bit_cast<float>(static_cast<uint32_t>(127 + step) << 23);
  return static_cast<int32_t>(static_cast<float>(held) * factor);
}

// Housekeeping words that label every sample line, from subframe index of
// a stored record at the given sync row.
uint16_t read_interferogram_number(const unsigned char* record, int index, int sync_row);
uint16_t read_dc_flags(const unsigned char* record, int index, int sync_row);

#endif  // IFGEXTRACT_DECODE_H_
