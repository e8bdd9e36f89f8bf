// The engineering group table: housekeeping column 12, values converted
// to engineering form (top bits of the converter words, flags, the fast
// sap difference, BCD time fields), each line but the generic one starting
// with the interferogram number and the time of day.
#include "group_table.h"
#include "int_format.h"

namespace {

constexpr int kColumn = kHousekeepingColumn;

// The fast sap words are sampled twelve rows after their channel rows.
constexpr int kFastSapLag = 12 * kWordsPerRow;

// A word widened without sign extension.
int word_at(StoredSubframe sf, int position) { return stored_subframe_word(sf, position); }

int top_12(int word) { return word >> 4; }
int top_10(int word) { return word >> 6; }
int flag(int word) { return word != 0 ? 1 : 0; }

// Two BCD digits of one byte; digits above 9 are taken at their value.
int bcd_low_byte(int word) { return 10 * ((word >> 4) & 0xF) + (word & 0xF); }
int bcd_high_byte(int word) { return 10 * (word >> 12) + ((word >> 8) & 0xF); }

void update_time_positions(int sync_row) {
  g_positions.interferogram_number = channel_position(sync_row, kInterferogramNumberChannel, kColumn);
  g_positions.time_a = channel_position(sync_row, kTimeChannelA, kColumn);
  g_positions.time_b = channel_position(sync_row, kTimeChannelB, kColumn);
}

// "%4d\t%2d %2d %2d\t": interferogram number, hours, minutes, seconds.
char* print_time_prefix(char* p, StoredSubframe sf) {
  const int time_b = word_at(sf, g_positions.time_b);
  p = format_int_width(p, word_at(sf, g_positions.interferogram_number), 4);
  *p++ = '\t';
  p = format_int_width(p, bcd_low_byte(word_at(sf, g_positions.time_a)), 2);
  *p++ = ' ';
  p = format_int_width(p, bcd_high_byte(time_b), 2);
  *p++ = ' ';
  p = format_int_width(p, bcd_low_byte(time_b), 2);
  *p++ = '\t';
  return p;
}

// The top 12 bits of the words at count positions.
void read_top_12(StoredSubframe sf, const int* positions, int count, int* values) {
  for (int i = 0; i < count; ++i) values[i] = top_12(word_at(sf, positions[i]));
}

void update_fast_sap(int sync_row, int, OutBuffer&) {
  update_time_positions(sync_row);
  place_fast_sap(sync_row, kColumn, g_positions.fast_sap);
}

// Three converter readings, then the fourth minus the channel 79 word.
char* print_fast_sap(char* p, StoredSubframe sf, int) {
  p = print_time_prefix(p, sf);
  int values[kFastSapRows];
  for (int i = 0; i < kFastSapRows - 1; ++i) values[i] = top_12(word_at(sf, g_positions.fast_sap[i] + kFastSapLag));
  values[kFastSapRows - 1] = word_at(sf, g_positions.fast_sap[kFastSapRows - 1] + kFastSapLag) -
                             word_at(sf, g_positions.fast_sap[kFastSapRows] + kFastSapLag);
  return write_decimal_list(p, values, kFastSapRows);
}

void update_slow_sap(int sync_row, int, OutBuffer&) {
  update_time_positions(sync_row);
  place_channels(sync_row, kSlowSapChannels, length_of(g_positions.slow_sap), kColumn, g_positions.slow_sap);
}

char* print_slow_sap(char* p, StoredSubframe sf, int) {
  p = print_time_prefix(p, sf);
  int values[length_of(g_positions.slow_sap)];
  read_top_12(sf, g_positions.slow_sap, length_of(g_positions.slow_sap), values);
  return write_decimal_list(p, values, length_of(g_positions.slow_sap));
}

void update_pressure(int sync_row, int, OutBuffer&) {
  update_time_positions(sync_row);
  place_channels(sync_row, kPressureChannels, length_of(g_positions.pressure), kColumn, g_positions.pressure);
}

// Two gauges read to 12 bits, two to 10.
char* print_pressure(char* p, StoredSubframe sf, int) {
  p = print_time_prefix(p, sf);
  const int values[] = {top_12(word_at(sf, g_positions.pressure[0])), top_12(word_at(sf, g_positions.pressure[1])),
                        top_10(word_at(sf, g_positions.pressure[2])), top_10(word_at(sf, g_positions.pressure[3]))};
  return write_decimal_list(p, values, length_of(values));
}

void update_mask_temperature(int sync_row, int, OutBuffer&) {
  update_time_positions(sync_row);
  place_channels(sync_row, kMaskTemperatureChannels, length_of(g_positions.mask_temperature), kColumn,
                 g_positions.mask_temperature);
}

char* put_text(char* p, const char* text) {
  while (*text != '\0') *p++ = *text++;
  return p;
}

char* put_field(char* p, const char* before, int value, int width) {
  return format_int_width(put_text(p, before), value, width);
}

// "| %4d %4d | %4d | %4d %4d | %4d %4d | %2d |\n": the mask sensors in
// their frame; the third is read to 10 bits, the last is a heater flag.
char* print_mask_temperature(char* p, StoredSubframe sf, int) {
  p = print_time_prefix(p, sf);
  const int* m = g_positions.mask_temperature;
  p = put_field(p, "| ", top_12(word_at(sf, m[0])), 4);
  p = put_field(p, " ", top_12(word_at(sf, m[1])), 4);
  p = put_field(p, " | ", top_10(word_at(sf, m[2])), 4);
  p = put_field(p, " | ", top_12(word_at(sf, m[3])), 4);
  p = put_field(p, " ", top_12(word_at(sf, m[4])), 4);
  p = put_field(p, " | ", top_12(word_at(sf, m[5])), 4);
  p = put_field(p, " ", top_12(word_at(sf, m[6])), 4);
  p = put_field(p, " | ", flag(word_at(sf, m[7])), 2);
  return put_text(p, " |\n");
}

void update_voltage_monitor(int sync_row, int, OutBuffer&) {
  update_time_positions(sync_row);
  place_channels(sync_row, kVoltageMonitorChannels, length_of(g_positions.voltage_monitor), kColumn,
                 g_positions.voltage_monitor);
}

char* print_voltage_monitor(char* p, StoredSubframe sf, int) {
  p = print_time_prefix(p, sf);
  int values[length_of(g_positions.voltage_monitor)];
  read_top_12(sf, g_positions.voltage_monitor, length_of(g_positions.voltage_monitor), values);
  return write_decimal_list(p, values, length_of(g_positions.voltage_monitor));
}

void update_auxiliary_detector(int sync_row, int, OutBuffer&) {
  update_time_positions(sync_row);
  place_channels(sync_row, kAuxiliaryDetectorChannels, length_of(g_positions.auxiliary_detector), kColumn,
                 g_positions.auxiliary_detector);
}

// Each channel as a flag followed by a literal 0.
char* print_auxiliary_detector(char* p, StoredSubframe sf, int) {
  p = print_time_prefix(p, sf);
  constexpr int kCount = length_of(g_positions.auxiliary_detector);
  int values[2 * kCount];
  for (int i = 0; i < kCount; ++i) {
    values[2 * i] = flag(word_at(sf, g_positions.auxiliary_detector[i]));
    values[2 * i + 1] = 0;
  }
  return write_decimal_list(p, values, 2 * kCount);
}

void update_generic(int sync_row, int format_offset, OutBuffer&) {
  update_time_positions(sync_row);
  g_positions.generic = channel_position(sync_row, format_offset, kColumn);
}

// The raw word alone, without time prefix.
char* print_generic(char* p, StoredSubframe sf, int hex_flag) {
  return write_generic_value(p, word_at(sf, g_positions.generic), hex_flag);
}

}  // namespace

const GroupTable kGroupTable = {
    "hkdump",
    {
        {kFastSapGroup, update_fast_sap, print_fast_sap},
        {kSlowSapGroup, update_slow_sap, print_slow_sap},
        {kPressureGroup, update_pressure, print_pressure},
        {kMaskTemperatureGroup, update_mask_temperature, print_mask_temperature},
        {kVoltageMonitorGroup, update_voltage_monitor, print_voltage_monitor},
        {kAuxiliaryDetectorGroup, update_auxiliary_detector, print_auxiliary_detector},
        {kGenericGroup, update_generic, print_generic},
    },
};
