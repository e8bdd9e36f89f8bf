// Synthetic raw telemetry, for trying the tools, for the tests and for the
// benchmarks.
//
// Records carry what the instrument sends: a sync word per subframe in a
// chosen row (or none), housekeeping channels counted from it in columns 12
// and 4, an interferogram number that counts up, a status bit that can be
// made to change, and detector samples shaped like an interferogram (a
// centre burst over noise) encoded with gain codes and sample flags, or
// carriage words.  For the hardest data the detector words may be uniformly
// random and the gain code may jump at every group.  The time of day counts
// one second a record from a chosen start, and housekeeping channels may
// drift and step, for trying limits and trends.  Everything follows from
// the options and a seed, so the same options always give the same bytes.
#ifndef TLMSYNTH_SYNTH_H_
#define TLMSYNTH_SYNTH_H_

#include <cstdint>

#include "record.h"

constexpr int kMaxSyncPlan = 4096;
constexpr int kMaxChosenWords = 64;
constexpr int kMaxPlacedWords = 64;
constexpr int kMaxDriftingChannels = 64;
constexpr int kSecondsPerDay = 24 * 3600;

// A housekeeping word fixed by the caller: channel k of the given column
// holds value in every subframe (rows counted from the sync row).
struct ChosenWord {
  int column;
  int channel;
  uint16_t value;
};

// A word fixed at one place of every record, whatever the sync row: column
// of row (0..107) of subframe.  Placed words are written last, over the
// sync word, housekeeping and samples, so they can make a second sync row,
// a sync word in another column, or any awkward word.
struct PlacedWord {
  int subframe;
  int row;
  int column;
  uint16_t value;
};

// A housekeeping channel whose word changes from record to record: record
// number n (from 1) holds start + slope * (n - 1), plus step from record
// number step_record on (never when it is 0), rounded and held within
// 0..65535.  It is written in column 12 and in column 4, or in the one
// column named.
struct DriftingChannel {
  int column;  // 12 or 4; -1: both
  int channel;
  double start;
  double slope;
  double step;
  int64_t step_record;
};

struct SynthOptions {
  int64_t records;
  uint32_t seed;
  // Sync rows of successive subframes, used in turn and then from the
  // start again; -1 leaves a subframe without sync word.
  int sync_rows[kMaxSyncPlan];
  int sync_row_count;
  int status_period;              // the status bit flips every this many records; 0: never
  int first_interferogram;        // interferogram number of the first record
  int records_per_interferogram;  // records that one interferogram spans
  bool carriage;                  // carriage scan in the control-word places
  int drop_percent;               // share of sample groups without sample flag, placed at random
  bool random_detector_words;     // detector words uniformly random instead of the signal
  bool random_gain_steps;         // the gain code moves by a random 1 to 3 steps at every group
  int64_t tail_bytes;             // bytes of one more, truncated record at the end
  ChosenWord chosen[kMaxChosenWords];
  int chosen_count;
  PlacedWord placed[kMaxPlacedWords];
  int placed_count;
  int start_second;  // time of day of the first record, in seconds (default noon)
  DriftingChannel drifting[kMaxDriftingChannels];
  int drifting_count;
};

void synth_defaults(SynthOptions& options);

// Fills record (words in host order, as after swap_record) with record
// number index (from 0) of the stream.
void synth_record(const SynthOptions& options, int64_t index, tlmframe::TelemetryRecord& record);

// The file bytes of a host-order record: subframe words big-endian, the
// trailer as it stands.  The inverse of reading plus swap_record.
void encode_record(const tlmframe::TelemetryRecord& record,
                   unsigned char bytes[tlmframe::kRecordBytes]);

// Writes the whole stream to fd; false (errno set) when a write fails.
bool synth_write(const SynthOptions& options, int fd);

// Parses a sync plan such as "5", "5,6", "5x9,40x3,-1x3" or "none" into
// options; false when the text is not one.
bool parse_sync_plan(const char* text, SynthOptions& options);

// Parses "column:channel=value" (value decimal or 0x hexadecimal).
bool parse_chosen_word(const char* text, ChosenWord& word);

// Parses "subframe:row:column=value" (value decimal or 0x hexadecimal).
bool parse_placed_word(const char* text, PlacedWord& word);

// Parses "HH:MM:SS" (hours 0 to 23) into seconds of the day.
bool parse_time_of_day(const char* text, int& seconds);

// Parses "[column:]channel=start:slope[:step@record]": decimal numbers,
// the column 12 or 4, the channel 0 to 107, the record from 1.
bool parse_drifting_channel(const char* text, DriftingChannel& drifting);

// The word of a drifting channel in record index (from 0).
uint16_t drifting_word(const DriftingChannel& d, int64_t index);

#endif  // TLMSYNTH_SYNTH_H_
