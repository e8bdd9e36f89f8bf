// One value of free-form input, as detection files and the operator's
// answer write it, converted to a 32-bit integer or a single-precision real.
//
// An integer is an optional sign and decimal digits.  A real is an optional
// sign, digits with or without a decimal point, and an optional exponent:
// E, e, D or d, then an integer with an optional sign.  A real is rounded
// once, straight from its decimal text to the nearest float; going through
// a double would round twice and miss the nearest float for some inputs
// (short_real.h does so only where it provably cannot).
#ifndef RETRIEVE_FREE_FORM_VALUE_H_
#define RETRIEVE_FREE_FORM_VALUE_H_

#include <cstdint>

enum class ValueStatus : unsigned char {
  ok,
  bad_syntax,    // not a number of the wanted kind
  out_of_range,  // a number, but beyond a 32-bit integer or the largest float
};

ValueStatus parse_integer(const char* begin, const char* end, int32_t& value);

// A real too small for the smallest float reads as zero of its sign, as it
// would on any Fortran-style reader; only overflow is out of range.  The
// text is writable because a D exponent is turned into an e for the
// conversion and back again.
ValueStatus parse_real(char* begin, char* end, float& value);

// A repeat count "r*value" or "r*" (r null values): r is a non-zero
// unsigned integer that fits 32 bits.  On success count holds r and
// value_begin points just past the asterisk (equal to end for "r*").
bool parse_repeat(char* begin, char* end, int32_t& count, char*& value_begin);

#endif  // RETRIEVE_FREE_FORM_VALUE_H_
