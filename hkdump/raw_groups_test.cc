// The raw table on hand-made records: rows read for awkward sync rows, and
// the mask temperature group's offset report.
#include <gtest/gtest.h>

#include <string>

#include "group_table.h"
#include "synth.h"
#include "telemetry_files.h"

using namespace tlmframe;

namespace {

TelemetryRecord g_record;  // words in host order, as the tests set them
GroupPositions g_at;

// Column 4 of every row holds 0xA000 plus its record row number (subframe
// rows continue into the trailer), so each word names its row.
void number_rows() {
  for (uint16_t& w : g_record.words) w = 0;
  for (int row = 0; row < kRecordWords / kWordsPerRow; ++row) {
    g_record.words[row * kWordsPerRow + kRawHousekeepingColumn] =
        static_cast<uint16_t>(0xA000 + row);
  }
}

// Places the group for a sync row; returns the position line that the
// dump writes when the group reports one, else "".
std::string update(char option, int sync_row, int format_offset = 0) {
  const ChannelGroup* group = find_group(kRawTable, option);
  group->place(*group, g_at, sync_row, format_offset);
  if (group->reported_channel < 0) return "";
  return "ait affset " +
         std::to_string(channel_position(sync_row, group->reported_channel, kRawTable.column)) +
         "\n";
}

std::string print(char option, int sub, bool hex = false) {
  const ChannelGroup* group = find_group(kRawTable, option);
  int values[kMaxLineValues];
  read_line(kRawTable, *group, g_at, stored_subframe(stored_record(g_record), sub), values);
  char line[kMaxGroupTextBytes];
  const char* end = group->write(line, values, group->value_count, hex);
  return std::string(static_cast<const char*>(line), end);
}

class RawGroupsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_at = GroupPositions{};
    number_rows();
  }
};

TEST_F(RawGroupsTest, MaskTemperatureReportsItsOffsetPosition) {
  EXPECT_EQ(update('m', 0), "ait affset 308\n");
  EXPECT_EQ(update('m', 100), "ait affset 180\n");
  EXPECT_EQ(update('m', -1), "ait affset 292\n");
  EXPECT_EQ(update('m', 5), "ait affset 388\n");
  EXPECT_EQ(print('m', 0), "a00d a00e a018 a009 a00a a00b a00c a03a\n");
  // The other groups write nothing when they move.
  for (char option : {'f', 's', 'p', 'v', 'x', 'g'}) {
    EXPECT_EQ(update(option, 6), "") << option;
  }
}

TEST_F(RawGroupsTest, ChannelsWrapButFastSapRowsRunOn) {
  update('p', 100);
  EXPECT_EQ(print('p', 0), "a021 a00e a022 a014\n");
  update('f', 100);
  EXPECT_EQ(print('f', 0), "a064 a065 a066 a067 a047\n");
  // Sync row 106 in subframe 0: rows 106, 107, then rows 0 and 1 of
  // subframe 1 (record rows 108 and 109); channel 79 is row 77.
  update('f', 106);
  EXPECT_EQ(print('f', 0), "a06a a06b a06c a06d a04d\n");
  // Sync row 105 in subframe 2: rows 105 to 108 are record rows 321 to
  // 324, the last being the first row of the trailer; channel 79 is row 76.
  update('f', 105);
  EXPECT_EQ(print('f', 2), "a141 a142 a143 a144 a124\n");
}

TEST_F(RawGroupsTest, PositionsBeforeTheRecordReadZero) {
  update('f', -1);
  EXPECT_EQ(print('f', 0), "0 a000 a001 a002 a04e\n");
  EXPECT_EQ(print('f', 1), "a06b a06c a06d a06e a0ba\n");
  update('g', -1, 0);
  EXPECT_EQ(print('g', 0, true), "0\n");
  EXPECT_EQ(print('g', 2, true), "a0d7\n");
}

TEST_F(RawGroupsTest, ValuesAreRawHexadecimalWords) {
  set_channel(g_record, 0, 5, 68, kRawHousekeepingColumn, 0x0ABC);
  set_channel(g_record, 0, 5, 69, kRawHousekeepingColumn, 0);
  update('v', 5);
  EXPECT_EQ(print('v', 0), "abc 0 a04b a04c\n");
  update('g', 5, 68);
  EXPECT_EQ(print('g', 0, false), "2748\n");
  EXPECT_EQ(print('g', 0, true), "abc\n");
}

}  // namespace
