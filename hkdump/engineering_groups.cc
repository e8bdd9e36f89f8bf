// The engineering group table: housekeeping column 12, values converted
// to engineering form (top bits of the converter words, flags, the fast
// sap difference, BCD time fields), each line but the generic one starting
// with the interferogram number and the time of day.
#include "group_table.h"
#include "int_format.h"

using namespace tlmframe;

namespace {

constexpr int kColumn = kHousekeepingColumn;

// The fast sap words are sampled twelve rows after their channel rows.
constexpr int kFastSapLag = 12 * kWordsPerRow;

// The time prefix: interferogram number, hours, minutes, seconds.
constexpr int kTimeValues = 4;

// A word widened without sign extension.
int word_at(StoredSubframe sf, int position) { return stored_subframe_word(sf, position); }

int top_12(int word) { return word >> 4; }
int top_10(int word) { return word >> 6; }
int flag(int word) { return word != 0 ? 1 : 0; }

// Two BCD digits of one byte; digits above 9 are taken at their value.
int bcd_low_byte(int word) { return 10 * ((word >> 4) & 0xF) + (word & 0xF); }
int bcd_high_byte(int word) { return 10 * (word >> 12) + ((word >> 8) & 0xF); }

void place_time_prefix(GroupPositions& at, int sync_row) {
  at.interferogram_number = channel_position(sync_row, kInterferogramNumberChannel, kColumn);
  at.time_a = channel_position(sync_row, kTimeChannelA, kColumn);
  at.time_b = channel_position(sync_row, kTimeChannelB, kColumn);
}

// Reads the time prefix into values[0..3] and returns where the group's
// own values go.
int* read_time_prefix(const GroupPositions& at, StoredSubframe sf, int* values) {
  const int time_b = word_at(sf, at.time_b);
  values[0] = word_at(sf, at.interferogram_number);
  values[1] = bcd_low_byte(word_at(sf, at.time_a));
  values[2] = bcd_high_byte(time_b);
  values[3] = bcd_low_byte(time_b);
  return values + kTimeValues;
}

// "%4d\t%2d %2d %2d\t": interferogram number, hours, minutes, seconds.
char* write_time_prefix(char* p, const int* values) {
  p = format_int_width(p, values[0], 4);
  *p++ = '\t';
  p = format_int_width(p, values[1], 2);
  *p++ = ' ';
  p = format_int_width(p, values[2], 2);
  *p++ = ' ';
  p = format_int_width(p, values[3], 2);
  *p++ = '\t';
  return p;
}

// The time prefix, then the group's values separated by blanks.
char* write_prefixed_list(char* p, const int* values, int count, int) {
  p = write_time_prefix(p, values);
  return write_decimal_list(p, values + kTimeValues, count - kTimeValues);
}

// The top 12 bits of the words at count positions.
void read_top_12(StoredSubframe sf, const int* positions, int count, int* values) {
  for (int i = 0; i < count; ++i) values[i] = top_12(word_at(sf, positions[i]));
}

void place_fast_sap(GroupPositions& at, int sync_row, int) {
  place_time_prefix(at, sync_row);
  place_fast_sap_positions(sync_row, kColumn, at.fast_sap);
}

// Three converter readings, then the fourth minus the channel 79 word.
void read_fast_sap(const GroupPositions& at, StoredSubframe sf, int* values) {
  int* v = read_time_prefix(at, sf, values);
  for (int i = 0; i < kFastSapRows - 1; ++i) v[i] = top_12(word_at(sf, at.fast_sap[i] + kFastSapLag));
  v[kFastSapRows - 1] = word_at(sf, at.fast_sap[kFastSapRows - 1] + kFastSapLag) -
                        word_at(sf, at.fast_sap[kFastSapRows] + kFastSapLag);
}

void place_slow_sap(GroupPositions& at, int sync_row, int) {
  place_time_prefix(at, sync_row);
  place_channels(sync_row, kSlowSapChannels, length_of(at.slow_sap), kColumn, at.slow_sap);
}

void read_slow_sap(const GroupPositions& at, StoredSubframe sf, int* values) {
  read_top_12(sf, at.slow_sap, length_of(at.slow_sap), read_time_prefix(at, sf, values));
}

void place_pressure(GroupPositions& at, int sync_row, int) {
  place_time_prefix(at, sync_row);
  place_channels(sync_row, kPressureChannels, length_of(at.pressure), kColumn, at.pressure);
}

// Two gauges read to 12 bits, two to 10.
void read_pressure(const GroupPositions& at, StoredSubframe sf, int* values) {
  int* v = read_time_prefix(at, sf, values);
  v[0] = top_12(word_at(sf, at.pressure[0]));
  v[1] = top_12(word_at(sf, at.pressure[1]));
  v[2] = top_10(word_at(sf, at.pressure[2]));
  v[3] = top_10(word_at(sf, at.pressure[3]));
}

void place_mask_temperature(GroupPositions& at, int sync_row, int) {
  place_time_prefix(at, sync_row);
  place_channels(sync_row, kMaskTemperatureChannels, length_of(at.mask_temperature), kColumn,
                 at.mask_temperature);
}

// The mask sensors: the third is read to 10 bits, the others to 12; the
// last channel is a heater flag.
void read_mask_temperature(const GroupPositions& at, StoredSubframe sf, int* values) {
  static constexpr int kShift[] = {4, 4, 6, 4, 4, 4, 4};
  int* v = read_time_prefix(at, sf, values);
  const int* m = at.mask_temperature;
  for (int i = 0; i < 7; ++i) v[i] = word_at(sf, m[i]) >> kShift[i];
  v[7] = flag(word_at(sf, m[7]));
}

char* put_text(char* p, const char* text) {
  while (*text != '\0') *p++ = *text++;
  return p;
}

char* put_field(char* p, const char* before, int value, int width) {
  return format_int_width(put_text(p, before), value, width);
}

// "| %4d %4d | %4d | %4d %4d | %4d %4d | %2d |\n": the sensors in their frame.
char* write_mask_temperature(char* p, const int* values, int, int) {
  p = write_time_prefix(p, values);
  const int* v = values + kTimeValues;
  p = put_field(p, "| ", v[0], 4);
  p = put_field(p, " ", v[1], 4);
  p = put_field(p, " | ", v[2], 4);
  p = put_field(p, " | ", v[3], 4);
  p = put_field(p, " ", v[4], 4);
  p = put_field(p, " | ", v[5], 4);
  p = put_field(p, " ", v[6], 4);
  p = put_field(p, " | ", v[7], 2);
  return put_text(p, " |\n");
}

void place_voltage_monitor(GroupPositions& at, int sync_row, int) {
  place_time_prefix(at, sync_row);
  place_channels(sync_row, kVoltageMonitorChannels, length_of(at.voltage_monitor), kColumn,
                 at.voltage_monitor);
}

void read_voltage_monitor(const GroupPositions& at, StoredSubframe sf, int* values) {
  read_top_12(sf, at.voltage_monitor, length_of(at.voltage_monitor), read_time_prefix(at, sf, values));
}

void place_auxiliary_detector(GroupPositions& at, int sync_row, int) {
  place_time_prefix(at, sync_row);
  place_channels(sync_row, kAuxiliaryDetectorChannels, length_of(at.auxiliary_detector), kColumn,
                 at.auxiliary_detector);
}

// Each channel as a flag followed by a literal 0.
void read_auxiliary_detector(const GroupPositions& at, StoredSubframe sf, int* values) {
  int* v = read_time_prefix(at, sf, values);
  for (int i = 0; i < length_of(at.auxiliary_detector); ++i) {
    v[2 * i] = flag(word_at(sf, at.auxiliary_detector[i]));
    v[2 * i + 1] = 0;
  }
}

void place_generic(GroupPositions& at, int sync_row, int format_offset) {
  place_time_prefix(at, sync_row);
  at.generic = channel_position(sync_row, format_offset, kColumn);
}

// The raw word alone, without time prefix.
void read_generic(const GroupPositions& at, StoredSubframe sf, int* values) {
  values[0] = word_at(sf, at.generic);
}

}  // namespace

const GroupTable kEngineeringTable = {
    "hkdump",
    kColumn,
    {
        {kFastSapGroup, kTimeValues + 4, -1, place_fast_sap, read_fast_sap, write_prefixed_list},
        {kSlowSapGroup, kTimeValues + 6, -1, place_slow_sap, read_slow_sap, write_prefixed_list},
        {kPressureGroup, kTimeValues + 4, -1, place_pressure, read_pressure, write_prefixed_list},
        {kMaskTemperatureGroup, kTimeValues + 8, -1, place_mask_temperature, read_mask_temperature,
         write_mask_temperature},
        {kVoltageMonitorGroup, kTimeValues + 4, -1, place_voltage_monitor, read_voltage_monitor,
         write_prefixed_list},
        {kAuxiliaryDetectorGroup, kTimeValues + 12, -1, place_auxiliary_detector,
         read_auxiliary_detector, write_prefixed_list},
        {kGenericGroup, 1, -1, place_generic, read_generic, write_generic_value},
    },
};
