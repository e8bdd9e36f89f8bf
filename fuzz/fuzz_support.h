// Shared pieces of the fuzz harnesses: feeding fuzz bytes to a program's
// main function as a file and catching what it writes on standard output.
#ifndef FUZZ_FUZZ_SUPPORT_H_
#define FUZZ_FUZZ_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// An in-memory file holding data; its path is "/proc/self/fd/N".
struct MemoryFile {
  int fd;
  std::string path;
};
MemoryFile memory_file(const uint8_t* data, size_t size);
void close_memory_file(MemoryFile& file);

struct Captured {
  int status;
  std::string out;
};

// Runs main_fn(argv) with standard output going to memory and standard
// error to /dev/null, and gives back the exit status and the output.
Captured run_captured(int (*main_fn)(int, char**), const std::vector<std::string>& argv);

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
