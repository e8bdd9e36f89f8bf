#include "group_views.h"

#include <cstdio>
#include <cstring>

using namespace tlmframe;

namespace {

struct GroupName {
  const char* name;
  const char* title;
};

// In the order of the tables.
constexpr GroupName kNames[kNamedGroups] = {
    {"fast_sap", "fast sap channels"},        {"slow_sap", "slow sap channels"},
    {"pressure", "pressure gauges"},          {"mask_temperature", "mask temperature sensors"},
    {"voltage_monitors", "voltage monitors"}, {"auxiliary_detector", "auxiliary detector flags"},
};

const char* form_name(ValueForm form) {
  switch (form) {
    case ValueForm::kTop12: return "top_12";
    case ValueForm::kTop10: return "top_10";
    case ValueForm::kFlag:
    case ValueForm::kFlagAndZero: return "flag";
  }
  return "raw";
}

void add_value(GroupView& v, int pick, int channel, const char* form) {
  v.pick[v.value_count] = pick;
  v.channel[v.value_count] = channel;
  const size_t used = std::strlen(v.forms);
  std::snprintf(v.forms + used, sizeof v.forms - used, "%s%s", used > 0 ? " " : "", form);
  ++v.value_count;
}

// The fast sap group has no list: channel 0 and the three rows after it,
// then channel 79, which the engineering table subtracts from the fourth.
void fast_sap_values(GroupView& v, bool engineering) {
  int at = engineering ? kTimePrefixValues : 0;
  for (int i = 0; i < kFastSapRows; ++i) {
    const bool last = i == kFastSapRows - 1;
    add_value(v, at++, kFastSapChannel + i, !engineering ? "raw" : last ? "difference" : "top_12");
  }
  if (!engineering) add_value(v, at, kFastSapReferenceChannel, "raw");
}

void listed_values(GroupView& v, const ChannelGroup& g, bool engineering) {
  int at = engineering ? kTimePrefixValues : 0;
  for (int i = 0; i < g.channel_count; ++i) {
    const ValueForm form = g.forms != nullptr ? g.forms[i] : ValueForm::kTop12;
    add_value(v, at, g.channels[i], engineering ? form_name(form) : "raw");
    at += engineering && form == ValueForm::kFlagAndZero ? 2 : 1;  // the literal 0 is left
  }
}

}  // namespace

void make_group_views(const GroupTable& table, bool engineering, GroupView views[kNamedGroups]) {
  for (int i = 0; i < kNamedGroups; ++i) {
    GroupView& v = views[i];
    v.group = &table.groups[i];
    std::snprintf(v.name, sizeof v.name, "%s%s", engineering ? "" : "raw_", kNames[i].name);
    v.title = kNames[i].title;
    v.value_count = 0;
    v.forms[0] = '\0';
    if (v.group->channels == nullptr) {
      fast_sap_values(v, engineering);
    } else {
      listed_values(v, *v.group, engineering);
    }
  }
}
