// The raw group table: housekeeping column 4, every channel printed as
// the raw word in hexadecimal, for checking the telemetry itself.  There
// is no time prefix; the fast sap group shows its channel 79 word instead
// of subtracting it, and the mask temperature group reports where its
// offset channel lies whenever the sync row moves.
#include "group_table.h"

using namespace tlmframe;

namespace {

constexpr int kColumn = kRawHousekeepingColumn;

// The words at count positions.
void read_words(StoredSubframe sf, const int* positions, int count, int* values) {
  for (int i = 0; i < count; ++i) values[i] = stored_subframe_word(sf, positions[i]);
}

void place_fast_sap(GroupPositions& at, int sync_row, int) {
  place_fast_sap_positions(sync_row, kColumn, at.fast_sap);
}

void read_fast_sap(const GroupPositions& at, StoredSubframe sf, int* values) {
  read_words(sf, at.fast_sap, length_of(at.fast_sap), values);
}

void place_slow_sap(GroupPositions& at, int sync_row, int) {
  place_channels(sync_row, kSlowSapChannels, length_of(at.slow_sap), kColumn, at.slow_sap);
}

void read_slow_sap(const GroupPositions& at, StoredSubframe sf, int* values) {
  read_words(sf, at.slow_sap, length_of(at.slow_sap), values);
}

void place_pressure(GroupPositions& at, int sync_row, int) {
  place_channels(sync_row, kPressureChannels, length_of(at.pressure), kColumn, at.pressure);
}

void read_pressure(const GroupPositions& at, StoredSubframe sf, int* values) {
  read_words(sf, at.pressure, length_of(at.pressure), values);
}

void place_mask_temperature(GroupPositions& at, int sync_row, int) {
  place_channels(sync_row, kMaskTemperatureChannels, length_of(at.mask_temperature), kColumn,
                 at.mask_temperature);
}

void read_mask_temperature(const GroupPositions& at, StoredSubframe sf, int* values) {
  read_words(sf, at.mask_temperature, length_of(at.mask_temperature), values);
}

void place_voltage_monitor(GroupPositions& at, int sync_row, int) {
  place_channels(sync_row, kVoltageMonitorChannels, length_of(at.voltage_monitor), kColumn,
                 at.voltage_monitor);
}

void read_voltage_monitor(const GroupPositions& at, StoredSubframe sf, int* values) {
  read_words(sf, at.voltage_monitor, length_of(at.voltage_monitor), values);
}

void place_auxiliary_detector(GroupPositions& at, int sync_row, int) {
  place_channels(sync_row, kAuxiliaryDetectorChannels, length_of(at.auxiliary_detector), kColumn,
                 at.auxiliary_detector);
}

void read_auxiliary_detector(const GroupPositions& at, StoredSubframe sf, int* values) {
  read_words(sf, at.auxiliary_detector, length_of(at.auxiliary_detector), values);
}

void place_generic(GroupPositions& at, int sync_row, int format_offset) {
  at.generic = channel_position(sync_row, format_offset, kColumn);
}

void read_generic(const GroupPositions& at, StoredSubframe sf, int* values) {
  values[0] = stored_subframe_word(sf, at.generic);
}

}  // namespace

// The mask temperature group reports the word position of its offset
// channel ("ait affset") whenever its positions move.
const GroupTable kRawTable = {
    "hkrawdump",
    kColumn,
    {
        {kFastSapGroup, kFastSapPositions, -1, place_fast_sap, read_fast_sap, write_hex_list},
        {kSlowSapGroup, length_of(kSlowSapChannels), -1, place_slow_sap, read_slow_sap, write_hex_list},
        {kPressureGroup, length_of(kPressureChannels), -1, place_pressure, read_pressure, write_hex_list},
        {kMaskTemperatureGroup, length_of(kMaskTemperatureChannels), kMaskOffsetChannel,
         place_mask_temperature, read_mask_temperature, write_hex_list},
        {kVoltageMonitorGroup, length_of(kVoltageMonitorChannels), -1, place_voltage_monitor,
         read_voltage_monitor, write_hex_list},
        {kAuxiliaryDetectorGroup, length_of(kAuxiliaryDetectorChannels), -1, place_auxiliary_detector,
         read_auxiliary_detector, write_hex_list},
        {kGenericGroup, 1, -1, place_generic, read_generic, write_generic_value},
    },
};
