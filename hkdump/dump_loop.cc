#include "dump_loop.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "diag.h"
#include "dump_run.h"
#include "int_format.h"
#include "out_buffer.h"
#include "record_reader.h"

using namespace tlmframe;

namespace {

// The run's buffers, large and reused for every record.  Records are
// looked at where the reader holds them, in the file's byte order: a line
// needs a few dozen of a record's 5376 words, so they are put in host order
// one by one as they are read.
OutBuffer g_out;
RecordReader g_reader;
DumpRun g_run;

constexpr InputEndTexts kInputEnd = {"No data", "Mismatch data", "Read error"};

// The line prefix, "%x %5d %d\t", is at most this long.
constexpr size_t kMaxPrefixBytes = 4 + 1 + kMaxIntChars + 1 + 1 + 1;

// The line of a group that reports a channel position when it moves:
// "ait affset %d\n", before the data line of that subframe.
void write_reported_position(int position) {
  out_puts(g_out, "ait affset ");
  char* p = out_reserve(g_out, kMaxIntChars + 1);
  p = format_int(p, position);
  *p++ = '\n';
  out_commit(g_out, p);
}

// " %5d ": the record number as the three lines of a record show it,
// made once per record.
struct RecordText {
  char text[kMaxIntChars + 4];  // copied whole
  size_t length;
};

void make_record_text(RecordText& r, int64_t record_number) {
  r.text[0] = ' ';
  char* p = format_int_width(r.text + 1, record_number, 5);
  *p++ = ' ';
  r.length = static_cast<size_t>(p - r.text);
}

// "%x %5d %d\t" and the group's values: the word in column 0 of the sync
// row (the sync word when there is one), the record number, the subframe.
void write_line(const DumpLine& line, const RecordText& record, int index) {
  if (line.reports_position) write_reported_position(line.reported_position);
  char* p = out_reserve(g_out, kMaxPrefixBytes + sizeof record.text + kMaxGroupTextBytes);
  p = format_hex(p, line.sync_word);
  std::memcpy(p, record.text, sizeof record.text);
  p += record.length;
  *p++ = static_cast<char>('0' + index);
  *p++ = '\t';
  const ChannelGroup& group = *g_run.group;
  p = group.write(p, line.values, group.value_count, g_run.hex);
  out_commit(g_out, p);
}

// The record loop, to the end of the input.
int dump_records(int fd) {
  reader_init(g_reader, fd);
  for (;;) {
    const unsigned char* record = nullptr;
    const long count = next_stored_record(g_reader, &record);
    if (count != kRecordBytes) {
      return report_input_end(g_out, kInputEnd, count, g_run.records + 1, g_run.table->program);
    }
    dump_run_record(g_run);
    RecordText number;
    make_record_text(number, g_run.records);
    for (int index = 0; index < kSubframeCount; ++index) {
      DumpLine line;
      dump_subframe(g_run, record, index, line);
      write_line(line, number, index);
    }
    out_end_record(g_out);
    if (g_out.error != 0) break;
  }
  finish_output(g_out, g_run.table->program);
  return kExitFailure;
}

}  // namespace

int run_dump(const DumpSettings& settings, const GroupTable& table) {
  const ChannelGroup* group = find_group(table, settings.group);
  if (group == nullptr) return kExitUsage;
  const int fd = open(settings.input, O_RDONLY);
  if (fd < 0) {
    diag_perror(g_out, settings.input);
    return kExitFailure;
  }
  dump_run_init(g_run, table, *group, settings.format_offset, settings.hex);
  const int status = dump_records(fd);
  close(fd);
  return status;
}

int hkdump_main(int argc, char** argv, const GroupTable& table) {
  out_init(g_out, STDOUT_FILENO);
  DumpSettings settings;
  const int status = parse_dump_options(argc, argv, settings, g_out);
  if (status >= 0) return status;
  return run_dump(settings, table);
}
