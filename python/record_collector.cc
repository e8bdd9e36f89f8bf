#include "record_collector.h"

#include <cstring>

using namespace tlmframe;

namespace {

constexpr size_t kSubframeBytes = 2 * kSwappedWords;
constexpr size_t kTrailerBytes = kRecordBytes - kSubframeBytes;

}  // namespace

void collector_init(RecordCollector& c, int64_t start, int64_t count) {
  c.start = start;
  c.count = count;
  c.seen = 0;
  array_init(c.subframes, kSubframeBytes);
  array_init(c.trailers, kTrailerBytes);
  array_init(c.sync_rows, kSubframeCount * sizeof(int16_t));
  c.out_of_memory = false;
}

bool collector_wants_more(const RecordCollector& c) {
  return c.count < 0 || c.seen < c.start + c.count;
}

bool collect_record(RecordCollector& c, const unsigned char* stored) {
  if (!collector_wants_more(c)) return false;
  if (c.seen++ < c.start) return true;
  unsigned char* words = array_extend(c.subframes, 1);
  unsigned char* trailer = array_extend(c.trailers, 1);
  unsigned char* rows = array_extend(c.sync_rows, 1);
  if (words == nullptr || trailer == nullptr || rows == nullptr) {
    c.out_of_memory = true;
    return false;
  }
  TelemetryRecord& record = c.record;
  std::memcpy(record.words, stored, kRecordBytes);
  swap_record(record);
  std::memcpy(words, record.words, kSubframeBytes);
  std::memcpy(trailer, record.words + kSwappedWords, kTrailerBytes);
  for (int i = 0; i < kSubframeCount; ++i) {
    const int16_t row = static_cast<int16_t>(find_sync_row(subframe(record, i)));
    std::memcpy(rows + i * sizeof row, &row, sizeof row);
  }
  return collector_wants_more(c);
}

void collector_free(RecordCollector& c) {
  array_clear(c.subframes);
  array_clear(c.trailers);
  array_clear(c.sync_rows);
}
