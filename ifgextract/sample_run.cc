#include "sample_run.h"

#include "format/channels.h"

using namespace tlmframe;

namespace {

// All three passes of a record look at the sync row of subframe 2.
int record_sync_row(const unsigned char* record) {
  return find_sync_row(stored_subframe(record, 2));
}

unsigned status_bit(const unsigned char* record, int index, int sync_row) {
  return read_dc_flags(record, index, sync_row) & kStatusBit;
}

}  // namespace

void sample_run_init(SampleRun& run, DecodeMode mode) {
  run.records = 0;
  run.sync_row = -1;
  run.reference_sync_row = -1;
  run.reference_status = 0;
  decoder_init(run.decoder, mode);
}

bool sample_run_record(SampleRun& run, const unsigned char* record) {
  ++run.records;
  run.sync_row = record_sync_row(record);
  if (run.records > 1) return true;
  run.reference_sync_row = run.sync_row;
  run.reference_status = status_bit(record, 2, run.sync_row);
  return false;
}

void sample_pass(SampleRun& run, const unsigned char* record, int index, SamplePass& pass) {
  pass.lost_lock = run.sync_row != run.reference_sync_row;
  run.reference_sync_row = run.sync_row;
  pass.status = status_bit(record, index, run.sync_row);
  pass.status_changed = pass.status != run.reference_status;
  run.reference_status = pass.status;
  pass.interferogram_number = read_interferogram_number(record, index, run.sync_row);
  pass.count = decode_subframe(run.decoder, record, index);
}
