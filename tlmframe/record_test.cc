#include "record.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

using namespace tlmframe;

namespace {

TelemetryRecord g_record;

void clear() { std::memset(&g_record, 0, sizeof g_record); }

void set_bytes(int byte_offset, unsigned char first, unsigned char second) {
  auto* bytes = reinterpret_cast<unsigned char*>(g_record.words);
  bytes[byte_offset] = first;
  bytes[byte_offset + 1] = second;
}

void set_word(int sub, int row, int column, uint16_t value) {
  g_record.words[sub * kSubframeWords + row * kWordsPerRow + column] = value;
}

TEST(SwapRecord, TurnsFileOrderIntoValuesAndLeavesTheTrailer) {
  clear();
  set_bytes(0, 0x14, 0x6F);                        // first word of subframe 0
  set_bytes(2 * (kSwappedWords - 1), 0xAB, 0xCD);  // last word of subframe 2
  set_bytes(2 * kSwappedWords, 0x12, 0x34);        // first trailer word
  swap_record(g_record);
  EXPECT_EQ(g_record.words[0], 0x146F);
  EXPECT_EQ(g_record.words[kSwappedWords - 1], 0xABCD);
  const auto* bytes = reinterpret_cast<const unsigned char*>(g_record.words);
  EXPECT_EQ(bytes[2 * kSwappedWords], 0x12);
  EXPECT_EQ(bytes[2 * kSwappedWords + 1], 0x34);
}

TEST(FindSyncRow, TakesTheFirstRowWithTheSyncWordInColumnZero) {
  clear();
  EXPECT_EQ(find_sync_row(subframe(g_record, 0)), -1);
  set_word(0, 40, 0, kSyncWord);
  set_word(0, 5, 0, kSyncWord);
  EXPECT_EQ(find_sync_row(subframe(g_record, 0)), 5);
  set_word(1, 0, 0, kSyncWord);
  set_word(2, 107, 0, kSyncWord);
  EXPECT_EQ(find_sync_row(subframe(g_record, 1)), 0);
  EXPECT_EQ(find_sync_row(subframe(g_record, 2)), 107);
}

TEST(FindSyncRow, IgnoresOtherColumnsTheTrailerAndTheNextSubframe) {
  clear();
  set_word(0, 3, 1, kSyncWord);               // column 1 does not count
  set_word(1, 0, 0, kSyncWord);               // row 0 of the next subframe does not belong to 0
  g_record.words[kSwappedWords] = kSyncWord;  // the trailer is no subframe
  EXPECT_EQ(find_sync_row(subframe(g_record, 0)), -1);
  EXPECT_EQ(find_sync_row(subframe(g_record, 2)), -1);
}

TEST(ChannelRow, IsTheTruncatingRemainderOfSyncRowPlusChannel) {
  EXPECT_EQ(channel_row(100, 52), 44);
  EXPECT_EQ(channel_row(0, 107), 107);
  EXPECT_EQ(channel_row(5, 0), 5);
  EXPECT_EQ(channel_row(-1, 0), -1);   // before the first row
  EXPECT_EQ(channel_row(-1, 52), 51);  // channel k lands in row k - 1 without sync
  EXPECT_EQ(channel_row(3, -10), -7);
  EXPECT_EQ(channel_row(107, 109), 0);
  // Offsets from the command line can be anything; the sum must not overflow.
  EXPECT_EQ(channel_row(107, INT_MAX), static_cast<int>((107LL + INT_MAX) % 108));
  EXPECT_EQ(channel_row(-1, INT_MIN), static_cast<int>((-1LL + INT_MIN) % 108));
  EXPECT_EQ(channel_position(100, 52, 12), 44 * 16 + 12);
}

TEST(SubframeWord, ReadsAcrossSubframesButNeverOutsideTheRecord) {
  clear();
  set_word(1, 0, 12, 0x1111);
  set_word(0, 107, 12, 0x2222);
  g_record.words[kRecordWords - 1] = 0x3333;
  g_record.words[0] = 0x4444;
  // Row 108 of subframe 0 is row 0 of subframe 1; row -1 of 1 is row 107 of 0.
  EXPECT_EQ(subframe_word(subframe(g_record, 0), 108 * 16 + 12), 0x1111);
  EXPECT_EQ(subframe_word(subframe(g_record, 1), -16 + 12), 0x2222);
  EXPECT_EQ(subframe_word(subframe(g_record, 2), kRecordWords - 1 - 2 * kSubframeWords), 0x3333);
  EXPECT_EQ(subframe_word(subframe(g_record, 0), 0), 0x4444);
  // Outside the record every position reads as 0.
  EXPECT_EQ(subframe_word(subframe(g_record, 0), -1), 0);
  EXPECT_EQ(subframe_word(subframe(g_record, 0), -16 + 12), 0);
  EXPECT_EQ(subframe_word(subframe(g_record, 2), kRecordWords - 2 * kSubframeWords), 0);
  EXPECT_EQ(subframe_word(subframe(g_record, 2), INT64_MAX - 10000), 0);
  EXPECT_EQ(subframe_word(subframe(g_record, 1), INT64_MIN + 10000), 0);
}

}  // namespace
