// Any bytes as a raw telemetry file through the housekeeping dump, built
// twice: with the engineering table (hkdump_fuzz) and with the raw table
// (hkrawdump_fuzz).  The first bytes choose the command line: the channel
// group, -X, an ignored operand, and for the generic group a channel
// number of any size or sign, written plainly, beyond the int range, or
// with blanks, a sign and trailing text.
//
// Beyond not crashing: the same input gives the same output and status
// twice; the status says whether the file ended on a record boundary;
// every line is a data line of the group's shape (line prefix, time prefix
// in the engineering build, values in their ranges) or, in the raw build's
// mask temperature group only, an offset report; and every whole record
// gives exactly three data lines, subframes 0, 1, 2, records counted from 1.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "dump_loop.h"
#include "fuzz_support.h"
#include "line_cursor.h"
#include "record.h"

namespace {

constexpr size_t kOptionBytes = 5;

const bool kRaw = std::string_view(GROUP_TABLE.program) == "hkrawdump";

struct Choice {
  char group;  // the group's option letter
  bool hex;
  std::vector<std::string> argv;
};

std::string format_offset_text(const uint8_t* data) {
  int32_t v;
  std::memcpy(&v, data + 1, sizeof v);
  switch (data[0] >> 6) {
    case 0: return std::to_string(v);
    case 1: return std::to_string(static_cast<int>(data[1]) - 128);  // rows near the subframe
    case 2: return std::to_string(v) + "000000";                     // beyond the int range
    default: return " \t+" + std::to_string(v % 1000) + "x7";
  }
}

Choice choose(const uint8_t* data, const std::string& path) {
  static constexpr char kLetters[] = "fspmvxgg";
  Choice c{kLetters[data[0] & 7], (data[0] & 8) != 0, {GROUP_TABLE.program}};
  if (c.hex && (data[0] & 32)) c.argv.push_back("-X");
  c.argv.push_back(std::string("-") + c.group);
  if (c.group == 'g') c.argv.push_back(format_offset_text(data));
  if (data[0] & 16) c.argv.push_back("operand");
  c.argv.push_back("-F");
  c.argv.push_back(path);
  if (c.hex && !(data[0] & 32)) c.argv.push_back("-X");
  return c;
}

// The engineering time prefix: "%4d\t%2d %2d %2d\t".
bool take_time_prefix(LineCursor& c) {
  return take_int(c, 4, 0, 65535) && take_literal(c, "\t") && take_int(c, 2, 0, 165) &&
         take_literal(c, " ") && take_int(c, 2, 0, 165) && take_literal(c, " ") &&
         take_int(c, 2, 0, 165) && take_literal(c, "\t");
}

bool take_engineering_values(LineCursor& c, char group) {
  switch (group) {
    case 'f':
      return take_int_list(c, 3, 0, 4095) && take_literal(c, " ") && take_int(c, 1, -65535, 65535);
    case 's': return take_int_list(c, 6, 0, 4095);
    case 'p':
      return take_int_list(c, 2, 0, 4095) && take_literal(c, " ") && take_int_list(c, 2, 0, 1023);
    case 'm':
      return take_literal(c, "| ") && take_int(c, 4, 0, 4095) && take_literal(c, " ") &&
             take_int(c, 4, 0, 4095) && take_literal(c, " | ") && take_int(c, 4, 0, 1023) &&
             take_literal(c, " | ") && take_int(c, 4, 0, 4095) && take_literal(c, " ") &&
             take_int(c, 4, 0, 4095) && take_literal(c, " | ") && take_int(c, 4, 0, 4095) &&
             take_literal(c, " ") && take_int(c, 4, 0, 4095) && take_literal(c, " | ") &&
             take_int(c, 2, 0, 1) && take_literal(c, " |");
    case 'v': return take_int_list(c, 4, 0, 4095);
    case 'x':
      for (int i = 0; i < 6; ++i) {
        if (i > 0 && !take_literal(c, " ")) return false;
        if (!take_int(c, 1, 0, 1) || !take_literal(c, " 0")) return false;
      }
      return true;
    default: return false;
  }
}

bool take_raw_values(LineCursor& c, char group) {
  switch (group) {
    case 'f': return take_hex_list(c, 5);
    case 's': return take_hex_list(c, 6);
    case 'm': return take_hex_list(c, 8);
    case 'p':
    case 'v': return take_hex_list(c, 4);
    case 'x': return take_hex_list(c, 6);
    default: return false;
  }
}

// The values after the line prefix.
bool take_group_values(LineCursor& c, const Choice& choice) {
  if (choice.group == 'g') {
    return choice.hex ? take_hex_word(c) : take_int(c, 1, 0, 65535);
  }
  if (kRaw) return take_raw_values(c, choice.group);
  return take_time_prefix(c) && take_engineering_values(c, choice.group);
}

// "ait affset N": the word position of a channel in column 4 of a row
// 0..107 (the row of channel 19 for any sync row, -1 included).
bool is_offset_report(std::string_view line) {
  LineCursor c{line, 0};
  if (!take_literal(c, "ait affset ") || !take_int(c, 1, 4, 107 * 16 + 4)) return false;
  return at_end(c) && std::stoi(std::string(line.substr(11))) % 16 == 4;
}

void check_output(const std::string& out, const Choice& choice, size_t whole_records) {
  size_t data_lines = 0;
  for_each_line(out, [&](std::string_view line) {
    if (line.rfind("ait", 0) == 0) {
      fuzz_require(kRaw && choice.group == 'm', "offset report only in the raw mask group",
                   line);
      fuzz_require(is_offset_report(line), "offset report shape", line);
      return;
    }
    const int64_t record = static_cast<int64_t>(data_lines / 3) + 1;
    const int subframe = static_cast<int>(data_lines % 3);
    ++data_lines;
    LineCursor c{line, 0};
    fuzz_require(take_hex_word(c) && take_literal(c, " ") && take_int(c, 5, record, record) &&
                     take_literal(c, " ") && take_int(c, 1, subframe, subframe) &&
                     take_literal(c, "\t"),
                 "line prefix: word, record, subframe in order", line);
    fuzz_require(take_group_values(c, choice) && at_end(c), "group values", line);
  });
  fuzz_require(data_lines == 3 * whole_records, "three lines per whole record", "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kOptionBytes) return 0;
  const size_t file_size = size - kOptionBytes;
  MemoryFile file = memory_file(data + kOptionBytes, file_size);
  const Choice choice = choose(data, file.path);
  auto dump_main = [](int argc, char** argv) { return hkdump_main(argc, argv, GROUP_TABLE); };
  const ProgramResult first = run_in_process(dump_main, choice.argv);
  const ProgramResult second = run_in_process(dump_main, choice.argv);
  close_memory_file(file);
  fuzz_require(first.out == second.out && first.status == second.status, "same output twice", "");
  const bool whole = file_size % tlmframe::kRecordBytes == 0;
  fuzz_require(first.status == (whole ? 0 : 1), "status 0 at a record boundary, else 1",
               std::to_string(first.status));
  check_output(first.out, choice, file_size / tlmframe::kRecordBytes);
  return 0;
}
