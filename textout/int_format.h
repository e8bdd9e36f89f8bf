// Integer-to-text conversions for the tools' output lines.
//
// Each function writes its characters at p and returns one past the last
// character written; nothing is NUL-terminated.  The results are the same
// bytes that printf gives for the named conversion, produced without a
// format string, a locale or a library call: digits are written from the
// end, two at a time, from a table of "00".."99".
#ifndef TEXTOUT_INT_FORMAT_H_
#define TEXTOUT_INT_FORMAT_H_

#include <cstdint>

// Room enough for any 64-bit value with its sign.
constexpr int kMaxIntChars = 20;

// Number of decimal digits of v (1 for 0).
int decimal_digits(uint64_t v);

// "%u" / "%d" of v.
char* format_uint(char* p, uint64_t v);
char* format_int(char* p, int64_t v);

// "%<width>d": right-aligned in width places with leading blanks; a value
// that needs more places is written in full, never cut.
char* format_int_width(char* p, int64_t v, int width);

// "%x": lower-case hexadecimal, no prefix, no leading zeros.
char* format_hex(char* p, uint64_t v);

// A fixed-width field as the console lines of the retrieval dialogue use:
// right-aligned in width places, and width asterisks when the number does
// not fit (so 1000 or -100 in three places print "***").
char* format_fixed_field(char* p, int64_t v, int width);

#endif  // TEXTOUT_INT_FORMAT_H_
