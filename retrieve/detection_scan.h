// The scan of the detection file: entry after entry, one progress line
// each, until the entry that carries the requested interferogram number.
//
// An entry is 16 read groups.  Groups 1 to 7 are its interferogram block:
// a header of three integers, a count line (sample count, real, real,
// integer), the samples, and four single reals.  Groups 8 to 16 are its
// spectrum block of the same shape, with six single reals at the end.  The
// third integer of the spectrum header is the entry's interferogram number;
// both headers are read into the same variables, so the interferogram
// header's number stands only where the spectrum header leaves it null.
#ifndef RETRIEVE_DETECTION_SCAN_H_
#define RETRIEVE_DETECTION_SCAN_H_

#include <cstdint>

#include "fault_message.h"
#include "free_form_reader.h"
#include "out_buffer.h"

constexpr int kSampleStoreSize = 500;
constexpr int kSpectrumStoreSize = 25000;
constexpr int kMaxEntries = 1000;

// The count line that heads the values of a block.
struct CountLine {
  int32_t count;
  float reals[2];  // kept for the module and det2nc; retrieve does not use them
  int32_t last;    // the same
};

// The entry being read.  Its variables live for the whole run, so a null
// value keeps what the previous entry put there.
struct DetectionEntry {
  int32_t header[3];        // [2] is the interferogram number
  int32_t first_header[3];  // the interferogram header as read, before the spectrum header
  CountLine samples_line;
  float interferogram_tail[4];  // not used
  CountLine spectrum_line;
  float spectrum_tail[6];  // not used
  float samples[kSampleStoreSize];
  float spectrum[kSpectrumStoreSize];
};

// What reading an entry needs: the input, its name in messages, the
// entry's index (from 1) and where a fault is reported.
struct ScanContext {
  FreeFormReader& in;
  const char* file_name;
  int entry_index;
  Message& m;
};

enum class EntryPart { ok, ended, fault };

// Groups 1 to 8 of the next entry: its interferogram header and block and
// its spectrum header.  ended when the input ends inside group 1.
EntryPart read_entry_head(ScanContext& c, DetectionEntry& e);

// Groups 9 to 16: the spectrum block.
bool read_entry_spectrum(ScanContext& c, DetectionEntry& e);

enum class ScanOutcome { matched, no_match, fault };

struct ScanSummary {
  int entries_read;
  bool stopped_at_limit;  // the limit of entries was reached...
  bool text_left;         // ...with more than blanks left in the file
};

// Scans from the reader's position; entry holds the matching entry when the
// outcome is matched, and m the report when it is fault.
ScanOutcome scan_detection_file(FreeFormReader& in, const char* file_name, int32_t request,
                                DetectionEntry& entry, OutBuffer& out, ScanSummary& summary,
                                Message& m);

#endif  // RETRIEVE_DETECTION_SCAN_H_
