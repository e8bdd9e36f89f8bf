// Every value that the housekeeping groups decode, as a channel dictionary
// names it: the column it is read from (12, the engineering words of
// hkdump, or 4, the raw check words of hkrawdump), its group, its channel
// number, its decoded form, and the place it takes among the numbers of
// the group's line.  The time prefix of the engineering lines is a group
// of its own here; the generic group covers channels 0 to 107 of either
// column.  The listed groups are derived from the two group tables; the
// time prefix and the fast sap group, which the tables do not list, are
// written out beside them by hand, following the dumps' own reading of
// them, so that a dictionary can name exactly what the dumps decode.
#ifndef DICTIONARY_VALUE_CATALOGUE_H_
#define DICTIONARY_VALUE_CATALOGUE_H_

#include <cstddef>
#include <string_view>

#include "group_table.h"

// How a decoded value is made from its word(s).
enum class DecodedForm : unsigned char {
  kRaw,         // the word, 0..65535
  kTop12,       // the word shifted right by 4, 0..4095
  kTop10,       // the word shifted right by 6, 0..1023
  kFlag,        // 1 if the word is not 0
  kDifference,  // one word minus another, -65535..65535
  kBcdHigh,     // two BCD digits of the high byte, 0..165 (digits above 9 at their value)
  kBcdLow,      // the same of the low byte
};

// The decoded values a form can give, low..high.
struct FormRange {
  int low;
  int high;
};
FormRange form_range(DecodedForm form);

// "raw", "top 12", "top 10", "flag", "difference", "BCD high", "BCD low".
const char* form_text(DecodedForm form);
bool form_from_text(std::string_view text, DecodedForm& form);

// The groups a dictionary names values of.
enum class HousekeepingGroup : unsigned char {
  kTime,  // interferogram number and time of day, on every engineering line but the generic one
  kFastSap,
  kSlowSap,
  kPressure,
  kMaskTemperature,
  kVoltageMonitors,
  kAuxiliaryDetector,
  kGeneric,  // one channel, 0..107, as the raw word
};
constexpr int kHousekeepingGroupCount = 8;

// "time", "fast_sap", "slow_sap", "pressure", "mask_temperature",
// "voltage_monitors", "auxiliary_detector", "generic".
const char* group_text(HousekeepingGroup group);
bool group_from_text(std::string_view text, HousekeepingGroup& group);

// The option letter of the group table entry that decodes the group's
// line.  The time prefix stands on the line of every engineering group but
// the generic one; it is read through the pressure group's.
char group_option(HousekeepingGroup group);

struct DecodedValue {
  int column;  // 12 or 4
  HousekeepingGroup group;
  int number;  // channel number (format offset); for the generic group 0..107
  DecodedForm form;
  int position;  // index of the value among the numbers of the group's line
};

// Values of the generic group: one channel of each column.
constexpr int kGenericChannels = tlmframe::kRowsPerSubframe;

// The values of every group but the generic one: the time prefix and six
// groups in column 12, six groups in column 4.
constexpr int kMaxGroupValues = 80;

// Every value a dictionary can name, each at most once.
constexpr int kMaxDecodedValues = kMaxGroupValues + 2 * kGenericChannels;

// The values of every group but the generic one, in the order of their
// lines, column 12 first; returns how many.
int group_values(DecodedValue values[kMaxGroupValues]);

// Why a value could not be found.
enum class LookupResult {
  kFound,
  kNoColumn,   // the column is neither 12 nor 4
  kNoChannel,  // the group reads no such channel in that column
  kOtherForm,  // it does, in another form
};

// The value with that column, group, number and form.  When the channel
// is there in other forms, the forms it has are written to forms as
// text; otherwise the channels the group reads in that column.
LookupResult find_decoded_value(int column, HousekeepingGroup group, int number, DecodedForm form,
                                DecodedValue& value, char* choices, size_t choices_size);

#endif  // DICTIONARY_VALUE_CATALOGUE_H_
