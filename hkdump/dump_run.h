// The housekeeping dump's run over the records of one input: one line of
// numbers per subframe.  Every subframe has its own sync search; the
// group's channel positions are placed anew only when the sync row found
// differs from the one they were last placed for.  The run starts as if
// placed for row -1 but with every position 0, so until a sync row is
// found, subframes without one read word 0 of the subframe for every
// channel, except the engineering fast sap group, which reads its words
// twelve rows after their channels' rows: word 192 (row 12).  Once a row
// has been found, a subframe without one is read as placed for row -1.
// hkdump and hkrawdump write the lines as text; the Python module hands
// them over as arrays.
#ifndef HKDUMP_DUMP_RUN_H_
#define HKDUMP_DUMP_RUN_H_

#include <cstdint>

#include "group_table.h"

struct DumpRun {
  const GroupTable* table;
  const ChannelGroup* group;
  int format_offset;  // channel number of the generic group
  bool hex;           // the generic group's value written in hexadecimal (-X)
  int64_t records;    // whole records taken; the number of the last one
  bool reads_prefix;  // false: the line's prefix is left as it was (runs over the same
                      // records that take it from one of them)
  int last_sync_row;  // the sync row the positions were placed for
  GroupPositions positions;
};

// One subframe's line, as numbers.
struct DumpLine {
  uint16_t sync_word;          // column 0 of the sync row; without one, of row -1 (the
                               // previous subframe's last row, 0 before subframe 0)
  bool reports_position;       // the positions moved and the group reports one
  int reported_position;       // then: the word position of its reported channel
  int values[kMaxLineValues];  // group->value_count of them
};

// The run reads the prefix of its lines until told otherwise.
void dump_run_init(DumpRun& run, const GroupTable& table, const ChannelGroup& group,
                   int format_offset, bool hex);

// Counts the next whole record, whose subframes dump_subframe then reads.
void dump_run_record(DumpRun& run);

// The line of subframe index (0, 1, 2 in this order) of the record just taken.
void dump_subframe(DumpRun& run, const unsigned char* record, int index, DumpLine& line);

// Places the run's channels for a new sync row (the rare step of reading
// a line).
void dump_run_place(DumpRun& run, int sync_row);

// The numbers of the line alone (line.values), for a subframe whose sync
// row has been found already: what runs over the same records that share
// one search and want only the numbers read.
inline void dump_values_at(DumpRun& run, const unsigned char* record, int index, int sync_row,
                           int* values) {
  if (sync_row != run.last_sync_row) dump_run_place(run, sync_row);
  read_line(*run.table, *run.group, run.positions, tlmframe::stored_subframe(record, index), values,
            run.reads_prefix);
}

// The whole line of such a subframe.
inline void dump_subframe_at(DumpRun& run, const unsigned char* record, int index, int sync_row,
                             DumpLine& line) {
  const ChannelGroup& group = *run.group;
  line.reports_position = sync_row != run.last_sync_row && group.reported_channel >= 0;
  line.reported_position =
      line.reports_position
          ? tlmframe::channel_position(sync_row, group.reported_channel, run.table->column)
          : 0;
  line.sync_word =
      tlmframe::stored_subframe_word(tlmframe::stored_subframe(record, index),
                                     static_cast<int64_t>(sync_row) * tlmframe::kWordsPerRow);
  dump_values_at(run, record, index, sync_row, line.values);
}

#endif  // HKDUMP_DUMP_RUN_H_
