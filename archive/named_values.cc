#include "named_values.h"

#include <cstring>

#include "format/channels.h"

using namespace tlmframe;

CountsPlace counts_place(const Product& p, const DecodedValue& v) {
  const bool engineering = v.column == kHousekeepingColumn;
  if (v.group == HousekeepingGroup::kTime) return {kTimePrefixVariables[v.position], -1};
  if (v.group == HousekeepingGroup::kGeneric) {
    return {engineering ? "channels" : "raw_channels", v.number};
  }
  const GroupView* views = engineering ? p.views : p.raw_views;
  const char option = group_option(v.group);
  for (int i = 0; i < kNamedGroups; ++i) {
    if (views[i].group->option != option) continue;
    for (int j = 0; j < views[i].value_count; ++j) {
      if (views[i].pick[j] == v.position) return {views[i].name, j};
    }
  }
  return {nullptr, -1};  // not reached: the catalogue and the views read the same tables
}

namespace {

void put_calibration(NcFile& f, NcVar v, const Calibration& c) {
  const size_t n = static_cast<size_t>(c.count);
  switch (c.kind) {
    case CalibrationKind::kNone: nc_put_text(f, v, "calibration", "none"); break;
    case CalibrationKind::kPolynomial:
      nc_put_text(f, v, "calibration", "polynomial");
      nc_put_values(f, v, "calibration_coefficients", NC_DOUBLE, n, c.x);
      break;
    case CalibrationKind::kTable:
      nc_put_text(f, v, "calibration", "table");
      nc_put_values(f, v, "calibration_counts", NC_DOUBLE, n, c.x);
      nc_put_values(f, v, "calibration_values", NC_DOUBLE, n, c.y);
      break;
  }
}

void put_limits(NcFile& f, NcVar v, const Limits& l) {
  for (int k = 0; k < kLimitCount; ++k) {
    if (l.present[k]) nc_put_values(f, v, limit_text(k), NC_DOUBLE, 1, &l.value[k]);
  }
  if (has_limits(l)) nc_put_values(f, v, "persistence", NC_INT, 1, &l.persistence);
}

void define_named(Product& p, int i, int line, const ProductSettings& s, const CountsPlace& at) {
  NcFile& f = p.file;
  const DictionaryEntry& e = p.dictionary->entries[i];
  const NcVar v = nc_new_variable(f, p.housekeeping.group, e.name, NC_DOUBLE, 1, &line);
  const size_t chunk = kLinesPerChunk;
  nc_set_storage(f, v, &chunk, s.level);
  column_init(p.named[i], f, v, 1, nullptr, nullptr, sizeof(double), kLinesPerChunk);
  if (e.description[0] != '\0') nc_put_text(f, v, "long_name", e.description);
  if (e.units[0] != '\0') nc_put_text(f, v, "units", e.units);
  nc_put_text(f, v, "coordinates", time_variable(s));
  nc_put_text(f, v, "counts_variable", at.variable);
  if (at.index >= 0) nc_put_values(f, v, "counts_index", NC_INT, 1, &at.index);
  put_calibration(f, v, e.calibration);
  put_limits(f, v, e.limits);
}

// value_names of one variable of counts (values of them to a line, 0 for
// a variable of single values), when the dictionary names any.
void name_counts(Product& p, const CountsPlace places[], const char* variable, int values) {
  const Dictionary& d = *p.dictionary;
  char names[kChannelCount * kMaxNameBytes];
  size_t used = 0;
  bool named = false;
  for (int j = 0; j < (values > 0 ? values : 1); ++j) {
    const char* name = "-";
    for (int i = 0; i < d.count; ++i) {
      if (std::strcmp(places[i].variable, variable) == 0 &&
          places[i].index == (values > 0 ? j : -1)) {
        name = d.entries[i].name;
        named = true;
      }
    }
    const size_t n = std::strlen(name);
    if (used > 0) names[used++] = ' ';
    std::memcpy(names + used, name, n);
    used += n;
  }
  names[used] = '\0';
  if (named) {
    nc_put_text(p.file, nc_find_variable(p.file, p.housekeeping.group, variable), "value_names",
                names);
  }
}

}  // namespace

void define_named_values(Product& p, int line, const ProductSettings& s) {
  const Dictionary& d = *p.dictionary;
  CountsPlace places[kMaxDictionaryEntries];
  for (int i = 0; i < d.count; ++i) {
    places[i] = counts_place(p, d.entries[i].value);
    define_named(p, i, line, s, places[i]);
  }
  for (const char* variable : kTimePrefixVariables) name_counts(p, places, variable, 0);
  for (int i = 0; i < kNamedGroups; ++i) {
    name_counts(p, places, p.views[i].name, p.views[i].value_count);
    name_counts(p, places, p.raw_views[i].name, p.raw_views[i].value_count);
  }
  name_counts(p, places, "channels", kChannelCount);
  name_counts(p, places, "raw_channels", kChannelCount);
}
