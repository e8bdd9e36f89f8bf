#include "diag.h"

#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "exit_status.h"

void diag_printf(OutBuffer& out, const char* fmt, ...) {
  out_flush(out);
  va_list args;
  va_start(args, fmt);
  std::vfprintf(stderr, fmt, args);
  va_end(args);
}

void diag_puts(OutBuffer& out, const char* text) {
  out_flush(out);
  std::fputs(text, stderr);
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

int report_input_end(OutBuffer& out, const InputEndTexts& texts, long count, int64_t record_number,
                     const char* program) {
  const char* why = count == 0 ? texts.at_end : count < 0 ? texts.read_error : texts.cut_short;
  diag_printf(out, "%s at record %" PRId64 "\n", why, record_number);
  const bool written = finish_output(out, program);
  return count == 0 && written ? kExitOk : kExitFailure;
}
