// The engineering table on hand-made records: which rows each group reads
// for awkward sync rows, and the value forms.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "group_table.h"
#include "synth.h"
#include "telemetry_files.h"

using namespace tlmframe;

namespace {

TelemetryRecord g_record;  // words in host order, as the tests set them

// Fills column 12 with a value that no test expects, the rest with 0.
void clear_record() {
  for (uint16_t& w : g_record.words) w = 0;
  for (int i = kHousekeepingColumn; i < kRecordWords; i += kWordsPerRow) g_record.words[i] = 0x7777;
}

// Column 12 of row (which may lie past 107) counted from subframe sub.
void put_word(int sub, int row, uint16_t value) {
  set_word(g_record, sub, row, kHousekeepingColumn, value);
}

std::string dump(char option, int sub, int sync_row, int format_offset = 0, bool hex = false) {
  const ChannelGroup* group = find_group(kEngineeringTable, option);
  GroupPositions at{};
  group->place(*group, at, sync_row, format_offset);
  int values[kMaxLineValues];
  group->read(*group, at, stored_subframe(stored_record(g_record), sub), values);
  char line[kMaxGroupTextBytes];
  const char* end = group->write(line, values, group->value_count, hex);
  return std::string(static_cast<const char*>(line), end);
}

class EngineeringGroupsTest : public ::testing::Test {
 protected:
  void SetUp() override { clear_record(); }
};

TEST_F(EngineeringGroupsTest, PressureAndTimeForSyncRowNear108) {
  // Sync row 100: channels 52, 65 and 66 lie in rows 44, 57 and 58, the
  // pressure channels 41, 22, 42 and 28 in rows 33, 14, 34 and 20.
  put_word(1, 44, 1234);
  put_word(1, 57, 0x1234);
  put_word(1, 58, 0x5678);
  put_word(1, 33, 0x1230);
  put_word(1, 14, 0xFFFF);
  put_word(1, 34, 0xFFC0);
  put_word(1, 20, 0x0040);
  EXPECT_EQ(dump('p', 1, 100), "1234\t34 56 78\t291 4095 1023 1\n");
}

TEST_F(EngineeringGroupsTest, BcdDigitsAboveNineAreTakenAtTheirValue) {
  put_word(0, 70, 0x00FF);  // channel 65, sync row 5
  put_word(0, 71, 0xFFFF);  // channel 66
  put_word(0, 57, 65535);   // channel 52
  EXPECT_EQ(dump('v', 0, 5).substr(0, 18), "65535\t165 165 165\t");
}

TEST_F(EngineeringGroupsTest, MaskTemperatureFrame) {
  const int channels[] = {8, 9, 19, 4, 5, 6, 7};
  const uint16_t words[] = {0x0010, 0xFFF0, 0xFFFF, 0x1000, 0x0100, 0x0020, 0x00F0};
  for (int i = 0; i < 7; ++i) put_word(2, 10 + channels[i], words[i]);
  put_word(2, 10 + 53, 0x8000);
  EXPECT_EQ(dump('m', 2, 10).substr(15),
            "|    1 4095 | 1023 |  256   16 |    2   15 |  1 |\n");
  put_word(2, 10 + 53, 0);
  EXPECT_TRUE(dump('m', 2, 10).ends_with("|    2   15 |  0 |\n"));
}

TEST_F(EngineeringGroupsTest, AuxiliaryFlagsInTheirOrder) {
  // Channels 88, 89, 92, 90, 91, 93; only 92 and 91 are set.
  put_word(0, 0 + 88, 0);
  put_word(0, 0 + 89, 0);
  put_word(0, 0 + 92, 0x8000);
  put_word(0, 0 + 90, 0);
  put_word(0, 0 + 91, 1);
  put_word(0, 0 + 93, 0);
  EXPECT_EQ(dump('x', 0, 0).substr(15), "0 0 0 0 1 0 0 0 1 0 0 0\n");
}

TEST_F(EngineeringGroupsTest, FastSapReadsTwelveRowsOnAndSubtractsChannel79) {
  // Sync row 5: rows 17 to 20, and channel 79 (row 84) plus 12 = row 96.
  put_word(0, 17, 0x0010);
  put_word(0, 18, 0x0020);
  put_word(0, 19, 0x0030);
  put_word(0, 20, 0);
  put_word(0, 96, 0xFFFF);
  EXPECT_EQ(dump('f', 0, 5).substr(15), "1 2 3 -65535\n");
}

TEST_F(EngineeringGroupsTest, FastSapWithoutSyncRow) {
  // Rows 11 to 14, and channel 79 at row 78, plus 12 = row 90.
  put_word(1, 11, 0x0100);
  put_word(1, 12, 0x0200);
  put_word(1, 13, 0x0300);
  put_word(1, 14, 1000);
  put_word(1, 90, 1);
  EXPECT_EQ(dump('f', 1, -1).substr(15), "16 32 48 999\n");
}

TEST_F(EngineeringGroupsTest, FastSapRunsIntoTheNextSubframeAndPastTheRecord) {
  // Sync row 96 in subframe 0: rows 108 to 111 are rows 0 to 3 of subframe 1.
  put_word(1, 0, 0x0050);
  put_word(1, 1, 0x0060);
  put_word(1, 2, 0x0070);
  put_word(1, 3, 0x0080);
  put_word(0, 96 + 79 - 108 + 12, 0x0008);
  EXPECT_EQ(dump('f', 0, 96).substr(15), "5 6 7 120\n");
  // Sync row 107 in subframe 2: row 119 is the last of the trailer, rows
  // 120 on lie past the record and read 0; channel 79 is row 78 + 12.
  put_word(2, 119, 0x0AB0);
  put_word(2, 90, 5);
  EXPECT_EQ(dump('f', 2, 107).substr(15), "171 0 0 -5\n");
}

TEST_F(EngineeringGroupsTest, GenericChannelAnyOffset) {
  put_word(0, 5, 0x00AB);
  EXPECT_EQ(dump('g', 0, 5, 0, false), "171\n");
  EXPECT_EQ(dump('g', 0, 5, 0, true), "ab\n");
  // No sync row and offset 0 in subframe 0 points before the record: 0.
  EXPECT_EQ(dump('g', 0, -1, 0, false), "0\n");
  // -1 in subframe 1 is the last row of subframe 0.
  put_word(0, 107, 0xFFFF);
  EXPECT_EQ(dump('g', 1, -1, 0, false), "65535\n");
  // The sum is formed without overflow: (5 + INT_MAX) mod 108 is 96, and
  // INT_MIN mod 108 is -92, which is row 16 of the preceding subframe.
  put_word(0, 96, 4096);
  EXPECT_EQ(dump('g', 0, 5, INT_MAX, false), "4096\n");
  put_word(0, 16, 0x1000);
  EXPECT_EQ(dump('g', 1, 0, INT_MIN, true), "1000\n");
}

}  // namespace
