#include "line_cursor.h"

#include "fuzz_support.h"

namespace {

bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }

}  // namespace

bool take_literal(LineCursor& c, std::string_view text) {
  if (c.line.substr(c.pos, text.size()) != text) return false;
  c.pos += text.size();
  return true;
}

bool take_int(LineCursor& c, size_t width, int64_t lo, int64_t hi) {
  const size_t start = c.pos;
  size_t p = start;
  while (p < c.line.size() && c.line[p] == ' ') ++p;
  const bool negative = p < c.line.size() && c.line[p] == '-';
  if (negative) ++p;
  int64_t value = 0;
  const size_t first_digit = p;
  while (p < c.line.size() && is_digit(c.line[p]) && p - first_digit < 12) {
    value = value * 10 + (c.line[p] - '0');
    ++p;
  }
  if (negative) value = -value;
  if (!is_int_field(c.line.substr(start, p - start), width)) return false;
  if (value < lo || value > hi) return false;
  c.pos = p;
  return true;
}

bool take_hex_word(LineCursor& c) {
  size_t p = c.pos;
  while (p < c.line.size() && p - c.pos < 5 &&
         (is_digit(c.line[p]) || (c.line[p] >= 'a' && c.line[p] <= 'f'))) {
    ++p;
  }
  const size_t n = p - c.pos;
  if (n == 0 || n > 4 || (n > 1 && c.line[c.pos] == '0')) return false;
  c.pos = p;
  return true;
}

bool take_int_list(LineCursor& c, int count, int64_t lo, int64_t hi) {
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !take_literal(c, " ")) return false;
    if (!take_int(c, 1, lo, hi)) return false;
  }
  return true;
}

bool take_hex_list(LineCursor& c, int count) {
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !take_literal(c, " ")) return false;
    if (!take_hex_word(c)) return false;
  }
  return true;
}
