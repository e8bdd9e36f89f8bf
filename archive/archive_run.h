// The record loop of tlm2nc: every whole record goes once through the
// tools' own runs, and what they give is staged into the product.
//
// One sync search per subframe serves all the housekeeping runs: the six
// groups of each table and the generic group at every channel 0..107 of
// each table, each run keeping its own positions exactly as hkdump or
// hkrawdump run with that option would.  The two extractor runs (both
// detectors, and the carriage) each keep their own references and
// gain-ranging state as ifgextract with and without -c would.
#ifndef ARCHIVE_ARCHIVE_RUN_H_
#define ARCHIVE_ARCHIVE_RUN_H_

#include <cstdint>

#include "dump_run.h"
#include "product_layout.h"
#include "sample_run.h"
#include "subframe_time.h"

struct ArchiveRun {
  Product* product;
  bool dated;
  int64_t records;
  SampleRun samples;
  SampleRun carriage;
  DumpRun groups[kNamedGroups];
  DumpRun raw_groups[kNamedGroups];
  DumpRun channels[kChannelCount];
  DumpRun raw_channels[kChannelCount];
  // The numbers of the subframe's lines, kept until the next subframe:
  // where the counts of the values a dictionary names are read.
  DumpLine lines[kNamedGroups], raw_lines[kNamedGroups];
  int channel_words[kChannelCount], raw_channel_words[kChannelCount];
  const int* named_counts[kMaxDictionaryEntries];  // each named value's count in them
  DayCounter days;
  bool has_time;  // a subframe had a time: first_time and last_time hold
  int32_t first_time, last_time;
};

// Runs over the records into product, whose layout is defined.
void archive_run_init(ArchiveRun& run, Product& product, bool dated);

// The most records a product takes: record numbers are 32-bit.
constexpr int64_t kMaxRecords = INT32_MAX - 1;

// Stages one whole record, stored as read.
void archive_record(ArchiveRun& run, const unsigned char* record);

#endif  // ARCHIVE_ARCHIVE_RUN_H_
