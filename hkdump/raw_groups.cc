// The raw group table: housekeeping column 4, every channel printed as
// the raw word in hexadecimal, for checking the telemetry itself.  There
// is no time prefix; the fast sap group shows its channel 79 word instead
// of subtracting it, and the mask temperature group reports where its
// offset channel lies whenever the sync row moves.
#include "group_table.h"
#include "int_format.h"

namespace {

constexpr int kColumn = kRawHousekeepingColumn;

// The words at count positions, each in hexadecimal.
char* print_words(char* p, StoredSubframe sf, const int* positions, int count) {
  int words[kMaxGroupChannels];
  for (int i = 0; i < count; ++i) words[i] = stored_subframe_word(sf, positions[i]);
  return write_hex_list(p, words, count);
}

void update_fast_sap(int sync_row, int, OutBuffer&) {
  place_fast_sap(sync_row, kColumn, g_positions.fast_sap);
}

char* print_fast_sap(char* p, StoredSubframe sf, int) {
  return print_words(p, sf, g_positions.fast_sap, length_of(g_positions.fast_sap));
}

void update_slow_sap(int sync_row, int, OutBuffer&) {
  place_channels(sync_row, kSlowSapChannels, length_of(g_positions.slow_sap), kColumn, g_positions.slow_sap);
}

char* print_slow_sap(char* p, StoredSubframe sf, int) {
  return print_words(p, sf, g_positions.slow_sap, length_of(g_positions.slow_sap));
}

void update_pressure(int sync_row, int, OutBuffer&) {
  place_channels(sync_row, kPressureChannels, length_of(g_positions.pressure), kColumn, g_positions.pressure);
}

char* print_pressure(char* p, StoredSubframe sf, int) {
  return print_words(p, sf, g_positions.pressure, length_of(g_positions.pressure));
}

// After placing the channels, reports the word position of the offset
// channel on a line of its own: "ait affset %d\n".
void update_mask_temperature(int sync_row, int, OutBuffer& out) {
  place_channels(sync_row, kMaskTemperatureChannels, length_of(g_positions.mask_temperature), kColumn,
                 g_positions.mask_temperature);
  out_puts(out, "ait affset ");
  char* p = out_reserve(out, kMaxIntChars + 1);
  p = format_int(p, channel_position(sync_row, kMaskOffsetChannel, kColumn));
  *p++ = '\n';
  out_commit(out, p);
}

char* print_mask_temperature(char* p, StoredSubframe sf, int) {
  return print_words(p, sf, g_positions.mask_temperature, length_of(g_positions.mask_temperature));
}

void update_voltage_monitor(int sync_row, int, OutBuffer&) {
  place_channels(sync_row, kVoltageMonitorChannels, length_of(g_positions.voltage_monitor), kColumn,
                 g_positions.voltage_monitor);
}

char* print_voltage_monitor(char* p, StoredSubframe sf, int) {
  return print_words(p, sf, g_positions.voltage_monitor, length_of(g_positions.voltage_monitor));
}

void update_auxiliary_detector(int sync_row, int, OutBuffer&) {
  place_channels(sync_row, kAuxiliaryDetectorChannels, length_of(g_positions.auxiliary_detector), kColumn,
                 g_positions.auxiliary_detector);
}

char* print_auxiliary_detector(char* p, StoredSubframe sf, int) {
  return print_words(p, sf, g_positions.auxiliary_detector, length_of(g_positions.auxiliary_detector));
}

void update_generic(int sync_row, int format_offset, OutBuffer&) {
  g_positions.generic = channel_position(sync_row, format_offset, kColumn);
}

char* print_generic(char* p, StoredSubframe sf, int hex_flag) {
  return write_generic_value(p, stored_subframe_word(sf, g_positions.generic), hex_flag);
}

}  // namespace

const GroupTable kGroupTable = {
    "hkrawdump",
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
