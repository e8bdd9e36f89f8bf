#include "dump_run.h"

using namespace tlmframe;

void dump_run_init(DumpRun& run, const GroupTable& table, const ChannelGroup& group,
                   int format_offset, bool hex) {
  run.table = &table;
  run.group = &group;
  run.format_offset = format_offset;
  run.hex = hex;
  run.records = 0;
  run.reads_prefix = true;
  run.last_sync_row = -1;
  run.positions = GroupPositions{};
}

void dump_run_record(DumpRun& run) { ++run.records; }

void dump_subframe(DumpRun& run, const unsigned char* record, int index, DumpLine& line) {
  dump_subframe_at(run, record, index, find_sync_row(stored_subframe(record, index)), line);
}

void dump_run_place(DumpRun& run, int sync_row) {
  run.last_sync_row = sync_row;
  place_line(*run.table, *run.group, run.positions, sync_row, run.format_offset, run.reads_prefix);
}
