#include "record.h"

#include <bit>

namespace tlmframe {

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

namespace {

// The sync search itself, over the column 0 words as column_0 reads them:
// rows 0 to 107 in order, the first match wins, nothing past the subframe.
template <typename Column0>
int first_sync_row(Column0 column_0) {
  for (int row = 0; row < kRowsPerSubframe; ++row) {
    if (column_0(row) == kSyncWord) return row;
  }
  return -1;
}

}  // namespace

int find_sync_row(Subframe sf) {
  const uint16_t* row0 = sf.record->words + sf.first_word;
  return first_sync_row([row0](int row) { return row0[row * kWordsPerRow]; });
}

int find_sync_row(StoredSubframe sf) {
  const unsigned char* row0 = sf.record_bytes + 2 * sf.first_word;
  return first_sync_row([row0](int row) { return stored_word_at(row0 + 2 * row * kWordsPerRow); });
}

}  // namespace tlmframe
