// Reading a line of tool output field by field, for the harnesses' shape
// checks: each step takes one field or literal and says whether it was there.
#ifndef FUZZ_LINE_CURSOR_H_
#define FUZZ_LINE_CURSOR_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

struct LineCursor {
  std::string_view line;
  size_t pos;
};

// The literal text, exactly.
bool take_literal(LineCursor& c, std::string_view text);

// A printf "%<width>d" field whose value lies in [lo, hi].
bool take_int(LineCursor& c, size_t width, int64_t lo, int64_t hi);

// A "%x" field of a 16-bit word: lower-case digits, no leading zero.
bool take_hex_word(LineCursor& c);

// count fields of one kind, separated by single blanks.
bool take_int_list(LineCursor& c, int count, int64_t lo, int64_t hi);
bool take_hex_list(LineCursor& c, int count);

inline bool at_end(const LineCursor& c) { return c.pos == c.line.size(); }

#endif  // FUZZ_LINE_CURSOR_H_
