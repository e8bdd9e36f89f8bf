#include "dump_options.h"

#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstring>

#include "diag.h"

namespace {

constexpr const char kOptions[] = "hF:g:Xfspmvx";

constexpr const char kHelp[] =
    "\th\t\thelp\n"
    "\tF <file>\tfile to use\n"
    "\tX\t\thex output\n"
    "\tf\t\tfast sap channel\n"
    "\ts\t\tslow sap channel\n"
    "\tp\t\tpressure\n"
    "\tm\t\tmask temperature\n"
    "\tv\t\tvoltage monitors\n"
    "\tx\t\tauxiliary det. data\n"
    "\tg: <num>\tgeneric housekeeping\n"
    "\t\t\tnum is the format offset\n"
    "\t\t\tas given in format\n";

bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The options that select a channel group, each by its own letter.
bool is_group_option(int c) { return c > 0 && std::strchr("fspmvxg", c) != nullptr; }

}  // namespace

int parse_format_offset(const char* text) {
  while (is_blank(*text)) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  // Past 2^31 the value is held: it stays beyond the int range either way.
  int64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (*text - '0');
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

int parse_dump_options(int argc, char** argv, DumpSettings& settings, OutBuffer& out) {
  settings = DumpSettings{"", false, 0, 0, 0};
  optind = 0;  // start afresh, also when called more than once in a process
  int c;
  while ((c = getopt(argc, argv, kOptions)) != -1) {
    if (is_group_option(c)) {
      settings.group = static_cast<char>(c);
      ++settings.group_option_count;
    }
    switch (c) {
      case 'F':
        settings.input = optarg;
        if (access(optarg, F_OK) != 0) {
          diag_perror(out, optarg);
          return kExitFailure;
        }
        break;
      case 'X': settings.hex = true; break;
      case 'g':
        settings.format_offset = parse_format_offset(optarg);
        diag_printf(out, "%d\n", settings.format_offset);
        break;
      case 'h': diag_puts(out, kHelp); return kExitOk;
      case '?':  // getopt has already said what was wrong
        diag_puts(out, kHelp);
        return kExitUsage;
      default: break;
    }
  }
  if (settings.group_option_count != 1) {
    diag_puts(out, "warning: invalid options count\n");
    diag_puts(out, kHelp);
    return kExitUsage;
  }
  return -1;
}
