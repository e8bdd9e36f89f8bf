#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>

void fuzz_require(bool ok, const char* what, std::string_view line) {
  if (ok) return;
  std::fprintf(stderr, "broken promise: %s\nline: \"%.*s\"\n", what, static_cast<int>(line.size()),
               line.data());
  std::abort();
}

bool is_int_field(std::string_view s, size_t width) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i < s.size() && s[i] == '-') ++i;
  const size_t first_digit = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  if (i != s.size() || i == first_digit) return false;
  if (s.size() < width) return false;
  // Blanks only pad up to the width; a longer field has none.
  return s.size() == width || s[0] != ' ';
}
