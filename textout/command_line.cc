#include "command_line.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "diag.h"

bool parse_number(const char* text, int64_t low, int64_t high, int64_t& value) {
  char* end;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || v < low || v > high) return false;
  value = v;
  return true;
}

void report_option_error(OutBuffer& out, const char* program, int getopt_result,
                         const char* usage) {
  if (getopt_result == ':') {
    diag_printf(out, "%s: option -%c needs a value\n%s", program, optopt, usage);
  } else {
    diag_printf(out, "%s: unknown option -%c\n%s", program, optopt, usage);
  }
}
