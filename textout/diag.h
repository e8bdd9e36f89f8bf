// Messages on standard error.  Standard output is emptied first, so that
// with 2>&1 the lines stand in the order in which the program made them.
#ifndef TEXTOUT_DIAG_H_
#define TEXTOUT_DIAG_H_

#include "out_buffer.h"

// fprintf(stderr, fmt, ...) after flushing out.
void diag_printf(OutBuffer& out, const char* fmt, ...)
    __attribute__((format(printf, 2, 3)));

// perror(s) after flushing out.
void diag_perror(OutBuffer& out, const char* s);

// Flushes out; if that or any earlier write failed, writes one line
// "<program>: standard output: <system error text>" and returns false.
bool finish_output(OutBuffer& out, const char* program);

#endif  // TEXTOUT_DIAG_H_
