// Records read in place must give the words and sync rows of the same
// records copied and swapped.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "record.h"
#include "record_reader.h"
#include "temp_dir.h"

using namespace tlmframe;

namespace {

unsigned char g_bytes[kRecordBytes];
TelemetryRecord g_swapped;

// Bytes that differ from their neighbours, so a swapped or shifted read shows.
void fill_bytes(unsigned seed) {
  for (int i = 0; i < kRecordBytes; ++i)
    g_bytes[i] = static_cast<unsigned char>(i * 7 + seed + (i >> 8));
}

void swap_copy() {
  std::memcpy(g_swapped.words, g_bytes, kRecordBytes);
  swap_record(g_swapped);
}

void put_stored(int index, uint16_t value) {
  g_bytes[2 * index] = static_cast<unsigned char>(value >> 8);
  g_bytes[2 * index + 1] = static_cast<unsigned char>(value & 0xFF);
}

TEST(StoredRecord, WordsReadAsAfterSwapping) {
  fill_bytes(0x31);
  swap_copy();
  for (int64_t i = -40; i < kRecordWords + 40; ++i) {
    ASSERT_EQ(stored_record_word(g_bytes, i), record_word(g_swapped, i)) << i;
  }
  // Far outside, and where a 32-bit index would wrap into the record.
  for (int64_t i : {INT64_MIN, INT64_MAX, (int64_t{1} << 32) + 5, 5 - (int64_t{1} << 32)}) {
    EXPECT_EQ(stored_record_word(g_bytes, i), 0) << i;
  }
  // A stored byte pair 0x14 0x6F is the sync word; a trailer pair is read
  // as the host reads it.
  put_stored(17, kSyncWord);
  EXPECT_EQ(stored_record_word(g_bytes, 17), kSyncWord);
  const StoredSubframe sf = stored_subframe(g_bytes, 2);
  for (int64_t position = -2000; position < 2000; position += 7) {
    ASSERT_EQ(stored_subframe_word(sf, position), subframe_word(subframe(g_swapped, 2), position));
  }
}

TEST(StoredRecord, SyncSearchAgreesWithTheSwappedRecord) {
  fill_bytes(0x11);
  for (int row = 0; row < kRowsPerSubframe; ++row) put_stored(row * kWordsPerRow, 0x0200);
  // Subframe 0: rows 5 and 40; subframe 1: only in column 1 and in row 0 of
  // subframe 2; subframe 2: row 107.  The trailer holds sync pairs too.
  put_stored(5 * kWordsPerRow, kSyncWord);
  put_stored(40 * kWordsPerRow, kSyncWord);
  put_stored(kSubframeWords + 9 * kWordsPerRow + 1, kSyncWord);
  put_stored(2 * kSubframeWords, 0x0300);
  put_stored(2 * kSubframeWords + 107 * kWordsPerRow, kSyncWord);
  put_stored(kSwappedWords, kSyncWord);
  swap_copy();
  const int expected[] = {5, -1, 107};
  for (int j = 0; j < kSubframeCount; ++j) {
    EXPECT_EQ(find_sync_row(stored_subframe(g_bytes, j)), expected[j]) << j;
    EXPECT_EQ(find_sync_row(subframe(g_swapped, j)), expected[j]) << j;
  }
  put_stored(2 * kSubframeWords, kSyncWord);
  EXPECT_EQ(find_sync_row(stored_subframe(g_bytes, 1)), -1);
  EXPECT_EQ(find_sync_row(stored_subframe(g_bytes, 2)), 0);
}

TEST(StoredRecord, ReaderHandsOutRecordsInPlace) {
  std::string file;
  for (unsigned seed : {1u, 2u}) {
    fill_bytes(seed);
    file.append(reinterpret_cast<const char*>(g_bytes), kRecordBytes);
  }
  file.append(100, 'x');
  const TempDir dir;
  const int fd = open(dir.put("records", file).c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  static RecordReader reader;
  reader_init(reader, fd);
  const unsigned char* bytes = nullptr;
  for (int n = 0; n < 2; ++n) {
    ASSERT_EQ(next_stored_record(reader, &bytes), kRecordBytes);
    EXPECT_EQ(std::memcmp(bytes, file.data() + n * kRecordBytes, kRecordBytes), 0) << n;
  }
  EXPECT_EQ(next_stored_record(reader, &bytes), 100);
  EXPECT_EQ(next_stored_record(reader, &bytes), 0);
  close(fd);
}

}  // namespace
