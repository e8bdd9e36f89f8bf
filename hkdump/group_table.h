// The channel groups of the housekeeping dump, as a table.
//
// Each of the seven groups has a code (the single bit its command-line
// option stands for), an operation that places its channels for a new sync
// row, and an operation that writes its values for one subframe.  The
// record loop only ever calls through this table; the two dump programs
// are the same loop linked with different tables: engineering values from
// housekeeping column 12, or raw words from column 4.
#ifndef HKDUMP_GROUP_TABLE_H_
#define HKDUMP_GROUP_TABLE_H_

#include <cstddef>

#include "format/channels.h"
#include "out_buffer.h"
#include "record.h"

constexpr int kGroupCount = 7;

// Number of entries of a fixed array, as an int.
template <typename T, size_t N>
constexpr int length_of(const T (&)[N]) {
  return static_cast<int>(N);
}

// Group codes, one bit per command-line option.
constexpr int kFastSapGroup = 1;             // -f
constexpr int kSlowSapGroup = 2;             // -s
constexpr int kPressureGroup = 4;            // -p
constexpr int kMaskTemperatureGroup = 8;     // -m
constexpr int kVoltageMonitorGroup = 16;     // -v
constexpr int kAuxiliaryDetectorGroup = 32;  // -x
constexpr int kGenericGroup = 64;            // -g num

// The most channels a group reads (the mask temperature group).
constexpr int kMaxGroupChannels = 8;

// The most bytes that print_channels writes for one subframe, newline included.
constexpr size_t kMaxGroupTextBytes = 128;

// Recomputes the group's channel positions for a new sync row (-1 when the
// subframe has none).  format_offset is the channel number of the generic
// group; an update may also write a line of its own to out.
using UpdatePositions = void (*)(int sync_row, int format_offset, OutBuffer& out);

// Writes the group's part of one output line for the subframe at p, ending
// with a newline, and returns the end.  hex_flag asks the generic group for
// hexadecimal.  Positions are counted from the subframe's first word.
using PrintChannels = char* (*)(char* p, StoredSubframe sf, int hex_flag);

struct ChannelGroup {
  int code;
  UpdatePositions update_positions;
  PrintChannels print_channels;
};

struct GroupTable {
  const char* program;  // the program's name in its messages
  ChannelGroup groups[kGroupCount];
};

// The fast sap group's five positions in a column: channel 0 and the three
// rows after it, counted on past row 107 without wrapping, then channel 79.
constexpr int kFastSapPositions = kFastSapRows + 1;

// Channel positions for the last sync row, as word indexes counted from a
// subframe's first word.  Both tables place the same channels (each in its
// own column); only the selected group's entries, and in the engineering
// table the time prefix, are ever filled.
struct GroupPositions {
  int interferogram_number;  // time prefix of the engineering table
  int time_a;                // BCD hours in its low byte
  int time_b;                // BCD minutes (high byte) and seconds (low byte)
  int fast_sap[kFastSapPositions];
  int slow_sap[length_of(kSlowSapChannels)];
  int pressure[length_of(kPressureChannels)];
  int mask_temperature[length_of(kMaskTemperatureChannels)];
  int voltage_monitor[length_of(kVoltageMonitorChannels)];
  int auxiliary_detector[length_of(kAuxiliaryDetectorChannels)];
  int generic;
};
extern GroupPositions g_positions;

// Puts every position back to 0, the state before the first update, so
// that each run starts as a new process would.
void reset_group_positions();

// The group with this code, or nullptr.
const ChannelGroup* find_group(const GroupTable& table, int code);

// Word positions of a list of channels in one housekeeping column.
void place_channels(int sync_row, const int* channels, int count, int column, int* positions);

void place_fast_sap(int sync_row, int column, int positions[kFastSapPositions]);

// Writes values as decimal numbers separated by single blanks, then a
// newline.
char* write_decimal_list(char* p, const int* values, int count);

// The same as hexadecimal numbers.
char* write_hex_list(char* p, const int* values, int count);

// The generic group's value: decimal, or hexadecimal when hex_flag is 1,
// then a newline.
char* write_generic_value(char* p, int word, int hex_flag);

// The table linked into this program.
extern const GroupTable kGroupTable;

#endif  // HKDUMP_GROUP_TABLE_H_
