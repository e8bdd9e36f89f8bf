#include "extract.h"

#include <fcntl.h>
#include <unistd.h>

#include "diag.h"
#include "int_format.h"
#include "out_buffer.h"
#include "record_reader.h"
#include "sample_lines.h"
#include "sample_run.h"

using namespace tlmframe;

namespace {

constexpr const char kProgram[] = "ifgextract";
constexpr const char kHelp[] =
    "\tpreset for 2 detectors\n"
    "\tc\tcarriage\n"
    "\th\thelp\n";

constexpr InputEndTexts kInputEnd = {"No bytes read", "Byte mismatch reading", "Error reading"};

// The run's buffers, large and reused for every record.
OutBuffer g_out;
RecordReader g_reader;
SampleRun g_run;

void write_record_number(int64_t record_counter) {
  char* p = out_reserve(g_out, kMaxIntChars + 1);
  p = format_int(p, record_counter);
  *p++ = '\n';
  out_commit(g_out, p);
}

// The notices and sample lines of one pass.
void write_pass(const SamplePass& pass, int index) {
  if (pass.lost_lock) out_puts(g_out, "#lost lock\n");
  if (pass.status_changed) out_puts(g_out, "#status changed\n");
  LinePrefix prefix;
  make_line_prefix(prefix, g_run.records, index, pass.interferogram_number, pass.status);
  char* p = out_reserve(g_out, max_sample_lines_bytes(pass.count));
  const Decoder& d = g_run.decoder;
  if (d.mode == DecodeMode::kCarriage) {
    p = write_carriage_lines(p, prefix, d.carriage_samples, pass.count);
  } else {
    p = write_detector_lines(p, prefix, d.detector1_samples, d.detector2_samples, pass.count);
  }
  out_commit(g_out, p);
}

}  // namespace

int parse_extract_options(int argc, char** argv, ExtractSettings& settings) {
  settings.mode = DecodeMode::kTwoDetector;
  settings.input = nullptr;
  optind = 0;  // start afresh, also when called more than once in a process
  int c;
  while ((c = getopt(argc, argv, "hcF:")) != -1) {
    switch (c) {
      case 'c': settings.mode = DecodeMode::kCarriage; break;
      case 'h': diag_puts(g_out, kHelp); return kExitOk;
      case 'F':
        settings.input = optarg;
        if (access(optarg, F_OK) != 0) {
          diag_perror(g_out, optarg);
          return kExitFailure;
        }
        break;
      default: break;  // getopt has said what was wrong; the option is ignored
    }
  }
  return -1;
}

namespace {

// Every record to the end of the input: the first sets the references,
// the others are printed pass by pass; each ends with its number.
int extract_records(int fd, DecodeMode mode) {
  reader_init(g_reader, fd);
  sample_run_init(g_run, mode);
  for (;;) {
    const unsigned char* record = nullptr;
    const long count = next_stored_record(g_reader, &record);
    if (count != kRecordBytes) {
      return report_input_end(g_out, kInputEnd, count, g_run.records + 1, kProgram);
    }
    if (sample_run_record(g_run, record)) {
      for (int index = 0; index < kSubframeCount; ++index) {
        SamplePass pass;
        sample_pass(g_run, record, index, pass);
        write_pass(pass, index);
      }
    }
    write_record_number(g_run.records);
    out_end_record(g_out);
    if (g_out.error != 0) break;
  }
  finish_output(g_out, kProgram);
  return kExitFailure;
}

}  // namespace

int run_extract(const ExtractSettings& settings) {
  const int fd = settings.input ? open(settings.input, O_RDONLY) : -1;
  if (fd < 0) {
    diag_puts(g_out, "Error opening file\n");
    return kExitOpenFailed;
  }
  const int status = extract_records(fd, settings.mode);
  close(fd);
  return status;
}

int ifgextract_main(int argc, char** argv) {
  out_init(g_out, STDOUT_FILENO);
  ExtractSettings settings;
  const int status = parse_extract_options(argc, argv, settings);
  if (status >= 0) return status;
  return run_extract(settings);
}
