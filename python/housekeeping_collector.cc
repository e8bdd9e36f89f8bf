#include "housekeeping_collector.h"

namespace {

// A position report stands before the data line of its subframe.
bool add_line(HousekeepingCollector& c, const DumpLine& line, int32_t record, int index) {
  if (line.reports_position) {
    const PositionRow row{record, index, line.reported_position};
    if (!array_append(c.positions, &row)) return false;
  }
  LineRow row{};
  row.sync_word = line.sync_word;
  row.record = record;
  row.subframe = static_cast<uint8_t>(index);
  for (int i = 0; i < c.run.group->value_count; ++i) row.values[i] = line.values[i];
  return array_append(c.lines, &row);
}

}  // namespace

void collector_init(HousekeepingCollector& c, const GroupTable& table, const ChannelGroup& group,
                    int format_offset) {
  dump_run_init(c.run, table, group, format_offset, false);
  array_init(c.lines, line_row_bytes(group.value_count));
  array_init(c.positions, sizeof(PositionRow));
  c.fault = CollectorFault::kNone;
}

bool collect_record(HousekeepingCollector& c, const unsigned char* record) {
  return collect_passes(
      c, record,
      [&c](const unsigned char*) {
        dump_run_record(c.run);
        return true;
      },
      [&c](const unsigned char* r, int index, int32_t number) {
        DumpLine line;
        dump_subframe(c.run, r, index, line);
        return add_line(c, line, number, index);
      });
}

void collector_free(HousekeepingCollector& c) {
  array_clear(c.lines);
  array_clear(c.positions);
}
