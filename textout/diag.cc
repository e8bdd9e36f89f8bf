#include "diag.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

void diag_printf(OutBuffer& out, const char* fmt, ...) {
  out_flush(out);
  va_list args;
  va_start(args, fmt);
  std::vfprintf(stderr, fmt, args);
  va_end(args);
}

void diag_perror(OutBuffer& out, const char* s) {
  const int saved = errno;  // flushing may touch errno
  out_flush(out);
  errno = saved;
  std::perror(s);
}

bool finish_output(OutBuffer& out, const char* program) {
  if (out_flush(out)) return true;
  std::fprintf(stderr, "%s: standard output: %s\n", program, std::strerror(out.error));
  return false;
}
