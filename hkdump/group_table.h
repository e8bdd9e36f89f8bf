// The channel groups of the housekeeping dump, as a table.
//
// Each of the seven groups is known by the letter of its command-line
// option, and has an operation that places its channels for a new sync
// row, one that reads the numbers of its line from a subframe, and one
// that writes those numbers as text.  The record loop only ever calls
// through a table.  There are two tables: engineering values from
// housekeeping column 12 (hkdump), and raw words from column 4
// (hkrawdump); the two programs are the same loop given different tables.
// The Python module reads through the same tables and skips the text.
#ifndef HKDUMP_GROUP_TABLE_H_
#define HKDUMP_GROUP_TABLE_H_

#include <cstddef>

#include "format/channels.h"
#include "record.h"

constexpr int kGroupCount = 7;

// Number of entries of a fixed array, as an int.
template <typename T, size_t N>
constexpr int length_of(const T (&)[N]) {
  return static_cast<int>(N);
}

// The most numbers on one line: the time prefix and the auxiliary
// detector's six flags, each followed by a 0.
constexpr int kMaxLineValues = 16;

// The numbers of the engineering table's time prefix (interferogram number,
// hours, minutes, seconds), first on the line of every group but the
// generic one.
constexpr int kTimePrefixValues = 4;

// The most bytes that write_values writes for one subframe, newline included.
constexpr size_t kMaxGroupTextBytes = 128;

// The fast sap group's five positions in a column: channel 0 and the three
// rows after it, counted on past row 107 without wrapping, then channel 79.
constexpr int kFastSapPositions = tlmframe::kFastSapRows + 1;

// The most channels in a group's list (the mask temperature group).
constexpr int kMaxListedChannels = 8;

// Channel positions for the last sync row, as word indexes counted from a
// subframe's first word.  Only the selected group's entries, and in the
// engineering table the time prefix, are ever filled.  All are 0 before
// the first sync row is placed.
struct GroupPositions {
  int interferogram_number;  // time prefix of the engineering table
  int time_a;                // BCD hours in its low byte
  int time_b;                // BCD minutes (high byte) and seconds (low byte)
  int fast_sap[kFastSapPositions];
  int listed[kMaxListedChannels];  // the channels of a group's list, in order
  int generic;
};

// How an engineering value is made from its word.
enum class ValueForm : unsigned char {
  kTop12,        // the word shifted right by 4
  kTop10,        // the word shifted right by 6
  kFlag,         // 1 if the word is not 0
  kFlagAndZero,  // the flag, then a literal 0
};

struct ChannelGroup;

// Places the group's own channels for a new sync row (-1 when the subframe
// has none); format_offset is the channel number of the generic group.
using PlaceChannels = void (*)(const ChannelGroup& group, GroupPositions& at, int sync_row,
                               int format_offset);

// Reads the group's own numbers of one line from the subframe, in print
// order (after the table's prefix, when its line has one).
using ReadValues = void (*)(const ChannelGroup& group, const GroupPositions& at,
                            tlmframe::StoredSubframe sf, int* values);

// Places the channels of the table's line prefix (the engineering table's
// time prefix) for a new sync row, and reads its numbers from a subframe.
using PlacePrefix = void (*)(GroupPositions& at, int sync_row);
using ReadPrefix = void (*)(const GroupPositions& at, tlmframe::StoredSubframe sf, int* values);

// Where one number of a line is read from, for the positions placed: the
// word position, and for the fast sap difference the position of the word
// it is less (otherwise 0).  For those who take single numbers straight
// from the words rather than whole lines.
struct WordPlace {
  int word;
  int less;
};

// Where number index of the group's own numbers (after the table's prefix)
// is read from; index is that of a number read from a word, not a literal.
using LocateValue = WordPlace (*)(const ChannelGroup& group, const GroupPositions& at, int index);

// The same for number index of the table's line prefix.
using LocatePrefix = WordPlace (*)(const GroupPositions& at, int index);

// Writes the count numbers of a line as the group's text, ending with a
// newline, and returns the end.  hex asks the generic group for
// hexadecimal (-X).
using WriteValues = char* (*)(char* p, const int* values, int count, bool hex);

struct ChannelGroup {
  char option;          // its command-line option: f s p m v x, or g (a generic channel)
  int value_count;      // numbers on each line
  int prefix_count;     // of them, the table's prefix first on the line (0: none)
  const int* channels;  // the group's list of channels in print order, if it has one
  int channel_count;
  const ValueForm* forms;  // their engineering forms, one per channel (engineering table)
  int reported_channel;    // a channel whose position is reported on a line of its own, or -1
  PlaceChannels place;
  ReadValues read;
  LocateValue locate;
  WriteValues write;
};

struct GroupTable {
  const char* program;       // the program's name in its messages
  int column;                // the housekeeping column read
  PlacePrefix place_prefix;  // of the lines whose group has a prefix_count
  ReadPrefix read_prefix;
  LocatePrefix locate_prefix;
  ChannelGroup groups[kGroupCount];
};

extern const GroupTable kEngineeringTable;  // hkdump
extern const GroupTable kRawTable;          // hkrawdump

// The group of this option letter, or nullptr.
const ChannelGroup* find_group(const GroupTable& table, char option);

// Places the channels of one line of the group for a new sync row: the
// table's prefix when the group's line has one (unless with_prefix is
// false), then the group's own.
inline void place_line(const GroupTable& table, const ChannelGroup& group, GroupPositions& at,
                       int sync_row, int format_offset, bool with_prefix = true) {
  if (with_prefix && group.prefix_count > 0) table.place_prefix(at, sync_row);
  group.place(group, at, sync_row, format_offset);
}

// Reads the numbers of one line of the group: the table's prefix when the
// group's line has one (unless with_prefix is false: those numbers are
// then left as they are), then the group's own.
inline void read_line(const GroupTable& table, const ChannelGroup& group, const GroupPositions& at,
                      tlmframe::StoredSubframe sf, int* values, bool with_prefix = true) {
  if (with_prefix && group.prefix_count > 0) table.read_prefix(at, sf, values);
  group.read(group, at, sf, values + group.prefix_count);
}

// Where number index of the group's line, prefix included, is read from
// (the table's prefix must have been placed when index is on it).
inline WordPlace locate_line_value(const GroupTable& table, const ChannelGroup& group,
                                   const GroupPositions& at, int index) {
  return index < group.prefix_count ? table.locate_prefix(at, index)
                                    : group.locate(group, at, index - group.prefix_count);
}

// Word positions of the group's list of channels in one housekeeping column.
void place_listed(const ChannelGroup& group, int sync_row, int column, GroupPositions& at);

// The generic group's one word, in either table (a LocateValue).
WordPlace locate_generic(const ChannelGroup& group, const GroupPositions& at, int index);

void place_fast_sap_positions(int sync_row, int column, int positions[kFastSapPositions]);

// Writes values as decimal numbers separated by single blanks, then a
// newline.
char* write_decimal_list(char* p, const int* values, int count);

// The same as hexadecimal numbers (a WriteValues).
char* write_hex_list(char* p, const int* values, int count, bool hex);

// The generic group's one value: decimal, or hexadecimal when hex, then a
// newline (a WriteValues).
char* write_generic_value(char* p, const int* values, int count, bool hex);

#endif  // HKDUMP_GROUP_TABLE_H_
