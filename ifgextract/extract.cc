#include "extract.h"

#include <fcntl.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>

#include "diag.h"
#include "format/channels.h"
#include "int_format.h"
#include "out_buffer.h"
#include "record_reader.h"
#include "sample_lines.h"

namespace {

constexpr const char kProgram[] = "ifgextract";
constexpr const char kHelp[] =
    "\tpreset for 2 detectors\n"
    "\tc\tcarriage\n"
    "\th\thelp\n";

// The run's buffers, large and reused for every record.
OutBuffer g_out;
RecordReader g_reader;
TelemetryRecord g_record;
Decoder g_decoder;

// Loop state: the record counter and the sync row and status bit that the
// notices compare with.
struct LoopState {
  int64_t record_counter;
  int reference_sync_row;
  unsigned reference_status;
};

// Reports why the input ended and gives the exit status.
int report_read_end(long count, int64_t record_counter) {
  int status = kExitFailure;
  if (count == 0) {
    diag_printf(g_out, "No bytes read at record %" PRId64 "\n", record_counter);
    status = kExitOk;
  } else if (count < 0) {
    diag_printf(g_out, "Error reading at record %" PRId64 "\n", record_counter);
  } else {
    diag_printf(g_out, "Byte mismatch reading at record %" PRId64 "\n", record_counter);
  }
  if (!finish_output(g_out, kProgram)) status = kExitFailure;
  return status;
}

void write_record_number(int64_t record_counter) {
  char* p = out_reserve(g_out, kMaxIntChars + 1);
  p = format_int(p, record_counter);
  *p++ = '\n';
  out_commit(g_out, p);
}

// One pass: notices, then the samples of subframe index of the current record.
void extract_pass(LoopState& state, int index, int sync_row) {
  if (sync_row != state.reference_sync_row) {
    out_puts(g_out, "#lost lock\n");
    state.reference_sync_row = sync_row;
  }
  const unsigned status = read_dc_flags(g_record, index, sync_row) & kStatusBit;
  if (status != state.reference_status) {
    out_puts(g_out, "#status changed\n");
    state.reference_status = status;
  }
  const int n = decode_subframe(g_decoder, g_record, index);
  LinePrefix prefix;
  make_line_prefix(prefix, state.record_counter, index,
                   read_interferogram_number(g_record, index, sync_row), status);
  char* p = out_reserve(g_out, max_sample_lines_bytes(n));
  if (g_decoder.mode == DecodeMode::kCarriage) {
    p = write_carriage_lines(p, prefix, g_decoder.carriage_samples, n);
  } else {
    p = write_detector_lines(p, prefix, g_decoder.detector1_samples,
                             g_decoder.detector2_samples, n);
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
      case 'c':
        settings.mode = DecodeMode::kCarriage;
        break;
      case 'h':
        std::fputs(kHelp, stderr);
        return kExitOk;
      case 'F':
        settings.input = optarg;
        if (access(optarg, F_OK) != 0) {
          std::perror(optarg);
          return kExitFailure;
        }
        break;
      default:
        break;  // getopt has said what was wrong; the option is ignored
    }
  }
  return -1;
}

namespace {

// The reference record, then the record loop, to the end of the input.
int extract_records(int fd, DecodeMode mode) {
  reader_init(g_reader, fd);
  decoder_init(g_decoder, mode);

  // The first record only sets the references; its samples are not printed.
  LoopState state{1, -1, 0};
  long count = read_record(g_reader, g_record);
  if (count != kRecordBytes) return report_read_end(count, state.record_counter);
  swap_record(g_record);
  state.reference_sync_row = find_sync_row(subframe(g_record, 2));
  state.reference_status = read_dc_flags(g_record, 2, state.reference_sync_row) & kStatusBit;

  for (;;) {
    write_record_number(state.record_counter);
    out_end_record(g_out);
    if (g_out.error != 0) break;
    ++state.record_counter;
    count = read_record(g_reader, g_record);
    if (count != kRecordBytes) return report_read_end(count, state.record_counter);
    swap_record(g_record);
    // All three passes take the sync row of subframe 2.
    const int sync_row = find_sync_row(subframe(g_record, 2));
    for (int index = 0; index < kSubframeCount; ++index) extract_pass(state, index, sync_row);
  }
  finish_output(g_out, kProgram);
  return kExitFailure;
}

}  // namespace

int run_extract(const ExtractSettings& settings) {
  out_init(g_out, STDOUT_FILENO);
  const int fd = settings.input ? open(settings.input, O_RDONLY) : -1;
  if (fd < 0) {
    std::fputs("Error opening file\n", stderr);
    return kExitOpenFailed;
  }
  const int status = extract_records(fd, settings.mode);
  close(fd);
  return status;
}

int ifgextract_main(int argc, char** argv) {
  ExtractSettings settings;
  const int status = parse_extract_options(argc, argv, settings);
  if (status >= 0) return status;
  return run_extract(settings);
}
