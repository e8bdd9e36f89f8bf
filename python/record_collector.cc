#include "record_collector.h"

#include <cstring>

using namespace tlmframe;

namespace {

constexpr size_t kSubframeBytes = 2 * kSwappedWords;
constexpr size_t kTrailerBytes = kRecordBytes - kSubframeBytes;

// The record's rows: its subframe words put in host order one by one, the
// trailer copied as it stands, and each subframe's sync row.
void store_record(const unsigned char* stored, unsigned char* words, unsigned char* trailer,
                  unsigned char* sync_rows) {
  for (int i = 0; i < kSwappedWords; ++i) {
    const uint16_t word = stored_word_at(stored + 2 * i);
    std::memcpy(words + 2 * i, &word, sizeof word);
  }
  std::memcpy(trailer, stored + kSubframeBytes, kTrailerBytes);
  for (int i = 0; i < kSubframeCount; ++i) {
    const int16_t row = static_cast<int16_t>(find_sync_row(stored_subframe(stored, i)));
    std::memcpy(sync_rows + i * sizeof row, &row, sizeof row);
  }
}

}  // namespace

void collector_init(RecordCollector& c, int64_t start, int64_t count) {
  c.start = start;
  c.count = count;
  c.seen = 0;
  array_init(c.subframes, kSubframeBytes);
  array_init(c.trailers, kTrailerBytes);
  array_init(c.sync_rows, kSubframeCount * sizeof(int16_t));
  c.fault = CollectorFault::kNone;
}

bool collector_wants_more(const RecordCollector& c) {
  return c.count < 0 || c.seen < c.start + c.count;
}

bool collect_record(RecordCollector& c, const unsigned char* stored) {
  if (!collector_wants_more(c)) return false;
  if (c.seen++ < c.start) return true;
  unsigned char* words = array_extend(c.subframes, 1);
  unsigned char* trailer = array_extend(c.trailers, 1);
  unsigned char* sync_rows = array_extend(c.sync_rows, 1);
  if (words == nullptr || trailer == nullptr || sync_rows == nullptr) {
    c.fault = CollectorFault::kOutOfMemory;
    return false;
  }
  store_record(stored, words, trailer, sync_rows);
  return collector_wants_more(c);
}

void collector_free(RecordCollector& c) {
  array_clear(c.subframes);
  array_clear(c.trailers);
  array_clear(c.sync_rows);
}
