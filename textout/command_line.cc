#include "command_line.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

bool parse_number(const char* text, int64_t low, int64_t high, int64_t& value) {
  char* end;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || v < low || v > high) return false;
  value = v;
  return true;
}

void report_option_error(const char* program, int getopt_result, const char* usage) {
  if (getopt_result == ':') {
    std::fprintf(stderr, "%s: option -%c needs a value\n%s", program, optopt, usage);
  } else {
    std::fprintf(stderr, "%s: unknown option -%c\n%s", program, optopt, usage);
  }
}

void report_option_error(OutBuffer& out, const char* program, int getopt_result,
                         const char* usage) {
  out_flush(out);
  report_option_error(program, getopt_result, usage);
}
