#include "record.h"

#include <bit>

Subframe subframe(const TelemetryRecord& record, int index) {
  return Subframe{&record, index * kSubframeWords};
}

void swap_record(TelemetryRecord& record) {
  if constexpr (std::endian::native == std::endian::little) {
    for (int i = 0; i < kSwappedWords; ++i) {
      const unsigned w = record.words[i];
      record.words[i] = static_cast<uint16_t>(((w << 8) + (w >> 8)) & 0xFFFF);
    }
  }
}

int find_sync_row(Subframe sf) {
  const uint16_t* row0 = sf.record->words + sf.first_word;
  for (int row = 0; row < kRowsPerSubframe; ++row) {
    if (row0[row * kWordsPerRow] == kSyncWord) return row;
  }
  return -1;
}

int channel_row(int sync_row, int channel) {
  const int64_t sum = static_cast<int64_t>(sync_row) + channel;
  return static_cast<int>(sum % kRowsPerSubframe);
}
