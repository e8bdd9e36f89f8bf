// The raw telemetry record and its addressing.
//
// A raw telemetry file is a plain sequence of 10752-byte records: three
// subframes of 108 rows of 16 big-endian 16-bit words, then a 384-byte
// trailer that nobody interprets.  Column 0 of one row of every subframe
// carries the sync word; the commutated housekeeping channels sit one per
// row in a housekeeping column, counted from that sync row; the other
// columns carry the detector samples in groups.
//
// A record is read in one of two forms.  The tools, and everything else in
// this tree that reads telemetry, look at it as stored (StoredSubframe,
// next_stored_record): where the reader holds it, in the file's byte order.
// TelemetryRecord is the record copied out and put in host order
// (read_record, swap_record): the simple form for programs outside the
// tree, and the form in which the generators build records.
#ifndef TLMFRAME_RECORD_H_
#define TLMFRAME_RECORD_H_

#include <cstdint>
#include <cstring>

namespace tlmframe {

constexpr int kRecordBytes = 10752;
constexpr int kRecordWords = 5376;
constexpr int kSubframeCount = 3;
constexpr int kRowsPerSubframe = 108;
constexpr int kWordsPerRow = 16;
constexpr int kSubframeWords = kRowsPerSubframe * kWordsPerRow;  // 1728
constexpr int kSwappedWords = kSubframeCount * kSubframeWords;   // 5184; the trailer follows
constexpr uint16_t kSyncWord = 0x146F;

// Every row carries four sample groups, in columns 1-3, 5-7, 9-11 and
// 13-15: a control word (gain code and sample flag, or a carriage word in
// carriage mode) and one word of each detector.
constexpr int kGroupsPerSubframe = 4 * kRowsPerSubframe;  // 432

// Position of group k's control word counted from its subframe's first
// word; the two detector words follow it.
constexpr int group_word_offset(int group) { return 4 * group + 1; }

// One record copied out of the file.  After swap_record the words of the
// three subframes are in host order; the trailer keeps the file's bytes.
struct TelemetryRecord {
  uint16_t words[kRecordWords];
};
static_assert(sizeof(TelemetryRecord) == kRecordBytes);

// A subframe is addressed by its first word inside the record.  Positions
// counted from there may run into the neighbouring subframes or the
// trailer, so the whole record stays reachable, and nothing beyond it.
struct Subframe {
  const TelemetryRecord* record;
  int first_word;
};

// Subframe index (0, 1 or 2) of a record.
Subframe subframe(const TelemetryRecord& record, int index);

// Record word at index; 0 for an index before word 0 or past word 5375.
inline uint16_t record_word(const TelemetryRecord& record, int64_t index) {
  return index >= 0 && index < kRecordWords ? record.words[index] : 0;
}

// Word at a position counted from the subframe's first word (row * 16 +
// column), read as 0 where the position lies outside the record.
inline uint16_t subframe_word(Subframe sf, int64_t position) {
  return record_word(*sf.record, sf.first_word + position);
}

// A record read in place, still in the file's byte order: kRecordBytes
// bytes where the reader holds them, with nothing copied or swapped.  The
// tools decode records this way.  Its words read as those of the same
// record after swap_record: subframe words assembled from their big-endian
// bytes, trailer words as the host reads them.
struct StoredSubframe {
  const unsigned char* record_bytes;
  int first_word;
};

// Subframe index (0, 1 or 2) of a stored record.
inline StoredSubframe stored_subframe(const unsigned char* record_bytes, int index) {
  return StoredSubframe{record_bytes, index * kSubframeWords};
}

// A big-endian word of a stored subframe, in host order.
inline uint16_t stored_word_at(const unsigned char* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

// Record word at index of a stored record; 0 outside the record.  (An
// index below 0 is taken as a huge unsigned one, so that a subframe word,
// the common case, costs one comparison.)
inline uint16_t stored_record_word(const unsigned char* record_bytes, int64_t index) {
  const uint64_t at = static_cast<uint64_t>(index);
  if (at < kSwappedWords) return stored_word_at(record_bytes + 2 * at);
  if (at >= kRecordWords) return 0;
  uint16_t host;
  std::memcpy(&host, record_bytes + 2 * at, sizeof host);
  return host;
}

// Word at a position counted from the subframe's first word, as
// subframe_word reads it from a swapped record.
inline uint16_t stored_subframe_word(StoredSubframe sf, int64_t position) {
  return stored_record_word(sf.record_bytes, sf.first_word + position);
}

// Converts the subframe words of a freshly read record from the file's
// big-endian order to host order, in place.  The trailer is left alone.
void swap_record(TelemetryRecord& record);

// The first row of the subframe whose column 0 holds the sync word, or -1.
int find_sync_row(Subframe sf);
int find_sync_row(StoredSubframe sf);

// Row of housekeeping channel k for a sync row: (sync row + k) mod 108,
// the remainder taking the sign of the sum.  The sum is formed in 64 bits,
// so any channel number from the command line gives a row in -107..107.
inline int channel_row(int sync_row, int channel) {
  const int64_t sum = static_cast<int64_t>(sync_row) + channel;
  return static_cast<int>(sum % kRowsPerSubframe);
}

// Word position of channel k in a housekeeping column: row * 16 + column.
inline int channel_position(int sync_row, int channel, int column) {
  return channel_row(sync_row, channel) * kWordsPerRow + column;
}

}  // namespace tlmframe

#endif  // TLMFRAME_RECORD_H_
