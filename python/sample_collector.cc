#include "sample_collector.h"

#include <climits>

namespace {

bool add_notice(SampleCollector& c, int32_t record, int index, uint8_t kind) {
  unsigned char* p = array_extend(c.notices, 1);
  if (p == nullptr) return false;
  const NoticeRow row{record, static_cast<uint8_t>(index), kind};
  __builtin_memcpy(p, &row, sizeof row);
  return true;
}

template <typename Row>
void fill_labels(Row& row, int32_t record, int index, const SamplePass& pass) {
  row.record = record;
  row.subframe = static_cast<uint8_t>(index);
  row.interferogram = static_cast<uint16_t>(pass.interferogram_number);
  row.status = static_cast<uint8_t>(pass.status);
}

bool add_samples(SampleCollector& c, int32_t record, int index, const SamplePass& pass) {
  unsigned char* p = array_extend(c.samples, static_cast<size_t>(pass.count));
  if (p == nullptr) return false;
  const Decoder& d = c.run.decoder;
  if (d.mode == DecodeMode::kCarriage) {
    CarriageRow row;
    fill_labels(row, record, index, pass);
    for (int l = 0; l < pass.count; ++l, p += sizeof row) {
      row.carriage = static_cast<int16_t>(d.carriage_samples[l]);
      __builtin_memcpy(p, &row, sizeof row);
    }
  } else {
    DetectorRow row;
    fill_labels(row, record, index, pass);
    for (int l = 0; l < pass.count; ++l, p += sizeof row) {
      row.detector1 = d.detector1_samples[l];
      row.detector2 = d.detector2_samples[l];
      __builtin_memcpy(p, &row, sizeof row);
    }
  }
  return true;
}

}  // namespace

void collector_init(SampleCollector& c, DecodeMode mode) {
  sample_run_init(c.run, mode);
  array_init(c.samples, mode == DecodeMode::kCarriage ? sizeof(CarriageRow) : sizeof(DetectorRow));
  array_init(c.notices, sizeof(NoticeRow));
  c.out_of_memory = false;
  c.record_overflow = false;
}

bool collect_record(SampleCollector& c, const unsigned char* record) {
  if (c.run.records >= INT32_MAX) {
    c.record_overflow = true;
    return false;
  }
  if (!sample_run_record(c.run, record)) return true;
  const int32_t number = static_cast<int32_t>(c.run.records);
  for (int index = 0; index < tlmframe::kSubframeCount; ++index) {
    SamplePass pass;
    sample_pass(c.run, record, index, pass);
    const bool stored = (!pass.lost_lock || add_notice(c, number, index, kLostLock)) &&
                        (!pass.status_changed || add_notice(c, number, index, kStatusChanged)) &&
                        add_samples(c, number, index, pass);
    if (!stored) {
      c.out_of_memory = true;
      return false;
    }
  }
  return true;
}

void collector_free(SampleCollector& c) {
  array_clear(c.samples);
  array_clear(c.notices);
}
