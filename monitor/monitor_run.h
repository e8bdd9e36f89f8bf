// Checking the limits of a dictionary's channels over the records of a
// raw telemetry stream.
//
// Each limited channel is placed by the dump's own run of its group (the
// group tables of hkdump and hkrawdump): one run per group and column,
// and one per generic channel, with one sync search per subframe for all
// of them.  From the positions they give for each sync row the run keeps
// one flat list of the words its values come from, by form, and gathers
// each subframe's values straight from the words into the groups' lines:
// one word and one form per value, the time of day included.  The lists
// of every sync row are made when the run is set up, so that a moving
// sync row costs only a pointer.  Every subframe gives one value of every
// channel.  A housekeeping channel mostly takes a few neighbouring counts
// for a long while, so each channel keeps a stretch of counts that leave
// it as it is: from one count seen to another, every count between them
// in the zone of its settled state, the calibration running one way over
// them.  A subframe whose values all lie in their stretches changes
// nothing, and that is found for a whole line at once.  Other values go
// through a small cache of zones (a count that recurs is not calibrated
// again) to the channel's limit state.  The worst value is weighed
// whenever a count is calibrated, which every count seen is at least
// once; a count inside a stretch cannot be worse than its ends, which
// were seen.  hkmonitor writes the transitions as text; the Python module
// hands them over as arrays.
#ifndef MONITOR_MONITOR_RUN_H_
#define MONITOR_MONITOR_RUN_H_

#include <cstddef>
#include <cstdint>

#include "dictionary.h"
#include "dump_run.h"

// Every group of both columns, and every generic channel of both.
constexpr int kMaxMonitorSources = 2 * (kGroupCount - 1 + kGenericChannels);

// One group's line of each subframe (only the places of values gathered
// are filled), and for each place on it the counts
// that leave its channel as it is (none while a change is pending; all for
// a place without a limited channel): the counts from low to low + span,
// taken as unsigned 32-bit numbers.  They are kept with the top bit
// flipped (settled_low, settled_span), so that a signed comparison of
// (value - settled_low) with settled_span compares (value - low) with span
// as unsigned numbers.
struct MonitorSource {
  DumpRun run;                 // its positions alone: the run places them, the monitor gathers
  int values[kMaxLineValues];  // the numbers of its line (0 where it has none)
  uint32_t settled_low[kMaxLineValues];
  uint32_t settled_span[kMaxLineValues];
};

// The most groups of four places with a limited channel among them.
constexpr int kMaxMonitorLanes = kMaxMonitorSources * kMaxLineValues / 4;

// Decoded values whose zones a channel keeps, by their low bits.
constexpr int kZoneCacheSize = 16;

// One limited channel.
struct Watch {
  const int* decoded;      // its value on its source's line, after each subframe
  uint32_t* settled_low;   // its stretch of settled counts (top bits
  uint32_t* settled_span;  // flipped), at its place on the source's line
  int low, high;           // the stretch as counts; low > high: none
  int direction;           // of the calibration over it: 1 up, -1 down, 0 flat
  bool straight;           // the calibration runs one way over every count (none, or a line)
  // Per slot (decoded value & 15): decoded * 8 + zone + 3, or INT32_MIN
  // while empty.
  int32_t zones[kZoneCacheSize];
  LimitState state;
  int entry;            // in the dictionary
  int64_t entered;      // values checked when the state was entered
  int64_t in_state[3];  // values in GREEN, YELLOW, RED before that
  bool checked;         // some value has been weighed
  int worst_decoded;    // the worst value so far, and ...
  int worst_zone;       // ... its zone ...
  double worst_excess;  // ... and how far past a limit it lies
};

// The values gathered in each subframe: the limited ones and the time
// prefix.
constexpr int kMaxGatheredValues = kMaxDictionaryEntries + kTimePrefixValues;

// The forms a value is gathered in (DecodedForm's, in its order).
constexpr int kGatherForms = static_cast<int>(DecodedForm::kBcdLow) + 1;

// The places the gathered values' words can take: for each sync row from
// -1 to 107 (at row + 2), and at 0 before any row is placed.
constexpr int kWordPlacings = tlmframe::kRowsPerSubframe + 2;

struct MonitorTransition {
  int64_t record;
  int subframe;
  int hours, minutes, seconds;  // the time of day on the subframe's line
  int entry;                    // in the dictionary
  int decoded;
  double value;  // calibrated
  LimitChange change;
};

struct MonitorRun {
  const Dictionary* dictionary;
  int source_count;
  int time_source;  // the source whose line gives the time of day
  int watch_count;
  int lane_count;      // the groups of four places looked at in each subframe
  int64_t records;     // whole records taken
  int64_t values;      // subframes checked: the values of each channel
  int worst_severity;  // of every state reached: 0, 1 or 2
  int transition_count;
  int placed_sync_row;      // the row the gathered words are placed for
  const WordPlace* places;  // their words for it (a row of word_places)
  int gathered_count;
  // The gathered values in the order of their forms: form f's are
  // form_ends[f - 1] (0 for the first) to form_ends[f].
  int form_ends[kGatherForms];
  int* gathered[kMaxGatheredValues];  // each one's place on its source's line
  // Their words for every placing, worked out once from the sources' runs.
  WordPlace word_places[kWordPlacings][kMaxGatheredValues];
  MonitorSource sources[kMaxMonitorSources];
  Watch watches[kMaxDictionaryEntries];
  // The groups of four places with a limited channel, in line order: where
  // the first value of each lies, in bytes from the first source.
  size_t lanes[kMaxMonitorLanes];
  // The watch at each of their places (-1: none).
  int16_t lane_watches[kMaxMonitorLanes][4];
  // The transitions of the record taken last: at most one per channel and
  // subframe.
  MonitorTransition transitions[tlmframe::kSubframeCount * kMaxDictionaryEntries];
};

// Sets up the run for the dictionary's limited channels.
void monitor_run_init(MonitorRun& run, const Dictionary& dictionary);

// Takes the next whole record, stored as read: checks its three subframes
// and leaves their transitions in run.transitions.
void monitor_record(MonitorRun& run, const unsigned char* record);

// The calibrated value of the channel on the last subframe checked.
double latest_value(const MonitorRun& run, const Watch& w);

struct WatchSummary {
  int64_t in_state[3];  // values checked in GREEN, YELLOW, RED
  bool checked;         // any value at all
  int worst_decoded;    // the value furthest out, and ...
  double worst;         // ... calibrated, ...
  int worst_zone;       // ... and its zone
};

// What the run found for the channel so far.  The worst value is the one
// in the most severe zone, and of those the one furthest past (or nearest
// to) a limit; of equals, the first seen.
void watch_summary(const MonitorRun& run, const Watch& w, WatchSummary& summary);

#endif  // MONITOR_MONITOR_RUN_H_
