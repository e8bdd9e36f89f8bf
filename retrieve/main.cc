// retrieve: asks for an interferogram number, scans the detection file
// "all.det" in the current folder and writes the first entry that carries
// the number to "interferogram.dat" and "spectrum.dat".
//
// Exit status: 0 the entry was written, 1 no entry carried the number,
// 2 a fault (reported in one line on standard error).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "console.h"
#include "detection_scan.h"
#include "diag.h"
#include "output_files.h"

namespace {

constexpr const char* kDetectionFile = "all.det";

// The run's state, all of it fixed in size.
OutBuffer console;
FreeFormReader answer;
FreeFormReader detections;
DetectionEntry entry;
ValueFile value_file;
Message fault;

int stop(const Message& m) {
  diag_printf(console, "retrieve: %s\n", m.text);
  return 2;
}

void report_no_match(int32_t request, const ScanSummary& summary) {
  Message m;
  message_clear(m);
  message_add(m, "no entry of ");
  message_add(m, kDetectionFile);
  message_add(m, " carries interferogram number ");
  message_add_int(m, request);
  message_add(m, " (");
  message_add_int(m, summary.entries_read);
  message_add(m, summary.entries_read == 1 ? " entry read" : " entries read");
  if (summary.stopped_at_limit && summary.text_left) {
    message_add(m, "; the scan stops at the limit of ");
    message_add_int(m, kMaxEntries);
    message_add(m, " entries and the file holds more");
  }
  message_add(m, ")");
  diag_printf(console, "retrieve: %s\n", m.text);
}

}  // namespace

int main() {
  out_init(console, STDOUT_FILENO);
  write_banner(console);
  int32_t request = 0;
  reader_init(answer, STDIN_FILENO);
  if (!ask_request(console, answer, request, fault)) return stop(fault);
  write_processing(console);

  const int fd = open(kDetectionFile, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    message_system_error(fault, kDetectionFile, errno);
    return stop(fault);
  }
  reader_init(detections, fd);
  ScanSummary summary;
  const ScanOutcome outcome =
      scan_detection_file(detections, kDetectionFile, request, entry, console, summary, fault);
  if (outcome == ScanOutcome::fault) return stop(fault);
  if (outcome == ScanOutcome::matched && !write_entry_files(entry, value_file, console, fault)) {
    return stop(fault);
  }
  close(fd);

  write_finished(console);
  if (!finish_output(console, "retrieve")) return 2;
  if (outcome == ScanOutcome::no_match) {
    report_no_match(request, summary);
    return 1;
  }
  return 0;
}
