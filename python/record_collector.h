// Whole records as arrays: the subframe words in host order, the trailer
// bytes as stored, and the sync row of every subframe, read from each
// record where the reader holds it.  start and count pick the records kept.
#ifndef PYTHON_RECORD_COLLECTOR_H_
#define PYTHON_RECORD_COLLECTOR_H_

#include <cstdint>

#include "growing_array.h"
#include "record_passes.h"

struct RecordCollector {
  int64_t start;           // records to pass over first
  int64_t count;           // records to keep at most; -1 for all
  int64_t seen;            // whole records taken so far
  GrowingArray subframes;  // 3 x 108 x 16 uint16 per record
  GrowingArray trailers;   // 384 bytes per record
  GrowingArray sync_rows;  // 3 int16 per record
  CollectorFault fault;
};

void collector_init(RecordCollector& c, int64_t start, int64_t count);

// True while more records are wanted.
bool collector_wants_more(const RecordCollector& c);

// Takes one whole record, stored as read.  False when no more are wanted
// or its rows could not be stored.
bool collect_record(RecordCollector& c, const unsigned char* record);

void collector_free(RecordCollector& c);

#endif  // PYTHON_RECORD_COLLECTOR_H_
