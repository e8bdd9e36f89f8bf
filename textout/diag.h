// Messages on standard error.  Every message of the programs goes through
// these functions (getopt's own complaints aside).  The program's buffered
// output is emptied first, so that with 2>&1 the lines stand in the order in
// which the program made them.
#ifndef TEXTOUT_DIAG_H_
#define TEXTOUT_DIAG_H_

#include <cstdint>

#include "out_buffer.h"

// fprintf(stderr, fmt, ...) after flushing out.
void diag_printf(OutBuffer& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// fputs(text, stderr) after flushing out: help texts and fixed lines.
void diag_puts(OutBuffer& out, const char* text);

// perror(s) after flushing out.
void diag_perror(OutBuffer& out, const char* s);

// Flushes out; if that or any earlier write failed, writes one line
// "<program>: standard output: <system error text>" and returns false.
bool finish_output(OutBuffer& out, const char* program);

// How a raw-data tool says why its input ended, each text followed by
// " at record N".
struct InputEndTexts {
  const char* at_end;      // the input ended after a whole record
  const char* cut_short;   // it ended inside a record
  const char* read_error;  // a read failed
};

// The end of a raw-data tool's run: says why the input ended (count as the
// record reader gave it: 0 at the end, -1 on a read error, else the bytes of
// a cut record), empties out and gives the exit status: kExitOk after a
// whole record, kExitFailure otherwise or when out could not be written.
int report_input_end(OutBuffer& out, const InputEndTexts& texts, long count, int64_t record_number,
                     const char* program);

#endif  // TEXTOUT_DIAG_H_
