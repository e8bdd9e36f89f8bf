#include "archive_run.h"

#include "format/channels.h"

using namespace tlmframe;

namespace {

// Where the run keeps the count of a decoded value for the current line.
const int* counts_of(ArchiveRun& run, const DecodedValue& v) {
  const bool engineering = v.column == kHousekeepingColumn;
  if (v.group == HousekeepingGroup::kGeneric) {
    return &(engineering ? run.channel_words : run.raw_channel_words)[v.number];
  }
  const GroupTable& table = engineering ? kEngineeringTable : kRawTable;
  const long i = find_group(table, group_option(v.group)) - table.groups;
  return &(engineering ? run.lines : run.raw_lines)[i].values[v.position];
}

}  // namespace

void archive_run_init(ArchiveRun& run, Product& product, bool dated) {
  run.product = &product;
  run.dated = dated;
  run.records = 0;
  sample_run_init(run.samples, DecodeMode::kTwoDetector);
  sample_run_init(run.carriage, DecodeMode::kCarriage);
  for (int i = 0; i < kNamedGroups; ++i) {
    dump_run_init(run.groups[i], kEngineeringTable, kEngineeringTable.groups[i], 0, false);
    dump_run_init(run.raw_groups[i], kRawTable, kRawTable.groups[i], 0, false);
  }
  for (int k = 0; k < kChannelCount; ++k) {
    dump_run_init(run.channels[k], kEngineeringTable, kEngineeringTable.groups[kGenericGroupIndex],
                  k, false);
    dump_run_init(run.raw_channels[k], kRawTable, kRawTable.groups[kGenericGroupIndex], k, false);
  }
  for (int i = 0; i < kNamedGroups; ++i) run.lines[i] = run.raw_lines[i] = DumpLine{};
  for (int k = 0; k < kChannelCount; ++k) run.channel_words[k] = run.raw_channel_words[k] = 0;
  const int named = product.dictionary != nullptr ? product.dictionary->count : 0;
  for (int i = 0; i < named; ++i) {
    run.named_counts[i] = counts_of(run, product.dictionary->entries[i].value);
  }
  day_counter_init(run.days);
  run.has_time = false;
  run.first_time = run.last_time = kNoTime;
}

