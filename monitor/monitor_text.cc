#include "monitor_text.h"

#include <cinttypes>
#include <cstdio>

namespace {

// snprintf's count held to what was written.
size_t written(int n, size_t size) {
  if (n < 0) return 0;
  return static_cast<size_t>(n) < size ? static_cast<size_t>(n) : size - 1;
}

// "value units", or the value alone without units.
void value_with_units(char* out, size_t size, double value, const char* units) {
  char number[32];
  format_value(number, sizeof number, value);
  std::snprintf(out, size, "%s%s%s", number, units[0] != '\0' ? " " : "", units);
}

}  // namespace

const char kSummaryHeader[] = "#channel\tvalues\tGREEN\tYELLOW\tRED\tworst\tworst_state\n";

const char kListingHeader[] =
    "#name\tunits\tcolumn\tgroup\tnumber\tform\tplace\tcalibration\tred_low\tyellow_low\t"
    "yellow_high\tred_high\tpersistence\tdescription\n";

int format_value(char* out, size_t size, double value) {
  return std::snprintf(out, size, "%.6g", value);
}

size_t format_transition(const Dictionary& d, const MonitorTransition& t, char* out, size_t size) {
  const DictionaryEntry& e = d.entries[t.entry];
  char value[64], limit[32];
  value_with_units(value, sizeof value, t.value, e.units);
  format_value(limit, sizeof limit, e.limits.value[t.change.limit]);
  return written(
      std::snprintf(out, size, "%5" PRId64 " %d\t%02d:%02d:%02d\t%s\t%s\t%s\t%s %s %s\n", t.record,
                    t.subframe, t.hours, t.minutes, t.seconds, e.name, value,
                    severity_text(severity(t.change.to)), t.change.above ? "above" : "below",
                    limit_text(t.change.limit), limit),
      size);
}

size_t format_summary(const MonitorRun& run, const Watch& w, char* out, size_t size) {
  const DictionaryEntry& e = run.dictionary->entries[w.entry];
  WatchSummary s;
  watch_summary(run, w, s);
  char worst[64] = "-";
  if (s.checked) value_with_units(worst, sizeof worst, s.worst, e.units);
  return written(
      std::snprintf(out, size, "%s\t%" PRId64 "\t%" PRId64 "\t%" PRId64 "\t%" PRId64 "\t%s\t%s\n",
                    e.name, run.values, s.in_state[0], s.in_state[1], s.in_state[2], worst,
                    s.checked ? severity_text(severity(s.worst_zone)) : "-"),
      size);
}

size_t format_listing(const DictionaryEntry& e, char* out, size_t size) {
  char calibration[16384];
  if (!calibration_expression(e.calibration, calibration, sizeof calibration)) {
    std::snprintf(calibration, sizeof calibration, "?");
  }
  char limits[kLimitCount][32];
  for (int i = 0; i < kLimitCount; ++i) {
    if (e.limits.present[i]) {
      format_value(limits[i], sizeof limits[i], e.limits.value[i]);
    } else {
      std::snprintf(limits[i], sizeof limits[i], "-");
    }
  }
  char persistence[16] = "-";
  if (has_limits(e.limits))
    std::snprintf(persistence, sizeof persistence, "%d", e.limits.persistence);
  return written(
      std::snprintf(out, size, "%s\t%s\t%d\t%s\t%d\t%s\t%d\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", e.name,
                    e.units, e.value.column, group_text(e.value.group), e.value.number,
                    form_text(e.value.form), e.value.position, calibration, limits[0], limits[1],
                    limits[2], limits[3], persistence, e.description),
      size);
}
