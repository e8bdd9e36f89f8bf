// The engineering table on hand-made records: which rows each group reads
// for awkward sync rows, and the value forms.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "group_table.h"
#include "synth.h"
#include "telemetry_files.h"

using namespace tlmframe;

namespace {

TelemetryRecord g_record;  // words in host order, as the cases set them

// A word of column 12 at row (which may lie past 107) counted from subframe sub.
struct Word {
  int sub;
  int row;
  uint16_t value;
};

// One line of a group on a record whose column 12 holds 0x7777 (a value
// that no case expects) but for the words of the case, everything else 0.
struct LineAt {
  char option;
  int sub;
  int sync_row;
  int format_offset;
  bool hex;
  size_t from;  // where the expected text starts in the line: 15 skips the time prefix
};
struct GroupCase {
  const char* what;
  LineAt at;
  std::string want;
  std::vector<Word> words;
};

std::string dump(const GroupCase& c) {
  for (uint16_t& w : g_record.words) w = 0;
  for (int i = kHousekeepingColumn; i < kRecordWords; i += kWordsPerRow) g_record.words[i] = 0x7777;
  for (const Word& w : c.words) set_word(g_record, w.sub, w.row, kHousekeepingColumn, w.value);
  const ChannelGroup* group = find_group(kEngineeringTable, c.at.option);
  GroupPositions at{};
  place_line(kEngineeringTable, *group, at, c.at.sync_row, c.at.format_offset);
  int values[kMaxLineValues];
  read_line(kEngineeringTable, *group, at, stored_subframe(stored_record(g_record), c.at.sub),
            values);
  char line[kMaxGroupTextBytes];
  const char* end = group->write(line, values, group->value_count, c.at.hex);
  return std::string(static_cast<const char*>(line), end).substr(c.at.from);
}

// The mask temperature channels 8, 9, 19, 4, 5, 6, 7 and the configuration
// flag (channel 53) counted from sync row 10 in subframe 2.
std::vector<Word> mask_words(uint16_t configuration) {
  return {{2, 18, 0x0010}, {2, 19, 0xFFF0}, {2, 29, 0xFFFF}, {2, 14, 0x1000},
          {2, 15, 0x0100}, {2, 16, 0x0020}, {2, 17, 0x00F0}, {2, 63, configuration}};
}

TEST(EngineeringGroups, EachGroupReadsItsRowsAndWritesItsForms) {
  const GroupCase cases[] = {
      // Sync row 100: channels 52, 65 and 66 lie in rows 44, 57 and 58, the
      // pressure channels 41, 22, 42 and 28 in rows 33, 14, 34 and 20.
      {"pressure and time, sync row near 108",
       {'p', 1, 100, 0, 0, 0},
       "1234\t34 56 78\t291 4095 1023 1\n",
       {{1, 44, 1234},
        {1, 57, 0x1234},
        {1, 58, 0x5678},
        {1, 33, 0x1230},
        {1, 14, 0xFFFF},
        {1, 34, 0xFFC0},
        {1, 20, 0x0040}}},
      // Channels 65, 66 and 52 of sync row 5.
      {"BCD digits above nine taken at their value",
       {'v', 0, 5, 0, 0, 0},
       "65535\t165 165 165\t1911 1911 1911 1911\n",
       {{0, 70, 0x00FF}, {0, 71, 0xFFFF}, {0, 57, 65535}}},
      {"mask temperature, configuration flag set",
       {'m', 2, 10, 0, 0, 15},
       "|    1 4095 | 1023 |  256   16 |    2   15 |  1 |\n",
       mask_words(0x8000)},
      {"mask temperature, configuration flag clear",
       {'m', 2, 10, 0, 0, 15},
       "|    1 4095 | 1023 |  256   16 |    2   15 |  0 |\n",
       mask_words(0)},
      // Channels 88, 89, 92, 90, 91, 93; only 92 and 91 are set.
      {"auxiliary flags in their order",
       {'x', 0, 0, 0, 0, 15},
       "0 0 0 0 1 0 0 0 1 0 0 0\n",
       {{0, 88, 0}, {0, 89, 0}, {0, 92, 0x8000}, {0, 90, 0}, {0, 91, 1}, {0, 93, 0}}},
      // Sync row 5: rows 17 to 20, and channel 79 (row 84) plus 12 = row 96.
      {"fast sap: twelve rows on, less channel 79",
       {'f', 0, 5, 0, 0, 15},
       "1 2 3 -65535\n",
       {{0, 17, 0x0010}, {0, 18, 0x0020}, {0, 19, 0x0030}, {0, 20, 0}, {0, 96, 0xFFFF}}},
      // Rows 11 to 14, and channel 79 at row 78, plus 12 = row 90.
      {"fast sap without sync row",
       {'f', 1, -1, 0, 0, 15},
       "16 32 48 999\n",
       {{1, 11, 0x0100}, {1, 12, 0x0200}, {1, 13, 0x0300}, {1, 14, 1000}, {1, 90, 1}}},
      // Sync row 96 in subframe 0: rows 108 to 111 are rows 0 to 3 of subframe 1.
      {"fast sap runs into the next subframe",
       {'f', 0, 96, 0, 0, 15},
       "5 6 7 120\n",
       {{1, 0, 0x0050},
        {1, 1, 0x0060},
        {1, 2, 0x0070},
        {1, 3, 0x0080},
        {0, 96 + 79 - 108 + 12, 0x0008}}},
      // Sync row 107 in subframe 2: row 119 is the last of the trailer, rows
      // 120 on lie past the record and read 0; channel 79 is row 78 + 12.
      {"fast sap runs past the record",
       {'f', 2, 107, 0, 0, 15},
       "171 0 0 -5\n",
       {{2, 119, 0x0AB0}, {2, 90, 5}}},
      {"generic channel, decimal", {'g', 0, 5, 0, 0, 0}, "171\n", {{0, 5, 0x00AB}}},
      {"generic channel, hexadecimal", {'g', 0, 5, 0, true, 0}, "ab\n", {{0, 5, 0x00AB}}},
      // No sync row and offset 0 in subframe 0 points before the record: 0.
      {"generic channel before the record", {'g', 0, -1, 0, 0, 0}, "0\n", {}},
      // -1 in subframe 1 is the last row of subframe 0.
      {"generic channel, subframe before",
       {'g', 1, -1, 0, 0, 0},
       "65535\n",
       {{0, 107, 0xFFFF}}},
      // The sum is formed without overflow: (5 + INT_MAX) mod 108 is 96, and
      // INT_MIN mod 108 is -92, which is row 16 of the preceding subframe.
      {"generic channel at INT_MAX",
       {'g', 0, 5, INT_MAX, 0, 0},
       "4096\n",
       {{0, 96, 4096}}},
      {"generic channel at INT_MIN",
       {'g', 1, 0, INT_MIN, true, 0},
       "1000\n",
       {{0, 16, 0x1000}}},
  };
  for (const GroupCase& c : cases) EXPECT_EQ(dump(c), c.want) << c.what;
}

}  // namespace
