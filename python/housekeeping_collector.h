// The housekeeping dump's run collected as rows instead of text: one row
// per data line that hkdump or hkrawdump writes (the word of the sync row,
// the record number, the subframe and the line's numbers), and one per
// channel position that a group reports on a line of its own.
#ifndef PYTHON_HOUSEKEEPING_COLLECTOR_H_
#define PYTHON_HOUSEKEEPING_COLLECTOR_H_

#include <cstddef>
#include <cstdint>

#include "dump_run.h"
#include "growing_array.h"

// Row layouts; the NumPy dtypes in the module name the same fields at the
// same offsets.  A line row is kLineValuesOffset bytes of labels, then
// value_count int32 numbers.
constexpr size_t kLineSyncWordOffset = 0;  // uint16
constexpr size_t kLineRecordOffset = 4;    // int32
constexpr size_t kLineSubframeOffset = 8;  // uint8
constexpr size_t kLineValuesOffset = 12;   // int32[value_count]

struct PositionRow {
  int32_t record;
  int32_t subframe;
  int32_t position;
};

struct HousekeepingCollector {
  DumpRun run;
  GrowingArray lines;
  GrowingArray positions;
  bool out_of_memory;
  bool record_overflow;
};

void collector_init(HousekeepingCollector& c, const GroupTable& table, const ChannelGroup& group,
                    int format_offset);

// Takes one whole record, stored as read.  False when its rows could not
// be stored.
bool collect_record(HousekeepingCollector& c, const unsigned char* record);

void collector_free(HousekeepingCollector& c);

#endif  // PYTHON_HOUSEKEEPING_COLLECTOR_H_
