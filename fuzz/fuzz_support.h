// Shared pieces of the fuzz harnesses: the in-process runner of the tests
// (a tool's main function on fuzz bytes held in a file in memory), and the
// checks of what it writes.
#ifndef FUZZ_FUZZ_SUPPORT_H_
#define FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "in_process.h"

// Stops the run with a message when a promise about the output is broken.
void fuzz_require(bool ok, const char* what, std::string_view line);

// Calls each_line(line) for every line of text (without its newline); the
// text must end in a newline, since every line a tool writes does.
template <typename F>
void for_each_line(std::string_view text, F each_line) {
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string_view::npos; start = nl + 1) {
    each_line(text.substr(start, nl - start));
  }
  fuzz_require(start == text.size(), "output ends with a newline", text.substr(start));
}

// True when s is a printf "%<width>d" field of an integer: optional blanks,
// optional minus, digits, exactly width characters unless the number needs more.
bool is_int_field(std::string_view s, size_t width);

#endif  // FUZZ_FUZZ_SUPPORT_H_
