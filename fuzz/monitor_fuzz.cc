// Any bytes through hkmonitor: the first byte chooses what they are.
//
//  - Even: a channel dictionary, checked and listed (hkmonitor -l).  It is
//    sound (status 0: a header line and one line of fourteen tab-separated
//    fields per entry) or has a fault (status 3: one line on standard
//    error naming the file, nothing on standard output).
//  - Odd: raw telemetry, checked against a dictionary that limits every
//    value the groups decode, and a few generic channels, with every kind
//    of calibration and persistence.  The status is 3 exactly when the
//    data ends inside a record, else the worst state seen (0, 1, 2); every
//    state change line has its shape, records and subframes in order; the
//    summary has a line per limited channel, each with three values per
//    whole record, split among the three states.
//
// Either way the same input gives the same output and status twice.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "line_cursor.h"
#include "monitor_main.h"
#include "record.h"
#include "value_catalogue.h"

namespace {

// Calibrations and limits, taken in turn by the entries.
constexpr const char* kCalibrations[] = {
    "", "polynomial = [-1.5, 0.01]\n", "polynomial = [1e3, -0.5, 1e-4]\n",
    "table = [[0, 5.0], [3, -2.0], [100, 40.0]]\n",  // turns back on itself
};
constexpr const char* kLimits[] = {
    "red_low = 10\nyellow_low = 20\nyellow_high = 80\nred_high = 90\n",
    "yellow_high = 1\npersistence = 3\n",
    "red_low = 0.5\npersistence = 2\n",
    "yellow_low = -1e3\nyellow_high = 1e3\n",
};

// Every value of the groups, and generic channels 0, 53 and 107 of both
// columns, each limited.
std::string every_value_limited() {
  DecodedValue values[kMaxGroupValues];
  const int count = group_values(values);
  std::string text;
  int n = 0;
  auto add = [&](int column, const char* group, int number, const char* form) {
    text += "[[channel]]\nname = \"v" + std::to_string(n) + "\"\ndescription = \"\"\n" +
            "units = \"u\"\ncolumn = " + std::to_string(column) + "\ngroup = \"" + group +
            "\"\nnumber = " + std::to_string(number) + "\nform = \"" + form + "\"\n" +
            kCalibrations[n % 4] + kLimits[(n / 4) % 4];
    ++n;
  };
  for (int i = 0; i < count; ++i) {
    // A table reaches 100: it fits every form but the flag's.
    if (values[i].form == DecodedForm::kFlag && n % 4 == 3) ++n;
    add(values[i].column, group_text(values[i].group), values[i].number, form_text(values[i].form));
  }
  for (int column : {12, 4}) {
    for (int number : {0, 53, 107}) add(column, "generic", number, "raw");
  }
  return text;
}

int count_fields(std::string_view line) {
  int fields = 1;
  for (char ch : line) fields += ch == '\t';
  return fields;
}

void check_listing(const ProgramResult& r, const std::string& path) {
  if (r.status == 3) {
    fuzz_require(r.out.empty(), "a faulty dictionary lists nothing", r.out);
    fuzz_require(r.err.rfind("hkmonitor: " + path + ":", 0) == 0 &&
                     r.err.find('\n') == r.err.size() - 1,
                 "one line naming the file", r.err);
    return;
  }
  fuzz_require(r.status == 0 && r.err.empty(), "a sound dictionary is listed", r.err);
  bool header = true;
  for_each_line(r.out, [&](std::string_view line) {
    fuzz_require(header == (line.rfind("#name\t", 0) == 0), "the header first, once", line);
    fuzz_require(count_fields(line) == 14, "fourteen fields", line);
    header = false;
  });
}

// "%5d %d\t%02d:%02d:%02d\tname\tvalue units\tSTATE\tabove|below limit value"
void check_change(std::string_view line, int64_t& last) {
  LineCursor c{line, 0};
  const size_t tab = line.find('\t');
  fuzz_require(tab != std::string_view::npos && tab >= 7, "record and subframe", line);
  const int64_t record = std::stoll(std::string(line.substr(0, tab - 2)));
  const int64_t at = record * 3 + (line[tab - 1] - '0');
  fuzz_require(at >= last && line[tab - 2] == ' ' && line[tab - 1] >= '0' && line[tab - 1] <= '2',
               "state changes in the order of the subframes", line);
  last = at;
  c.pos = tab + 1;
  fuzz_require(take_int(c, 2, 0, 165) && take_literal(c, ":") && take_int(c, 2, 0, 165) &&
                   take_literal(c, ":") && take_int(c, 2, 0, 165) && take_literal(c, "\tv"),
               "time of day and name", line);
  const std::string_view rest = line.substr(c.pos);
  fuzz_require(count_fields(rest) == 4, "value, state and limit", line);
  fuzz_require(rest.find("\tGREEN\t") != std::string_view::npos ||
                   rest.find("\tYELLOW\t") != std::string_view::npos ||
                   rest.find("\tRED\t") != std::string_view::npos,
               "a state", line);
}

void check_monitoring(const ProgramResult& r, size_t file_size, int channels) {
  const int64_t records = static_cast<int64_t>(file_size / tlmframe::kRecordBytes);
  const bool whole = file_size % tlmframe::kRecordBytes == 0;
  fuzz_require(whole ? r.status <= 2 : r.status == 3, "status 3 exactly for a cut input",
               std::to_string(r.status));
  fuzz_require(r.err == (whole ? "No data" : "Mismatch data") + std::string(" at record ") +
                            std::to_string(records + 1) + "\n",
               "the closing line", r.err);
  int64_t last = 0;
  int summary = -1;
  for_each_line(r.out, [&](std::string_view line) {
    if (line.rfind("#channel\t", 0) == 0) {
      summary = 0;
      return;
    }
    if (summary < 0) {
      check_change(line, last);
      return;
    }
    ++summary;
    const size_t a = line.find('\t');
    int64_t counts[4];
    size_t at = a + 1;
    for (int64_t& n : counts) {
      const size_t end = line.find('\t', at);
      fuzz_require(end != std::string_view::npos, "summary fields", line);
      n = std::stoll(std::string(line.substr(at, end - at)));
      at = end + 1;
    }
    fuzz_require(counts[0] == 3 * records && counts[1] + counts[2] + counts[3] == counts[0],
                 "every value checked, each in one state", line);
  });
  fuzz_require(summary == channels, "a summary line per limited channel", r.out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const std::string dictionary_text = every_value_limited();
  static const int channels = [] {
    int n = 0;
    for (size_t at = 0; (at = dictionary_text.find("[[channel]]", at)) != std::string::npos; ++at) ++n;
    return n;
  }();
  MemoryFile input = memory_file(data + 1, size - 1);
  MemoryFile dictionary = memory_file(dictionary_text.data(), dictionary_text.size());
  const bool telemetry = data[0] & 1;
  const std::vector<std::string> argv =
      telemetry ? std::vector<std::string>{"hkmonitor", "-D", dictionary.path, "-F", input.path}
                : std::vector<std::string>{"hkmonitor", "-D", input.path, "-l"};
  const ProgramResult first = run_in_process(hkmonitor_main, argv);
  const ProgramResult second = run_in_process(hkmonitor_main, argv);
  fuzz_require(first == second, "same output twice", "");
  if (telemetry) {
    check_monitoring(first, size - 1, channels);
  } else {
    check_listing(first, input.path);
  }
  close_memory_file(input);
  close_memory_file(dictionary);
  return 0;
}
