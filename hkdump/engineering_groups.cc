// The engineering group table: housekeeping column 12, values converted
// to engineering form (top bits of the converter words, flags, the fast
// sap difference, BCD time fields), each line but the generic one starting
// with the interferogram number and the time of day.
#include "group_table.h"
#include "int_format.h"
#include "value_forms.h"

using namespace tlmframe;

namespace {

constexpr int kColumn = kHousekeepingColumn;

// The fast sap words are sampled twelve rows after their channel rows.
constexpr int kFastSapLag = 12 * kWordsPerRow;

constexpr int kTimeValues = kTimePrefixValues;

void place_time_prefix(GroupPositions& at, int sync_row) {
  at.interferogram_number = channel_position(sync_row, kInterferogramNumberChannel, kColumn);
  at.time_a = channel_position(sync_row, kTimeChannelA, kColumn);
  at.time_b = channel_position(sync_row, kTimeChannelB, kColumn);
}

// The time prefix: interferogram number, hours, minutes, seconds.
void read_time_prefix(const GroupPositions& at, StoredSubframe sf, int* values) {
  const int time_b = stored_subframe_word(sf, at.time_b);
  values[0] = stored_subframe_word(sf, at.interferogram_number);
  values[1] = bcd_low_byte(stored_subframe_word(sf, at.time_a));
  values[2] = bcd_high_byte(time_b);
  values[3] = bcd_low_byte(time_b);
}

// Interferogram number, hours (time A), minutes and seconds (time B).
WordPlace locate_time_prefix(const GroupPositions& at, int index) {
  return {index == 0 ? at.interferogram_number : index == 1 ? at.time_a : at.time_b, 0};
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
char* write_prefixed_list(char* p, const int* values, int count, bool) {
  p = write_time_prefix(p, values);
  return write_decimal_list(p, values + kTimeValues, count - kTimeValues);
}

// The group's listed channels, each in its form, after the time prefix.
void place_listed_values(const ChannelGroup& group, GroupPositions& at, int sync_row, int) {
  place_listed(group, sync_row, kColumn, at);
}

// The group's kCount listed channels, each in its form of kForms: both
// known when the function is made, so that a line is read without a test
// of the forms.
template <const ValueForm* kForms, int kCount>
void read_listed_values(const ChannelGroup&, const GroupPositions& at, StoredSubframe sf,
                        int* values) {
  int* v = values;
#pragma GCC unroll 8  // kMaxListedChannels: each form is then a constant
  for (int i = 0; i < kCount; ++i) {
    const int word = stored_subframe_word(sf, at.listed[i]);
    switch (kForms[i]) {
      case ValueForm::kTop12: *v++ = top_12(word); break;
      case ValueForm::kTop10: *v++ = top_10(word); break;
      case ValueForm::kFlag: *v++ = flag(word); break;
      case ValueForm::kFlagAndZero:
        *v++ = flag(word);
        *v++ = 0;
        break;
    }
  }
}

// The listed channel whose form gives number index (an auxiliary flag
// takes two numbers: itself and its 0).
WordPlace locate_listed_value(const ChannelGroup& group, const GroupPositions& at, int index) {
  int i = 0;
  for (int first = 0; i < group.channel_count - 1; ++i) {
    first += group.forms[i] == ValueForm::kFlagAndZero ? 2 : 1;
    if (index < first) break;
  }
  return {at.listed[i], 0};
}

void place_fast_sap(const ChannelGroup&, GroupPositions& at, int sync_row, int) {
  place_fast_sap_positions(sync_row, kColumn, at.fast_sap);
}

// Three converter readings, then the fourth minus the channel 79 word.
void read_fast_sap(const ChannelGroup&, const GroupPositions& at, StoredSubframe sf, int* v) {
  for (int i = 0; i < kFastSapRows - 1; ++i)
    v[i] = top_12(stored_subframe_word(sf, at.fast_sap[i] + kFastSapLag));
  v[kFastSapRows - 1] =
      word_difference(stored_subframe_word(sf, at.fast_sap[kFastSapRows - 1] + kFastSapLag),
                      stored_subframe_word(sf, at.fast_sap[kFastSapRows] + kFastSapLag));
}

WordPlace locate_fast_sap(const ChannelGroup&, const GroupPositions& at, int index) {
  const bool difference = index == kFastSapRows - 1;
  return {at.fast_sap[index] + kFastSapLag,
          difference ? at.fast_sap[kFastSapRows] + kFastSapLag : 0};
}

char* put_text(char* p, const char* text) {
  while (*text != '\0') *p++ = *text++;
  return p;
}

char* put_field(char* p, const char* before, int value, int width) {
  return format_int_width(put_text(p, before), value, width);
}

// "| %4d %4d | %4d | %4d %4d | %4d %4d | %2d |\n": the sensors in their frame.
char* write_mask_temperature(char* p, const int* values, int, bool) {
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

void place_generic(const ChannelGroup&, GroupPositions& at, int sync_row, int format_offset) {
  at.generic = channel_position(sync_row, format_offset, kColumn);
}

// The raw word alone, without time prefix.
void read_generic(const ChannelGroup&, const GroupPositions& at, StoredSubframe sf, int* values) {
  values[0] = stored_subframe_word(sf, at.generic);
}

// The forms of each list: converter words read to 12 or 10 bits, flags.
constexpr ValueForm kTop12x8[] = {ValueForm::kTop12, ValueForm::kTop12, ValueForm::kTop12,
                                  ValueForm::kTop12, ValueForm::kTop12, ValueForm::kTop12,
                                  ValueForm::kTop12, ValueForm::kTop12};
// Two gauges read to 12 bits, two to 10.
constexpr ValueForm kPressureForms[] = {ValueForm::kTop12, ValueForm::kTop12, ValueForm::kTop10,
                                        ValueForm::kTop10};
// The mask sensors: the third read to 10 bits, the others to 12; the last
// channel is a heater flag.
constexpr ValueForm kMaskForms[] = {ValueForm::kTop12, ValueForm::kTop12, ValueForm::kTop10,
                                    ValueForm::kTop12, ValueForm::kTop12, ValueForm::kTop12,
                                    ValueForm::kTop12, ValueForm::kFlag};
// Each auxiliary detector channel as a flag followed by a literal 0.
constexpr ValueForm kAuxiliaryForms[] = {ValueForm::kFlagAndZero, ValueForm::kFlagAndZero,
                                         ValueForm::kFlagAndZero, ValueForm::kFlagAndZero,
                                         ValueForm::kFlagAndZero, ValueForm::kFlagAndZero};

// A group of kCount listed channels in the forms kForms after the time
// prefix; values counts the numbers of its line.
template <const ValueForm* kForms, int kCount>
constexpr ChannelGroup listed_group(char option, const int* channels, int values,
                                    WriteValues write = write_prefixed_list) {
  return {option,
          kTimeValues + values,
          kTimeValues,
          channels,
          kCount,
          kForms,
          -1,
          place_listed_values,
          read_listed_values<kForms, kCount>,
          locate_listed_value,
          write};
}

}  // namespace

const GroupTable kEngineeringTable = {
    "hkdump",
    kColumn,
    place_time_prefix,
    read_time_prefix,
    locate_time_prefix,
    {
        {'f', kTimeValues + 4, kTimeValues, nullptr, 0, nullptr, -1, place_fast_sap, read_fast_sap,
         locate_fast_sap, write_prefixed_list},
        listed_group<kTop12x8, length_of(kSlowSapChannels)>('s', kSlowSapChannels, 6),
        listed_group<kPressureForms, length_of(kPressureChannels)>('p', kPressureChannels, 4),
        listed_group<kMaskForms, length_of(kMaskTemperatureChannels)>('m', kMaskTemperatureChannels,
                                                                      8, write_mask_temperature),
        listed_group<kTop12x8, length_of(kVoltageMonitorChannels)>('v', kVoltageMonitorChannels, 4),
        listed_group<kAuxiliaryForms, length_of(kAuxiliaryDetectorChannels)>(
            'x', kAuxiliaryDetectorChannels, 12),
        {'g', 1, 0, nullptr, 0, nullptr, -1, place_generic, read_generic, locate_generic,
         write_generic_value},
    },
};
