// What the command lines of the generators share: numbers checked whole
// and within their range, and getopt's complaints said in the program's
// own name (getopt would name argv[0], a path).
#ifndef TEXTOUT_COMMAND_LINE_H_
#define TEXTOUT_COMMAND_LINE_H_

#include <cstdint>

#include "out_buffer.h"

// The whole of text as a decimal number from low to high; false for
// anything else (no digits, trailing characters, out of range).
bool parse_number(const char* text, int64_t low, int64_t high, int64_t& value);

// For a getopt loop run with opterr = 0 and an option string that starts
// with ':': reports the option that getopt returned '?' (unknown) or ':'
// (no value) for, as "<program>: unknown option -x" or "<program>: option
// -x needs a value", followed by the usage text, on standard error.
void report_option_error(const char* program, int getopt_result, const char* usage);

// The same after emptying out (see diag.h).
void report_option_error(OutBuffer& out, const char* program, int getopt_result, const char* usage);

#endif  // TEXTOUT_COMMAND_LINE_H_
