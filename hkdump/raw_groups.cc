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

void place_listed_words(const ChannelGroup& group, GroupPositions& at, int sync_row, int) {
  place_listed(group, sync_row, kColumn, at);
}

// kCount is the group's count of channels, known when the function is made.
template <int kCount>
void read_listed_words(const ChannelGroup&, const GroupPositions& at, StoredSubframe sf,
                       int* values) {
  read_words(sf, at.listed, kCount, values);
}

WordPlace locate_listed_word(const ChannelGroup&, const GroupPositions& at, int index) {
  return {at.listed[index], 0};
}

void place_fast_sap(const ChannelGroup&, GroupPositions& at, int sync_row, int) {
  place_fast_sap_positions(sync_row, kColumn, at.fast_sap);
}

void read_fast_sap(const ChannelGroup&, const GroupPositions& at, StoredSubframe sf, int* values) {
  read_words(sf, at.fast_sap, kFastSapPositions, values);
}

WordPlace locate_fast_sap(const ChannelGroup&, const GroupPositions& at, int index) {
  return {at.fast_sap[index], 0};
}

void place_generic(const ChannelGroup&, GroupPositions& at, int sync_row, int format_offset) {
  at.generic = channel_position(sync_row, format_offset, kColumn);
}

void read_generic(const ChannelGroup&, const GroupPositions& at, StoredSubframe sf, int* values) {
  values[0] = stored_subframe_word(sf, at.generic);
}

// A group of kCount listed channels, each printed as its word.
template <int kCount>
constexpr ChannelGroup listed_group(char option, const int* channels, int reported = -1) {
  return {option,
          kCount,
          0,
          channels,
          kCount,
          nullptr,
          reported,
          place_listed_words,
          read_listed_words<kCount>,
          locate_listed_word,
          write_hex_list};
}

}  // namespace

// The mask temperature group reports the word position of its offset
// channel ("ait affset") whenever its positions move.
const GroupTable kRawTable = {
    "hkrawdump",
    kColumn,
    nullptr,  // no prefix
    nullptr,
    nullptr,
    {
        {'f', kFastSapPositions, 0, nullptr, 0, nullptr, -1, place_fast_sap, read_fast_sap,
         locate_fast_sap, write_hex_list},
        listed_group<length_of(kSlowSapChannels)>('s', kSlowSapChannels),
        listed_group<length_of(kPressureChannels)>('p', kPressureChannels),
        listed_group<length_of(kMaskTemperatureChannels)>('m', kMaskTemperatureChannels,
                                                          kMaskOffsetChannel),
        listed_group<length_of(kVoltageMonitorChannels)>('v', kVoltageMonitorChannels),
        listed_group<length_of(kAuxiliaryDetectorChannels)>('x', kAuxiliaryDetectorChannels),
        {'g', 1, 0, nullptr, 0, nullptr, -1, place_generic, read_generic, locate_generic,
         write_generic_value},
    },
};
