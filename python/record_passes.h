// What the sample and housekeeping collectors share: the tools' run taken
// over whole records, the three passes of each record stored as rows, and
// why a collector stopped.
#ifndef PYTHON_RECORD_PASSES_H_
#define PYTHON_RECORD_PASSES_H_

#include <cstdint>

#include "record.h"

// Why a collector stopped taking records.
enum class CollectorFault : uint8_t {
  kNone,
  kOutOfMemory,     // its rows could not be stored
  kRecordOverflow,  // a record number beyond the rows' 32 bits
};

// One whole record, stored as read, through a collector's run: the record
// number checked against the rows' 32 bits, the run advanced
// (start(record) is false for a record that gives no passes), then the
// rows of subframes 0, 1 and 2 stored (store(record, index, number) is
// false when memory ran out).  False when the collector stopped, c.fault
// saying why.
template <typename Collector, typename Start, typename Store>
bool collect_passes(Collector& c, const unsigned char* record, Start start, Store store) {
  if (c.run.records >= INT32_MAX) {
    c.fault = CollectorFault::kRecordOverflow;
    return false;
  }
  if (!start(record)) return true;
  const int32_t number = static_cast<int32_t>(c.run.records);
  for (int index = 0; index < tlmframe::kSubframeCount; ++index) {
    if (!store(record, index, number)) {
      c.fault = CollectorFault::kOutOfMemory;
      return false;
    }
  }
  return true;
}

#endif  // PYTHON_RECORD_PASSES_H_
