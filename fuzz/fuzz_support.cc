#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

MemoryFile memory_file(const uint8_t* data, size_t size) {
  MemoryFile f;
  f.fd = memfd_create("fuzz-input", 0);
  if (f.fd < 0 || (size > 0 && write(f.fd, data, size) != static_cast<ssize_t>(size))) {
    std::perror("memfd");
    std::abort();
  }
  f.path = "/proc/self/fd/" + std::to_string(f.fd);
  return f;
}

void close_memory_file(MemoryFile& file) {
  close(file.fd);
  file.fd = -1;
}

Captured run_captured(int (*main_fn)(int, char**), const std::vector<std::string>& argv) {
  static int saved_out = dup(1);
  static int saved_err = dup(2);
  static int null_fd = open("/dev/null", O_WRONLY);
  const int sink = memfd_create("fuzz-output", 0);
  dup2(sink, 1);
  dup2(null_fd, 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  Captured c;
  c.status = main_fn(static_cast<int>(argv.size()), args.data());
  std::fflush(stderr);
  dup2(saved_out, 1);
  dup2(saved_err, 2);
  const off_t size = lseek(sink, 0, SEEK_END);
  c.out.resize(static_cast<size_t>(size));
  if (size > 0 && pread(sink, c.out.data(), c.out.size(), 0) != size) std::abort();
  close(sink);
  return c;
}

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
