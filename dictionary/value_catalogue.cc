#include "value_catalogue.h"

#include <algorithm>
#include <cstdio>

#include "format/channels.h"

using namespace tlmframe;

namespace {

struct GroupInfo {
  const char* text;
  char option;  // in the group tables
};

constexpr GroupInfo kGroups[kHousekeepingGroupCount] = {
    {"time", 'p'},
    {"fast_sap", 'f'},
    {"slow_sap", 's'},
    {"pressure", 'p'},
    {"mask_temperature", 'm'},
    {"voltage_monitors", 'v'},
    {"auxiliary_detector", 'x'},
    {"generic", 'g'},
};

struct FormInfo {
  const char* text;
  FormRange range;
};

constexpr FormInfo kForms[] = {
    {"raw", {0, 65535}},   {"top 12", {0, 4095}},           {"top 10", {0, 1023}},
    {"flag", {0, 1}},      {"difference", {-65535, 65535}}, {"BCD high", {0, 165}},
    {"BCD low", {0, 165}},
};

// The numbers of an engineering line start with the time prefix:
// interferogram number, hours, minutes, seconds.
constexpr int kTimeValues = 4;

DecodedForm engineering_form(ValueForm form) {
  switch (form) {
    case ValueForm::kTop12: return DecodedForm::kTop12;
    case ValueForm::kTop10: return DecodedForm::kTop10;
    default: return DecodedForm::kFlag;
  }
}

// The groups whose channels the tables list, in the order of the tables.
constexpr HousekeepingGroup kListedGroups[] = {
    HousekeepingGroup::kSlowSap,           HousekeepingGroup::kPressure,
    HousekeepingGroup::kMaskTemperature,   HousekeepingGroup::kVoltageMonitors,
    HousekeepingGroup::kAuxiliaryDetector,
};

struct Catalogue {
  int count = 0;
  DecodedValue values[kMaxGroupValues];

  void add(int column, HousekeepingGroup group, int number, DecodedForm form, int position) {
    values[count++] = DecodedValue{column, group, number, form, position};
  }

  // A group of listed channels of a table, in the order of its line.
  void add_listed(const GroupTable& table, HousekeepingGroup group, int first_position) {
    const ChannelGroup& g = *find_group(table, group_option(group));
    int position = first_position;
    for (int i = 0; i < g.channel_count; ++i) {
      const bool engineering = g.forms != nullptr;
      add(table.column, group, g.channels[i],
          engineering ? engineering_form(g.forms[i]) : DecodedForm::kRaw, position);
      // An auxiliary detector flag is followed by a literal 0 on the line.
      position += engineering && g.forms[i] == ValueForm::kFlagAndZero ? 2 : 1;
    }
  }

  Catalogue() {
    constexpr int e = kHousekeepingColumn, r = kRawHousekeepingColumn;
    add(e, HousekeepingGroup::kTime, kInterferogramNumberChannel, DecodedForm::kRaw, 0);
    add(e, HousekeepingGroup::kTime, kTimeChannelA, DecodedForm::kBcdLow, 1);
    add(e, HousekeepingGroup::kTime, kTimeChannelB, DecodedForm::kBcdHigh, 2);
    add(e, HousekeepingGroup::kTime, kTimeChannelB, DecodedForm::kBcdLow, 3);
    // Fast sap: three converter words from channel 0 on, then the fourth
    // less the word of channel 79 (hkdump); the four words and channel 79
    // as they stand (hkrawdump).
    for (int i = 0; i < kFastSapRows - 1; ++i) {
      add(e, HousekeepingGroup::kFastSap, kFastSapChannel + i, DecodedForm::kTop12,
          kTimeValues + i);
    }
    add(e, HousekeepingGroup::kFastSap, kFastSapChannel + kFastSapRows - 1,
        DecodedForm::kDifference, kTimeValues + kFastSapRows - 1);
    for (HousekeepingGroup group : kListedGroups) add_listed(kEngineeringTable, group, kTimeValues);
    for (int i = 0; i < kFastSapRows; ++i) {
      add(r, HousekeepingGroup::kFastSap, kFastSapChannel + i, DecodedForm::kRaw, i);
    }
    add(r, HousekeepingGroup::kFastSap, kFastSapReferenceChannel, DecodedForm::kRaw, kFastSapRows);
    for (HousekeepingGroup group : kListedGroups) add_listed(kRawTable, group, 0);
  }
};

const Catalogue& catalogue() {
  static const Catalogue c;
  return c;
}

// Appends text to a buffer of choices, separated by ", ".
void append_choice(char* choices, size_t size, size_t& used, const char* text) {
  const int n = std::snprintf(choices + used, size - used, "%s%s", used > 0 ? ", " : "", text);
  if (n > 0) used = std::min(size - 1, used + static_cast<size_t>(n));
}

}  // namespace

