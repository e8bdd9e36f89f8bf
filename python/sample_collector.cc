#include "sample_collector.h"

#include <cstring>

namespace {

bool add_notice(SampleCollector& c, int32_t record, int index, uint8_t kind) {
  const NoticeRow row{record, static_cast<uint8_t>(index), kind};
  return array_append(c.notices, &row);
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
      std::memcpy(p, &row, sizeof row);
    }
  } else {
    DetectorRow row;
    fill_labels(row, record, index, pass);
    for (int l = 0; l < pass.count; ++l, p += sizeof row) {
      row.detector1 = d.detector1_samples[l];
      row.detector2 = d.detector2_samples[l];
      std::memcpy(p, &row, sizeof row);
    }
  }
  return true;
}

// A pass's notices stand before its samples.
bool add_pass(SampleCollector& c, const unsigned char* record, int index, int32_t number) {
  SamplePass pass;
  sample_pass(c.run, record, index, pass);
  return (!pass.lost_lock || add_notice(c, number, index, kLostLock)) &&
         (!pass.status_changed || add_notice(c, number, index, kStatusChanged)) &&
         add_samples(c, number, index, pass);
}

}  // namespace

void collector_init(SampleCollector& c, DecodeMode mode) {
  sample_run_init(c.run, mode);
  array_init(c.samples, mode == DecodeMode::kCarriage ? sizeof(CarriageRow) : sizeof(DetectorRow));
  array_init(c.notices, sizeof(NoticeRow));
  c.fault = CollectorFault::kNone;
}

bool collect_record(SampleCollector& c, const unsigned char* record) {
  return collect_passes(
      c, record, [&c](const unsigned char* r) { return sample_run_record(c.run, r); },
      [&c](const unsigned char* r, int index, int32_t number) {
        return add_pass(c, r, index, number);
      });
}

void collector_free(SampleCollector& c) {
  array_clear(c.samples);
  array_clear(c.notices);
}
