#include "detection_scan.h"

#include <cstdio>

#include "console.h"

namespace {

void report_read_fault(ScanContext& c, ReadStatus status, const char* place) {
  char where[96];
  std::snprintf(where, sizeof where, "%s of entry %d", place, c.entry_index);
  message_read_fault(c.m, c.file_name, c.in, status, where);
}

bool read_checked(ScanContext& c, const GroupField* fields, int count, const char* place) {
  const ReadStatus status = read_group(c.in, fields, count);
  if (status == ReadStatus::ok) return true;
  report_read_fault(c, status, place);
  return false;
}

bool read_header(ScanContext& c, int32_t* header, const char* place) {
  const GroupField field{ValueKind::integer, 3, header, nullptr};
  return read_checked(c, &field, 1, place);
}

// A count line; a count beyond the store is refused before its values.
bool read_count_line(ScanContext& c, CountLine& line, int store_size, const char* place,
                     const char* count_name) {
  const GroupField fields[] = {
      {ValueKind::integer, 1, &line.count, nullptr},
      {ValueKind::real, 2, nullptr, line.reals},
      {ValueKind::integer, 1, &line.last, nullptr},
  };
  if (!read_checked(c, fields, 3, place)) return false;
  if (line.count <= store_size) return true;
  message_printf(c.m, "%s:%ld: %s %d of entry %d is more than the %d values that can be held",
                 c.file_name, c.in.group_line > 0 ? c.in.group_line : c.in.line - 1, count_name,
                 line.count, c.entry_index, store_size);
  return false;
}

bool read_values(ScanContext& c, float* store, int count, const char* place) {
  const GroupField field{ValueKind::real, count, nullptr, store};
  return read_checked(c, &field, 1, place);
}

// Single reals, one read group each.
bool read_tail(ScanContext& c, float* tail, int count, const char* place) {
  for (int i = 0; i < count; ++i) {
    const GroupField field{ValueKind::real, 1, nullptr, tail + i};
    if (!read_checked(c, &field, 1, place)) return false;
  }
  return true;
}

// Groups 2 to 7, after the header.
bool read_interferogram_block(ScanContext& c, DetectionEntry& e) {
  return read_count_line(c, e.samples_line, kSampleStoreSize, "the sample count line",
                         "sample count") &&
         read_values(c, e.samples, e.samples_line.count, "the interferogram samples") &&
         read_tail(c, e.interferogram_tail, 4, "the interferogram tail");
}

// Groups 9 to 16, after the header.
bool read_spectrum_block(ScanContext& c, DetectionEntry& e) {
  return read_count_line(c, e.spectrum_line, kSpectrumStoreSize, "the spectrum count line",
                         "spectrum value count") &&
         read_values(c, e.spectrum, e.spectrum_line.count, "the spectrum values") &&
         read_tail(c, e.spectrum_tail, 6, "the spectrum tail");
}

}  // namespace

EntryPart read_entry_head(ScanContext& c, DetectionEntry& e) {
  // Group 1: an end of file here is the normal end of the scan.
  const GroupField field{ValueKind::integer, 3, e.header, nullptr};
  const ReadStatus status = read_group(c.in, &field, 1);
  if (status == ReadStatus::end_of_file) return EntryPart::ended;
  if (status != ReadStatus::ok) {
    report_read_fault(c, status, "the interferogram header");
    return EntryPart::fault;
  }
  for (int i = 0; i < 3; ++i) e.first_header[i] = e.header[i];
  if (!read_interferogram_block(c, e) || !read_header(c, e.header, "the spectrum header")) {
    return EntryPart::fault;
  }
  return EntryPart::ok;
}

bool read_entry_spectrum(ScanContext& c, DetectionEntry& e) { return read_spectrum_block(c, e); }

ScanOutcome scan_detection_file(FreeFormReader& in, const char* file_name, int32_t request,
                                DetectionEntry& e, OutBuffer& out, ScanSummary& summary,
                                Message& m) {
  summary = ScanSummary{0, false, false};
  ScanContext c{in, file_name, 0, m};
  for (c.entry_index = 1; c.entry_index <= kMaxEntries; ++c.entry_index) {
    const EntryPart head = read_entry_head(c, e);
    if (head == EntryPart::ended) return ScanOutcome::no_match;
    if (head == EntryPart::fault) return ScanOutcome::fault;
    write_progress(out, e.header[2]);
    if (!read_entry_spectrum(c, e)) return ScanOutcome::fault;
    summary.entries_read = c.entry_index;
    if (e.header[2] == request) return ScanOutcome::matched;
  }
  // Looking past the last entry only serves the no-match report; a read
  // error there is not a fault of the scan, which has ended.
  summary.stopped_at_limit = true;
  if (reader_has_more_text(in, summary.text_left) != ReadStatus::ok) summary.text_left = false;
  return ScanOutcome::no_match;
}