FormRange form_range(DecodedForm form) { return kForms[static_cast<int>(form)].range; }

const char* form_text(DecodedForm form) { return kForms[static_cast<int>(form)].text; }

bool form_from_text(std::string_view text, DecodedForm& form) {
  for (int i = 0; i < static_cast<int>(sizeof kForms / sizeof kForms[0]); ++i) {
    if (text == kForms[i].text) {
      form = static_cast<DecodedForm>(i);
      return true;
    }
  }
  return false;
}

const char* group_text(HousekeepingGroup group) { return kGroups[static_cast<int>(group)].text; }

bool group_from_text(std::string_view text, HousekeepingGroup& group) {
  for (int i = 0; i < kHousekeepingGroupCount; ++i) {
    if (text == kGroups[i].text) {
      group = static_cast<HousekeepingGroup>(i);
      return true;
    }
  }
  return false;
}

char group_option(HousekeepingGroup group) { return kGroups[static_cast<int>(group)].option; }

int group_values(DecodedValue values[kMaxGroupValues]) {
  const Catalogue& c = catalogue();
  for (int i = 0; i < c.count; ++i) values[i] = c.values[i];
  return c.count;
}

LookupResult find_decoded_value(int column, HousekeepingGroup group, int number, DecodedForm form,
                                DecodedValue& value, char* choices, size_t choices_size) {
  size_t used = 0;
  choices[0] = '\0';
  if (column != kHousekeepingColumn && column != kRawHousekeepingColumn) {
    return LookupResult::kNoColumn;
  }
  if (group == HousekeepingGroup::kGeneric) {
    std::snprintf(choices, choices_size, "0 to %d", kGenericChannels - 1);
    if (number < 0 || number >= kGenericChannels) return LookupResult::kNoChannel;
    std::snprintf(choices, choices_size, "%s", form_text(DecodedForm::kRaw));
    if (form != DecodedForm::kRaw) return LookupResult::kOtherForm;
    value = DecodedValue{column, group, number, form, 0};
    return LookupResult::kFound;
  }
  const Catalogue& c = catalogue();
  bool channel_found = false;
  for (int i = 0; i < c.count; ++i) {
    const DecodedValue& v = c.values[i];
    if (v.column != column || v.group != group || v.number != number) continue;
    if (v.form == form) {
      value = v;
      return LookupResult::kFound;
    }
    append_choice(choices, choices_size, used, form_text(v.form));
    channel_found = true;
  }
  if (channel_found) return LookupResult::kOtherForm;
  for (int i = 0; i < c.count; ++i) {
    const DecodedValue& v = c.values[i];
    if (v.column != column || v.group != group) continue;
    if (i > 0 && c.values[i - 1].group == group && c.values[i - 1].number == v.number) continue;
    char number_text[16];
    std::snprintf(number_text, sizeof number_text, "%d", v.number);
    append_choice(choices, choices_size, used, number_text);
  }
  if (used == 0) std::snprintf(choices, choices_size, "none");
  return LookupResult::kNoChannel;
}
