#include "dump_loop.h"

#include <fcntl.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdint>

#include "diag.h"
#include "int_format.h"
#include "out_buffer.h"
#include "record_reader.h"

namespace {

// The run's buffers, large and reused for every record.  Records are
// looked at where the reader holds them, in the file's byte order: a line
// needs a few dozen of a record's 5376 words, so they are put in host order
// one by one as they are read, which gives the values of a swapped record
// without copying and swapping the rest.
OutBuffer g_out;
RecordReader g_reader;

// The line prefix, "%x %5d %d\t", is at most this long.
constexpr size_t kMaxPrefixBytes = 4 + 1 + kMaxIntChars + 1 + 1 + 1;

struct DumpState {
  int64_t record_number;  // counts reads, so the first record is 1
  int last_sync_row;      // the sync row the channel positions were placed for
};

// Reports why the input ended and gives the exit status.
int report_read_end(long count, int64_t record_number, const char* program) {
  int status = kExitFailure;
  if (count == 0) {
    diag_printf(g_out, "No data at record %" PRId64 "\n", record_number);
    status = kExitOk;
  } else if (count < 0) {
    diag_printf(g_out, "Read error at record %" PRId64 "\n", record_number);
  } else {
    diag_printf(g_out, "Mismatch data at record %" PRId64 "\n", record_number);
  }
  if (!finish_output(g_out, program)) status = kExitFailure;
  return status;
}

// "%x %5d %d\t": the word in column 0 of the sync row (the sync word when
// there is one), the record number and the subframe index.
char* write_line_prefix(char* p, StoredSubframe sf, int sync_row, int64_t record_number, int index) {
  p = format_hex(p, stored_subframe_word(sf, static_cast<int64_t>(sync_row) * kWordsPerRow));
  *p++ = ' ';
  p = format_int_width(p, record_number, 5);
  *p++ = ' ';
  *p++ = static_cast<char>('0' + index);
  *p++ = '\t';
  return p;
}

// One line for subframe index of the current record.  Each subframe has
// its own sync search; the positions follow only when the row moves.
void dump_subframe(DumpState& state, const ChannelGroup& group, const DumpSettings& settings,
                   const unsigned char* record, int index) {
  const StoredSubframe sf = stored_subframe(record, index);
  const int sync_row = find_sync_row(sf);
  if (sync_row != state.last_sync_row) {
    state.last_sync_row = sync_row;
    group.update_positions(sync_row, settings.format_offset, g_out);
  }
  char* p = out_reserve(g_out, kMaxPrefixBytes + kMaxGroupTextBytes);
  p = write_line_prefix(p, sf, sync_row, state.record_number, index);
  p = group.print_channels(p, sf, settings.hex_flag);
  out_commit(g_out, p);
}

// The record loop, to the end of the input.
int dump_records(int fd, const ChannelGroup& group, const DumpSettings& settings,
                 const GroupTable& table) {
  reader_init(g_reader, fd);
  reset_group_positions();
  DumpState state{0, -1};
  for (;;) {
    ++state.record_number;
    const unsigned char* record = nullptr;
    const long count = next_stored_record(g_reader, &record);
    if (count != kRecordBytes) return report_read_end(count, state.record_number, table.program);
    for (int index = 0; index < kSubframeCount; ++index) {
      dump_subframe(state, group, settings, record, index);
    }
    out_end_record(g_out);
    if (g_out.error != 0) break;
  }
  finish_output(g_out, table.program);
  return kExitFailure;
}

}  // namespace

int run_dump(const DumpSettings& settings, const GroupTable& table) {
  const ChannelGroup* group = find_group(table, settings.group_code);
  if (group == nullptr) return kExitUsage;
  const int fd = open(settings.input, O_RDONLY);
  if (fd < 0) {
    diag_perror(g_out, settings.input);
    return kExitFailure;
  }
  const int status = dump_records(fd, *group, settings, table);
  close(fd);
  return status;
}

int hkdump_main(int argc, char** argv, const GroupTable& table) {
  out_init(g_out, STDOUT_FILENO);
  DumpSettings settings;
  const int status = parse_dump_options(argc, argv, settings);
  if (status >= 0) return status;
  return run_dump(settings, table);
}
