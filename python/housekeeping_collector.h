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
#include "record_passes.h"

// Row layouts, packed; the NumPy dtypes in the module name the same fields
// at the same offsets.  A line row holds only the group's value_count
// values (line_row_bytes), so its length depends on the group; the unused
// bytes keep the record number and the values 4-aligned, and are 0.
struct __attribute__((packed)) LineRow {
  uint16_t sync_word;
  uint8_t unused_after_sync_word[2];
  int32_t record;
  uint8_t subframe;
  uint8_t unused_after_subframe[3];
  int32_t values[kMaxLineValues];
};

constexpr size_t line_row_bytes(int value_count) {
  return offsetof(LineRow, values) + sizeof(int32_t) * static_cast<size_t>(value_count);
}

struct __attribute__((packed)) PositionRow {
  int32_t record;
  int32_t subframe;
  int32_t position;
};

struct HousekeepingCollector {
  DumpRun run;
  GrowingArray lines;
  GrowingArray positions;
  CollectorFault fault;
};

void collector_init(HousekeepingCollector& c, const GroupTable& table, const ChannelGroup& group,
                    int format_offset);

// Takes one whole record, stored as read.  False when its rows could not
// be stored (fault tells why).
bool collect_record(HousekeepingCollector& c, const unsigned char* record);

void collector_free(HousekeepingCollector& c);

#endif  // PYTHON_HOUSEKEEPING_COLLECTOR_H_
