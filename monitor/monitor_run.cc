#include "monitor_run.h"

#include <climits>
#include <cstddef>
#include <cstring>

#include "format/channels.h"
#include "value_forms.h"

using namespace tlmframe;

namespace {

// A count not in the channel's cache: calibrated, its zone worked out and
// kept, and weighed as the worst value.
int zone_of_new_value(const DictionaryEntry& e, Watch& w, int decoded) {
  const double value = calibrate(e.calibration, decoded);
  const int zone = zone_of(e.limits, value);
  w.zones[decoded & (kZoneCacheSize - 1)] = decoded * 8 + zone + 3;
  const double excess = limit_excess(e.limits, value);
  const bool worse = !w.checked || severity(zone) > severity(w.worst_zone) ||
                     (severity(zone) == severity(w.worst_zone) && excess > w.worst_excess);
  if (worse) {
    w.checked = true;
    w.worst_decoded = decoded;
    w.worst_zone = zone;
    w.worst_excess = excess;
  }
  return zone;
}

// Four counts at a time (a vector of the compiler's, on any machine).
typedef uint32_t Lanes __attribute__((vector_size(16)));
typedef int32_t SignedLanes __attribute__((vector_size(16)));
constexpr int kLanes = 4;

// The stretches' bounds are kept with the top bit flipped.
constexpr uint32_t kTopBit = 0x80000000u;

// A value's place and its stretch's, in bytes from each other.
constexpr size_t kToSettledLow =
    offsetof(MonitorSource, settled_low) - offsetof(MonitorSource, values);
constexpr size_t kToSettledSpan =
    offsetof(MonitorSource, settled_span) - offsetof(MonitorSource, values);
static_assert(kMaxLineValues % kLanes == 0, "a line is whole lanes");
static_assert(kMaxMonitorLanes == kMaxMonitorSources * kMaxLineValues / kLanes);

// The groups of four places that hold a limited channel: marked for each
// watch, then listed source by source.
void list_lanes(MonitorRun& run, const int* watch_sources) {
  int watch_at[kMaxMonitorSources][kMaxLineValues];
  for (auto& line : watch_at) {
    for (int& w : line) w = -1;
  }
  for (int i = 0; i < run.watch_count; ++i) {
    const int position = run.dictionary->entries[run.watches[i].entry].value.position;
    watch_at[watch_sources[i]][position] = i;
  }
  run.lane_count = 0;
  for (int s = 0; s < run.source_count; ++s) {
    for (int k = 0; k < kMaxLineValues / kLanes; ++k) {
      const int* at = &watch_at[s][k * kLanes];
      if (at[0] < 0 && at[1] < 0 && at[2] < 0 && at[3] < 0) continue;
      for (int j = 0; j < kLanes; ++j) {
        run.lane_watches[run.lane_count][j] = static_cast<int16_t>(at[j]);
      }
      run.lanes[run.lane_count++] = s * sizeof(MonitorSource) + offsetof(MonitorSource, values) +
                                    static_cast<size_t>(k * kLanes) * sizeof(int);
    }
  }
}

Lanes lanes_at(const void* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The run of a group of a column (and channel, for the generic group),
// added when there is none yet.
int source_of(MonitorRun& run, const GroupTable& table, char option, int format_offset) {
  for (int i = 0; i < run.source_count; ++i) {
    const DumpRun& r = run.sources[i].run;
    if (r.table == &table && r.group->option == option && r.format_offset == format_offset) {
      return i;
    }
  }
  MonitorSource& s = run.sources[run.source_count];
  dump_run_init(s.run, table, *find_group(table, option), format_offset, false);
  for (int& v : s.values) v = 0;
  for (int k = 0; k < kMaxLineValues; ++k) {
    s.settled_low[k] = 0 ^ kTopBit;
    s.settled_span[k] = UINT32_MAX ^ kTopBit;
  }
  return run.source_count++;
}

int source_of_value(MonitorRun& run, const DecodedValue& v) {
  const GroupTable& table = v.column == kHousekeepingColumn ? kEngineeringTable : kRawTable;
  const bool generic = v.group == HousekeepingGroup::kGeneric;
  return source_of(run, table, group_option(v.group), generic ? v.number : 0);
}

// The state of a watch moved with value number run.values.
void note_change(MonitorRun& run, Watch& w, int subframe, int decoded, const LimitChange& change) {
  const int64_t before = run.values - 1;
  w.in_state[severity(change.from)] += before - w.entered;
  w.entered = before;
  if (severity(change.to) > run.worst_severity) run.worst_severity = severity(change.to);
  const DictionaryEntry& e = run.dictionary->entries[w.entry];
  const int* time = run.sources[run.time_source].values;
  run.transitions[run.transition_count++] =
      MonitorTransition{run.records, subframe, time[1], time[2],
                        time[3],     w.entry,  decoded, calibrate(e.calibration, decoded),
                        change};
}

// The zone of a count, from the cache; false when it is not there.
bool cached_zone(const Watch& w, int decoded, int& zone) {
  const int32_t kept = w.zones[decoded & (kZoneCacheSize - 1)];
  zone = (kept & 7) - 3;
  return (kept >> 3) == decoded;
}

// The stretch of settled counts as the source's line sees it.
void set_settled(Watch& w, int low, int high) {
  w.low = low;
  w.high = high;
  *w.settled_low = static_cast<uint32_t>(low) ^ kTopBit;
  *w.settled_span = (static_cast<uint32_t>(high) - static_cast<uint32_t>(low)) ^ kTopBit;
}

// No stretch: a span of 0 from a count no form gives.
void clear_settled(Watch& w) {
  w.low = 1;
  w.high = 0;
  w.direction = 0;
  *w.settled_low = static_cast<uint32_t>(INT32_MAX) ^ kTopBit;
  *w.settled_span = 0 ^ kTopBit;
}

// Whether the calibration runs one way (or stays flat) over every count:
// none, or c0 + c1 x, whose product and sum round the same way for every x.
bool is_straight(const Calibration& c) {
  return c.kind == CalibrationKind::kNone ||
         (c.kind == CalibrationKind::kPolynomial && c.count <= 2);
}

// The most counts between a stretch and a count seen that are looked at
// to join them.
constexpr int kMaxSettledGap = 1024;

// Takes a count seen in the zone of the settled state into the channel's
// stretch when the calibration runs the same way over the stretch and the
// counts up to it: every count between then lies in that zone too, the
// zones being stretches of values.  A straight calibration is not walked:
// it never turns.
void widen_settled(const DictionaryEntry& e, Watch& w, int decoded) {
  if (w.low > w.high) {
    set_settled(w, decoded, decoded);
    return;
  }
  const bool up = decoded > w.high;
  const int from = up ? w.high : w.low;
  if ((up ? decoded - from : from - decoded) > kMaxSettledGap) return;
  if (!w.straight) {
    const int step = up ? 1 : -1;
    double last = calibrate(e.calibration, from);
    int direction = w.direction;
    for (int d = from + step; d != decoded + step; d += step) {
      const double v = calibrate(e.calibration, d);
      // The way the calibration runs, counted from low to high counts.
      const double rise = up ? v - last : last - v;
      const int way = rise > 0 ? 1 : rise < 0 ? -1 : 0;
      if (way != 0) {
        if (direction != 0 && direction != way) return;
        direction = way;
      }
      last = v;
    }
    w.direction = direction;
  }
  set_settled(w, up ? w.low : decoded, up ? decoded : w.high);
}

// A value outside the channel's stretch of settled counts.
void check_value(MonitorRun& run, Watch& w, int subframe, int decoded) {
  const DictionaryEntry& e = run.dictionary->entries[w.entry];
  int zone;
  if (!cached_zone(w, decoded, zone)) zone = zone_of_new_value(e, w, decoded);
  LimitChange change;
  if (!(zone == w.state.state && !w.state.pending) && limit_step(w.state, e.limits, zone, change)) {
    note_change(run, w, subframe, decoded, change);
    clear_settled(w);
  }
  if (w.state.pending) {
    clear_settled(w);
  } else if (zone == w.state.state) {
    widen_settled(e, w, decoded);
  }
}

// The places of four on a line (values at p) whose values lie outside
// their stretches, as set lanes, added to out.  A place without a channel
// has every count in its stretch, whatever the line holds there (nothing,
// past its values; a time prefix left to another source).
void find_unsettled(const unsigned char* p, Lanes& out) {
  const Lanes beyond = lanes_at(p) - lanes_at(p + kToSettledLow);
  const SignedLanes outside = reinterpret_cast<SignedLanes>(beyond) >
                              reinterpret_cast<SignedLanes>(lanes_at(p + kToSettledSpan));
  out |= reinterpret_cast<Lanes>(outside);
}

// Watches as bits.
constexpr int kDueWords = (kMaxDictionaryEntries + 63) / 64;

// One subframe's value of every channel, in the order of the dictionary.
void check_values(MonitorRun& run, int subframe) {
  ++run.values;
  Lanes out = {0, 0, 0, 0};
  const unsigned char* sources = reinterpret_cast<const unsigned char*>(run.sources);
  for (int i = 0; i < run.lane_count; ++i) find_unsettled(sources + run.lanes[i], out);
  if ((out[0] | out[1] | out[2] | out[3]) == 0) return;
  // The watches whose places are out, checked in the order of the
  // dictionary.
  uint64_t due[kDueWords] = {};
  for (int i = 0; i < run.lane_count; ++i) {
    Lanes lane = {0, 0, 0, 0};
    find_unsettled(sources + run.lanes[i], lane);
    for (int k = 0; k < kLanes; ++k) {
      const int w = run.lane_watches[i][k];
      if (lane[k] != 0 && w >= 0) due[w / 64] |= uint64_t{1} << (w % 64);
    }
  }
  for (int word = 0; word < kDueWords; ++word) {
    for (uint64_t bits = due[word]; bits != 0; bits &= bits - 1) {
      Watch& w = run.watches[word * 64 + __builtin_ctzll(bits)];
      const int decoded = *w.decoded;
      if (decoded < w.low || decoded > w.high) check_value(run, w, subframe, decoded);
    }
  }
}

// The source whose line gives the time of day: the first engineering
// group's but the generic one, or the pressure group's when no other is
// read.  It alone reads the time prefix; the prefix of every other
// engineering line is left as it was, with no channel on it.
void share_time_prefix(MonitorRun& run) {
  run.time_source = -1;
  for (int i = 0; i < run.source_count && run.time_source < 0; ++i) {
    const DumpRun& r = run.sources[i].run;
    if (r.group->prefix_count > 0) run.time_source = i;
  }
  if (run.time_source < 0) run.time_source = source_of(run, kEngineeringTable, 'p', 0);
  for (int i = 0; i < run.source_count; ++i) {
    MonitorSource& s = run.sources[i];
    s.run.reads_prefix = i == run.time_source;
  }
}

// A value to gather (once, however many channels name it).
struct GatheredOrigin {
  int source;
  int index;  // among the numbers of the source's line
  DecodedForm form;
};

void add_gathered(GatheredOrigin* origins, int& count, int source, int index, DecodedForm form) {
  for (int g = 0; g < count; ++g) {
    if (origins[g].source == source && origins[g].index == index) return;
  }
  origins[count++] = GatheredOrigin{source, index, form};
}

// The words of the gathered values for the positions the sources' runs
// hold.
void locate_gathered(const MonitorRun& run, const GatheredOrigin* origins, WordPlace* places) {
  for (int g = 0; g < run.gathered_count; ++g) {
    const DumpRun& r = run.sources[origins[g].source].run;
    places[g] = locate_line_value(*r.table, *r.group, r.positions, origins[g].index);
  }
}

// Every value that a watch reads, and the time prefix on the time
// source's line, listed by their forms, with their words for every
// placing: as the dump runs start (every position 0), then for each row.
void list_gathered(MonitorRun& run, const int* watch_sources) {
  GatheredOrigin found[kMaxGatheredValues];
  int count = 0;
  DecodedValue values[kMaxGroupValues];
  const int catalogued = group_values(values);
  for (int i = 0; i < catalogued; ++i) {
    if (values[i].group != HousekeepingGroup::kTime) continue;
    add_gathered(found, count, run.time_source, values[i].position, values[i].form);
  }
  for (int i = 0; i < run.watch_count; ++i) {
    const DecodedValue& v = run.dictionary->entries[run.watches[i].entry].value;
    add_gathered(found, count, watch_sources[i], v.position, v.form);
  }
  GatheredOrigin origins[kMaxGatheredValues];
  run.gathered_count = 0;
  for (int f = 0; f < kGatherForms; ++f) {
    for (int g = 0; g < count; ++g) {
      if (static_cast<int>(found[g].form) != f) continue;
      origins[run.gathered_count] = found[g];
      run.gathered[run.gathered_count++] = &run.sources[found[g].source].values[found[g].index];
    }
    run.form_ends[f] = run.gathered_count;
  }
  locate_gathered(run, origins, run.word_places[0]);
  for (int row = -1; row < kRowsPerSubframe; ++row) {
    for (int i = 0; i < run.source_count; ++i) dump_run_place(run.sources[i].run, row);
    locate_gathered(run, origins, run.word_places[row + 2]);
  }
  run.placed_sync_row = -1;
  run.places = run.word_places[0];
}

int raw_word(int word) { return word; }

// The values of one form, each from its word.
template <int (*kForm)(int)>
void gather_form(const MonitorRun& run, DecodedForm form, StoredSubframe sf) {
  const int f = static_cast<int>(form);
  const WordPlace* places = run.places;
  int* const* out = run.gathered;
  const int end = run.form_ends[f];
  for (int g = f > 0 ? run.form_ends[f - 1] : 0; g < end; ++g) {
    *out[g] = kForm(stored_subframe_word(sf, places[g].word));
  }
}

void gather_differences(const MonitorRun& run, StoredSubframe sf) {
  const int f = static_cast<int>(DecodedForm::kDifference);
  const WordPlace* places = run.places;
  int* const* out = run.gathered;
  const int end = run.form_ends[f];
  for (int g = run.form_ends[f - 1]; g < end; ++g) {
    *out[g] = word_difference(stored_subframe_word(sf, places[g].word),
                              stored_subframe_word(sf, places[g].less));
  }
}

// One subframe's values, each into its place on its source's line.
void gather_values(const MonitorRun& run, StoredSubframe sf) {
  gather_form<raw_word>(run, DecodedForm::kRaw, sf);
  gather_form<top_12>(run, DecodedForm::kTop12, sf);
  gather_form<top_10>(run, DecodedForm::kTop10, sf);
  gather_form<flag>(run, DecodedForm::kFlag, sf);
  gather_differences(run, sf);
  gather_form<bcd_high_byte>(run, DecodedForm::kBcdHigh, sf);
  gather_form<bcd_low_byte>(run, DecodedForm::kBcdLow, sf);
}
static_assert(static_cast<int>(DecodedForm::kRaw) == 0 && kGatherForms == 7,
              "gather_values takes every form");

}  // namespace

void monitor_run_init(MonitorRun& run, const Dictionary& dictionary) {
  run.dictionary = &dictionary;
  run.source_count = 0;
  run.watch_count = 0;
  run.records = 0;
  run.values = 0;
  run.worst_severity = 0;
  run.transition_count = 0;
  // The sources of the limited values, the time values' last: they are
  // read from the line that carries the time.
  for (int i = 0; i < dictionary.count; ++i) {
    const DecodedValue& v = dictionary.entries[i].value;
    if (has_limits(dictionary.entries[i].limits) && v.group != HousekeepingGroup::kTime) {
      source_of_value(run, v);
    }
  }
  share_time_prefix(run);
  int watch_sources[kMaxDictionaryEntries];
  for (int i = 0; i < dictionary.count; ++i) {
    const DictionaryEntry& e = dictionary.entries[i];
    if (!has_limits(e.limits)) continue;
    const int s =
        e.value.group == HousekeepingGroup::kTime ? run.time_source : source_of_value(run, e.value);
    watch_sources[run.watch_count] = s;
    Watch& w = run.watches[run.watch_count++];
    w.decoded = &run.sources[s].values[e.value.position];
    w.settled_low = &run.sources[s].settled_low[e.value.position];
    w.settled_span = &run.sources[s].settled_span[e.value.position];
    clear_settled(w);
    w.straight = is_straight(e.calibration);
    for (int32_t& z : w.zones) z = INT32_MIN;
    limit_state_init(w.state);
    w.entry = i;
    w.entered = 0;
    w.in_state[0] = w.in_state[1] = w.in_state[2] = 0;
    w.checked = false;
    w.worst_decoded = 0;
    w.worst_zone = kGreen;
    w.worst_excess = 0;
  }
  list_lanes(run, watch_sources);
  list_gathered(run, watch_sources);
}

void monitor_record(MonitorRun& run, const unsigned char* record) {
  ++run.records;
  run.transition_count = 0;
  for (int index = 0; index < kSubframeCount; ++index) {
    const StoredSubframe sf = stored_subframe(record, index);
    const int sync_row = find_sync_row(sf);
    // As the dump runs do: placed anew only when the row differs from
    // the one placed last (and so not for a subframe without one before
    // the first row).
    if (sync_row != run.placed_sync_row) {
      run.placed_sync_row = sync_row;
      run.places = run.word_places[sync_row + 2];
    }
    gather_values(run, sf);
    check_values(run, index);
  }
}

double latest_value(const MonitorRun& run, const Watch& w) {
  return calibrate(run.dictionary->entries[w.entry].calibration, *w.decoded);
}

void watch_summary(const MonitorRun& run, const Watch& w, WatchSummary& s) {
  for (int i = 0; i < 3; ++i) s.in_state[i] = w.in_state[i];
  s.in_state[severity(w.state.state)] += run.values - w.entered;
  s.checked = w.checked;
  s.worst_decoded = w.worst_decoded;
  s.worst = calibrate(run.dictionary->entries[w.entry].calibration, w.worst_decoded);
  s.worst_zone = w.worst_zone;
}
