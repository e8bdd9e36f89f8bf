// The extractor's run collected as rows instead of text: one row per
// sample line that ifgextract writes and one per notice, in the order the
// tool writes them.
#ifndef PYTHON_SAMPLE_COLLECTOR_H_
#define PYTHON_SAMPLE_COLLECTOR_H_

#include <cstdint>

#include "growing_array.h"
#include "record_passes.h"
#include "sample_run.h"

// Row layouts, packed; the NumPy dtypes in the module name the same fields
// at the same offsets.
struct __attribute__((packed)) DetectorRow {
  int32_t record;
  uint8_t subframe;
  uint16_t interferogram;
  uint8_t status;
  int32_t detector1;
  int32_t detector2;
};

struct __attribute__((packed)) CarriageRow {
  int32_t record;
  uint8_t subframe;
  uint16_t interferogram;
  uint8_t status;
  int16_t carriage;  // 0..4095; signed, so that differences of a scan do not wrap
};

constexpr uint8_t kLostLock = kNoticeLostLock;
constexpr uint8_t kStatusChanged = kNoticeStatusChanged;

struct __attribute__((packed)) NoticeRow {
  int32_t record;
  uint8_t subframe;
  uint8_t kind;  // kLostLock or kStatusChanged
};

struct SampleCollector {
  SampleRun run;
  GrowingArray samples;
  GrowingArray notices;
  CollectorFault fault;
};

void collector_init(SampleCollector& c, DecodeMode mode);

// Takes one whole record, stored as read.  False when its rows could not
// be stored (fault tells why).
bool collect_record(SampleCollector& c, const unsigned char* record);

void collector_free(SampleCollector& c);

#endif  // PYTHON_SAMPLE_COLLECTOR_H_
