#include "housekeeping_collector.h"

#include <climits>
#include <cstring>

void collector_init(HousekeepingCollector& c, const GroupTable& table, const ChannelGroup& group,
                    int format_offset) {
  dump_run_init(c.run, table, group, format_offset);
  array_init(c.lines, kLineValuesOffset + sizeof(int32_t) * static_cast<size_t>(group.value_count));
  array_init(c.positions, sizeof(PositionRow));
  c.out_of_memory = false;
  c.record_overflow = false;
}

namespace {

bool add_line(HousekeepingCollector& c, const DumpLine& line, int32_t record, int index) {
  if (line.reports_position) {
    unsigned char* p = array_extend(c.positions, 1);
    if (p == nullptr) return false;
    const PositionRow row{record, index, line.reported_position};
    std::memcpy(p, &row, sizeof row);
  }
  unsigned char* p = array_extend(c.lines, 1);
  if (p == nullptr) return false;
  std::memset(p, 0, kLineValuesOffset);
  const uint8_t subframe = static_cast<uint8_t>(index);
  std::memcpy(p + kLineSyncWordOffset, &line.sync_word, sizeof line.sync_word);
  std::memcpy(p + kLineRecordOffset, &record, sizeof record);
  std::memcpy(p + kLineSubframeOffset, &subframe, sizeof subframe);
  for (int i = 0; i < c.run.group->value_count; ++i) {
    const int32_t v = line.values[i];
    std::memcpy(p + kLineValuesOffset + sizeof v * static_cast<size_t>(i), &v, sizeof v);
  }
  return true;
}

}  // namespace

bool collect_record(HousekeepingCollector& c, const unsigned char* record) {
  if (c.run.records >= INT32_MAX) {
    c.record_overflow = true;
    return false;
  }
  dump_run_record(c.run);
  const int32_t number = static_cast<int32_t>(c.run.records);
  for (int index = 0; index < tlmframe::kSubframeCount; ++index) {
    DumpLine line;
    dump_subframe(c.run, record, index, line);
    if (!add_line(c, line, number, index)) {
      c.out_of_memory = true;
      return false;
    }
  }
  return true;
}

void collector_free(HousekeepingCollector& c) {
  array_clear(c.lines);
  array_clear(c.positions);
}
