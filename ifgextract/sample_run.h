// The extractor's run over the records of one input: the reference record,
// the notices and the samples of every pass.  ifgextract writes what a
// pass gives as text lines; the Python module hands it over as arrays.
//
// The first record only sets the references: the sync row of subframe 2
// and its status bit.  Every later record is decoded in three passes, one
// per subframe, all three at the sync row of subframe 2; a pass notes a
// lost lock when that row differs from the reference, and a status change
// when the status bit of its subframe differs.  Each notice makes the new
// value the reference.
#ifndef IFGEXTRACT_SAMPLE_RUN_H_
#define IFGEXTRACT_SAMPLE_RUN_H_

#include <cstdint>

#include "decode.h"

struct SampleRun {
  int64_t records;  // whole records taken; the number of the last one
  int sync_row;     // of the record being decoded
  int reference_sync_row;
  unsigned reference_status;
  Decoder decoder;
};

// What one pass over a subframe gives, besides the decoder's arrays.
struct SamplePass {
  bool lost_lock;
  bool status_changed;
  unsigned interferogram_number;
  unsigned status;  // the status bit, 0 or 0x20
  int count;        // entries of the decoder's arrays for the mode
};

// The two notices of a pass as numbers, where they are kept as data (the
// Python module, the products): "#lost lock" and "#status changed".
constexpr uint8_t kNoticeLostLock = 1;
constexpr uint8_t kNoticeStatusChanged = 2;

void sample_run_init(SampleRun& run, DecodeMode mode);

// Takes the next whole record, stored as read, and counts it.  Returns
// false for the first record, which only sets the references, and true
// when the record's three passes are to be made.
bool sample_run_record(SampleRun& run, const unsigned char* record);

// Pass over subframe index (0, 1, 2 in this order) of the record just
// taken: its notices, labels and decoded samples.
void sample_pass(SampleRun& run, const unsigned char* record, int index, SamplePass& pass);

#endif  // IFGEXTRACT_SAMPLE_RUN_H_
