// Any bytes as a raw telemetry file through ifgextract, in either mode.
// Beyond not crashing: the same input gives the same output twice; every
// line is a record number, a notice or a sample line of the mode's shape;
// no pass writes more than 432 sample lines.
#include <cstdint>
#include <string>
#include <vector>

#include "extract.h"
#include "fuzz_support.h"

namespace {

// Splits a sample line into its fields at the single blanks between them,
// taking the right-aligned padding of each field with it.  False when the
// line does not have exactly count fields.
bool split_sample_line(std::string_view line, size_t count, std::string_view* fields) {
  static constexpr size_t kWidths[6] = {5, 1, 5, 0, 5, 5};
  size_t pos = 0;
  for (size_t f = 0; f < count; ++f) {
    size_t end = pos;
    while (end < line.size() && line[end] == ' ' && end - pos < kWidths[f]) ++end;
    while (end < line.size() && line[end] != ' ') ++end;
    fields[f] = line.substr(pos, end - pos);
    if (f + 1 < count) {
      if (end >= line.size()) return false;
      ++end;  // the separating blank
    }
    pos = end;
  }
  return pos == line.size();
}

void check_output(const std::string& out, bool carriage) {
  std::string_view fields[6];
  std::string_view pass_key;
  int pass_lines = 0;
  for_each_line(out, [&](std::string_view line) {
    if (line == "#lost lock" || line == "#status changed") return;
    if (line.find(' ') == std::string_view::npos) {
      fuzz_require(is_int_field(line, 1), "record number line", line);
      return;
    }
    const size_t count = carriage ? 5 : 6;
    fuzz_require(split_sample_line(line, count, fields), "sample line shape", line);
    fuzz_require(is_int_field(fields[0], 5) && is_int_field(fields[2], 5), "record and number",
                 line);
    fuzz_require(fields[1] == "0" || fields[1] == "1" || fields[1] == "2", "subframe", line);
    fuzz_require(fields[3] == "0" || fields[3] == "20", "status bit", line);
    for (size_t v = 4; v < count; ++v) fuzz_require(is_int_field(fields[v], 5), "value", line);
    // Record and subframe fields: the first 7 characters of the line.
    const std::string_view key = line.substr(0, fields[0].size() + 2);
    pass_lines = key == pass_key ? pass_lines + 1 : 1;
    pass_key = key;
    fuzz_require(pass_lines <= 432, "at most 432 samples per subframe", line);
  });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool carriage = data[0] & 1;
  MemoryFile file = memory_file(data + 1, size - 1);
  std::vector<std::string> argv = {"ifgextract"};
  if (data[0] & 2) argv.push_back("-q");  // ignored, after getopt's complaint
  if (carriage) argv.push_back("-c");
  argv.push_back("-F");
  argv.push_back(file.path);
  const ProgramResult first = run_in_process(ifgextract_main, argv);
  const ProgramResult second = run_in_process(ifgextract_main, argv);
  close_memory_file(file);
  fuzz_require(first.out == second.out && first.status == second.status, "same output twice", "");
  fuzz_require(first.status == 0 || first.status == 1, "exit status 0 or 1",
               std::to_string(first.status));
  check_output(first.out, carriage);
  return 0;
}
