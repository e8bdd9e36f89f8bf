#include "retrieve_run.h"

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
  return kRetrieveFault;
}

void report_no_match(int32_t request, const ScanSummary& summary) {
  if (summary.stopped_at_limit && summary.text_left) {
    diag_printf(console,
                "retrieve: no entry of %s carries interferogram number %d (%d entries read; "
                "the scan stops at the limit of %d entries and the file holds more)\n",
                kDetectionFile, request, summary.entries_read, kMaxEntries);
  } else {
    diag_printf(console, "retrieve: no entry of %s carries interferogram number %d (%d %s read)\n",
                kDetectionFile, request, summary.entries_read,
                summary.entries_read == 1 ? "entry" : "entries");
  }
}

// From the open detection file to the end of the run.
int scan_and_write(int32_t request) {
  ScanSummary summary;
  const ScanOutcome outcome =
      scan_detection_file(detections, kDetectionFile, request, entry, console, summary, fault);
  if (outcome == ScanOutcome::fault) return stop(fault);
  if (outcome == ScanOutcome::matched && !write_entry_files(entry, value_file, console, fault)) {
    return stop(fault);
  }
  write_finished(console);
  if (!finish_output(console, "retrieve")) return kRetrieveFault;
  if (outcome == ScanOutcome::no_match) {
    report_no_match(request, summary);
    return kRetrieveNoMatch;
  }
  return kRetrieveWritten;
}

}  // namespace

int retrieve_main() {
  // An entry's variables start at zero, as in a fresh process: a null
  // value in the first entry leaves a zero, never a value of an earlier run.
  entry = DetectionEntry{};
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
  const int status = scan_and_write(request);
  close(fd);
  return status;
}