namespace {

// The words of the record's rows, column by column, in host order.
void stage_words(RawColumns& r, const unsigned char* record) {
  uint16_t* column[kWordsPerRow];
  size_t room;
  for (int c = 0; c < kWordsPerRow; ++c) {
    column[c] = reinterpret_cast<uint16_t*>(column_slots(r.words[c], room));
  }
  constexpr int kRows = kSubframeCount * kRowsPerSubframe;
  for (int row = 0; row < kRows; ++row) {
    const unsigned char* p = record + row * kWordsPerRow * 2;
    for (int c = 0; c < kWordsPerRow; ++c) column[c][row] = stored_word_at(p + 2 * c);
  }
  for (StagedColumn& c : r.words) column_advance(c, 1);
}

void stage_raw(RawColumns& r, const unsigned char* record, const int sync_rows[kSubframeCount]) {
  stage_words(r, record);
  column_append(r.trailer, record + 2 * kSwappedWords, 1);
  int16_t rows[kSubframeCount];
  for (int i = 0; i < kSubframeCount; ++i) rows[i] = static_cast<int16_t>(sync_rows[i]);
  column_append(r.sync_row, rows, 1);
}

template <typename T>
void stage_picked(StagedColumn& c, const GroupView& view, const DumpLine& line) {
  size_t room;
  T* p = reinterpret_cast<T*>(column_slots(c, room));
  for (int i = 0; i < view.value_count; ++i) p[i] = static_cast<T>(line.values[view.pick[i]]);
  column_advance(c, 1);
}

// Every generic run of a table at this subframe: one word per channel,
// kept in words too.
void stage_channels(StagedColumn& c, DumpRun* runs, const unsigned char* record, int index,
                    int sync_row, int* words) {
  size_t room;
  uint16_t* p = reinterpret_cast<uint16_t*>(column_slots(c, room));
  for (int k = 0; k < kChannelCount; ++k) {
    DumpLine line;
    dump_subframe_at(runs[k], record, index, sync_row, line);
    words[k] = line.values[0];
    p[k] = static_cast<uint16_t>(line.values[0]);
  }
  column_advance(c, 1);
}

void note_time(ArchiveRun& run, int32_t t) {
  if (t == kNoTime) return;
  if (!run.has_time || t < run.first_time) run.first_time = t;
  if (!run.has_time || t > run.last_time) run.last_time = t;
  run.has_time = true;
}

// The values a dictionary names, calibrated from the counts of the line
// just staged.
void stage_named(ArchiveRun& run) {
  Product& p = *run.product;
  const int named = p.dictionary != nullptr ? p.dictionary->count : 0;
  for (int i = 0; i < named; ++i) {
    const double value = calibrate(p.dictionary->entries[i].calibration, *run.named_counts[i]);
    column_repeat<double>(p.named[i], value, 1);
  }
}

// One line of the dumps for subframe index; gives the subframe's time.
int32_t stage_line(ArchiveRun& run, const unsigned char* record, int index, int sync_row) {
  Product& p = *run.product;
  HousekeepingColumns& h = p.housekeeping;
  const int32_t number = static_cast<int32_t>(run.records);
  for (int i = 0; i < kNamedGroups; ++i) {
    dump_subframe_at(run.raw_groups[i], record, index, sync_row, run.raw_lines[i]);
    stage_picked<uint16_t>(h.raw_groups[i], p.raw_views[i], run.raw_lines[i]);
  }
  for (int i = 0; i < kNamedGroups; ++i) {
    dump_subframe_at(run.groups[i], record, index, sync_row, run.lines[i]);
    stage_picked<int32_t>(h.groups[i], p.views[i], run.lines[i]);
  }
  const DumpLine& first = run.lines[0];
  const int* words = run.channel_words;  // the time of day is read from channels 65 and 66
  stage_channels(h.channels, run.channels, record, index, sync_row, run.channel_words);
  stage_channels(h.raw_channels, run.raw_channels, record, index, sync_row, run.raw_channel_words);

  column_repeat<int32_t>(h.record, number, 1);
  column_repeat<uint8_t>(h.subframe, static_cast<uint8_t>(index), 1);
  column_repeat<uint16_t>(h.sync_word, first.sync_word, 1);
  // The time prefix of the engineering lines: number, hours, minutes, seconds.
  column_repeat<uint16_t>(h.interferogram, static_cast<uint16_t>(first.values[0]), 1);
  column_repeat<uint8_t>(h.hour, static_cast<uint8_t>(first.values[1]), 1);
  column_repeat<uint8_t>(h.minute, static_cast<uint8_t>(first.values[2]), 1);
  column_repeat<uint8_t>(h.second, static_cast<uint8_t>(first.values[3]), 1);
  int32_t t = time_of_day(static_cast<uint16_t>(words[kTimeChannelA]),
                          static_cast<uint16_t>(words[kTimeChannelB]));
  if (run.dated) t = count_time(run.days, t);
  note_time(run, t);
  column_repeat<int32_t>(h.time, t, 1);
  stage_named(run);
  return t;
}

void stage_notice(SampleColumns& g, int32_t record, int index, uint8_t kind) {
  column_repeat<int32_t>(g.notice_record, record, 1);
  column_repeat<uint8_t>(g.notice_subframe, static_cast<uint8_t>(index), 1);
  column_repeat<uint8_t>(g.notice_kind, kind, 1);
}

void stage_carriage(StagedColumn& c, const int32_t* values, size_t n) {
  while (n > 0) {
    size_t room;
    int16_t* p = reinterpret_cast<int16_t*>(column_slots(c, room));
    const size_t k = n < room ? n : room;
    for (size_t i = 0; i < k; ++i) p[i] = static_cast<int16_t>(values[i]);
    column_advance(c, k);
    values += k;
    n -= k;
  }
}

// The passes of one extractor run over the record.
void stage_samples(SampleColumns& g, SampleRun& run, const unsigned char* record,
                   const int32_t times[kSubframeCount]) {
  if (!sample_run_record(run, record)) return;
  const int32_t number = static_cast<int32_t>(run.records);
  for (int index = 0; index < kSubframeCount; ++index) {
    SamplePass pass;
    sample_pass(run, record, index, pass);
    if (pass.lost_lock) stage_notice(g, number, index, kNoticeLostLock);
    if (pass.status_changed) stage_notice(g, number, index, kNoticeStatusChanged);
    const size_t n = static_cast<size_t>(pass.count);
    column_repeat<int32_t>(g.record, number, n);
    column_repeat<uint8_t>(g.subframe, static_cast<uint8_t>(index), n);
    column_repeat<uint16_t>(g.interferogram, static_cast<uint16_t>(pass.interferogram_number), n);
    column_repeat<uint8_t>(g.status, static_cast<uint8_t>(pass.status), n);
    column_repeat<int32_t>(g.time, times[index], n);
    const Decoder& d = run.decoder;
    if (g.carriage) {
      stage_carriage(g.value1, d.carriage_samples, n);
    } else {
      column_append(g.value1, d.detector1_samples, n);
      column_append(g.value2, d.detector2_samples, n);
    }
  }
}

}  // namespace

void archive_record(ArchiveRun& run, const unsigned char* record) {
  ++run.records;
  int sync_rows[kSubframeCount];
  for (int i = 0; i < kSubframeCount; ++i) sync_rows[i] = find_sync_row(stored_subframe(record, i));
  stage_raw(run.product->raw, record, sync_rows);
  for (DumpRun& r : run.groups) dump_run_record(r);
  for (DumpRun& r : run.raw_groups) dump_run_record(r);
  for (DumpRun& r : run.channels) dump_run_record(r);
  for (DumpRun& r : run.raw_channels) dump_run_record(r);
  int32_t times[kSubframeCount];
  for (int i = 0; i < kSubframeCount; ++i) times[i] = stage_line(run, record, i, sync_rows[i]);
  stage_samples(run.product->interferogram, run.samples, record, times);
  stage_samples(run.product->carriage, run.carriage, record, times);
}
