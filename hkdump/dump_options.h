// The command line of the housekeeping dump: -h, -F file, -X and exactly
// one channel group option (-f -s -p -m -v -x, or -g with a channel
// number).  Each option acts as it is met.
#ifndef HKDUMP_DUMP_OPTIONS_H_
#define HKDUMP_DUMP_OPTIONS_H_

#include "exit_status.h"
#include "out_buffer.h"

struct DumpSettings {
  const char* input;       // path of the telemetry file; "" until -F
  bool hex;                // -X: the generic group prints hexadecimal
  char group;              // the option letter of the selected channel group
  int group_option_count;  // group options seen, repeats included
  int format_offset;       // channel number of the generic group (-g)
};

// The number at the start of text, read as atoi reads it (leading blanks,
// a sign, digits up to the first other character; 0 without digits), but
// held at INT_MIN or INT_MAX when it lies beyond them.
int parse_format_offset(const char* text);

// Parses the command line into settings; its messages and the twelve lines
// of help go to standard error after out is emptied.  Returns -1 to go on
// to the dump, or the exit status when the run ends here.
int parse_dump_options(int argc, char** argv, DumpSettings& settings, OutBuffer& out);

#endif  // HKDUMP_DUMP_OPTIONS_H_
