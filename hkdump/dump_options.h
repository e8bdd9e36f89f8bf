// The command line of the housekeeping dump: -h, -F file, -X and exactly
// one channel group option (-f -s -p -m -v -x, or -g with a channel
// number).  Each option acts as it is met.
#ifndef HKDUMP_DUMP_OPTIONS_H_
#define HKDUMP_DUMP_OPTIONS_H_

struct DumpSettings {
  const char* input;       // path of the telemetry file; "" until -F
  int hex_flag;            // 1 after -X: the generic group prints hexadecimal
  int group_code;          // the selected channel group
  int group_option_count;  // group options seen, repeats included
  int format_offset;       // channel number of the generic group (-g)
};

// Exit statuses.
constexpr int kExitOk = 0;       // -h, or the data read to its end
constexpr int kExitFailure = 1;  // a missing file, a failed open, read or write, a cut record
constexpr int kExitUsage = 2;    // a bad command line

// The number at the start of text, read as atoi reads it (leading blanks,
// a sign, digits up to the first other character; 0 without digits), but
// held at INT_MIN or INT_MAX when it lies beyond them.
int parse_format_offset(const char* text);

// The twelve lines of help, on standard error.
void print_help();

// Parses the command line into settings.  Returns -1 to go on to the
// dump, or the exit status when the run ends here.
int parse_dump_options(int argc, char** argv, DumpSettings& settings);

#endif  // HKDUMP_DUMP_OPTIONS_H_
