#include "fault_message.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

void message_printf(Message& m, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(m.text, sizeof m.text, fmt, args);
  va_end(args);
}

void message_system_error(Message& m, const char* file, int error) {
  message_printf(m, "%s: %s", file, std::strerror(error));
}

namespace {

void message_bad_value(Message& m, const char* file, const ReadFault& f, const char* place) {
  const bool out_of_range = f.value == ValueStatus::out_of_range;
  if (f.expected == ValueKind::integer && out_of_range) {
    message_printf(m, "%s:%ld: bad integer \"%s\" (beyond 32 bits) in %s", file, f.line, f.text,
                   place);
  } else if (f.expected == ValueKind::integer) {
    message_printf(m, "%s:%ld: bad integer \"%s\" in %s", file, f.line, f.text, place);
  } else if (out_of_range) {
    message_printf(m, "%s:%ld: bad real \"%s\" (beyond single precision) in %s", file, f.line,
                   f.text, place);
  } else {
    message_printf(m, "%s:%ld: bad real \"%s\" in %s", file, f.line, f.text, place);
  }
}

}  // namespace

void message_read_fault(Message& m, const char* file, const FreeFormReader& r, ReadStatus status,
                        const char* place) {
  const ReadFault& f = r.fault;
  switch (status) {
    case ReadStatus::end_of_file: {
      const char* wanted = f.wanted_line                      ? "a line"
                           : f.expected == ValueKind::integer ? "an integer"
                                                              : "a real";
      message_printf(m, "%s:%ld: end of file where %s was expected in %s", file, f.line, wanted,
                     place);
      return;
    }
    case ReadStatus::input_error:
      message_printf(m, "%s:%ld: read error (%s) in %s", file, f.line, std::strerror(f.error),
                     place);
      return;
    case ReadStatus::bad_value:
      if (f.too_long) {
        message_printf(m, "%s:%ld: value \"%s\" is too long in %s", file, f.line, f.text, place);
      } else {
        message_bad_value(m, file, f, place);
      }
      return;
    case ReadStatus::ok: message_printf(m, "%s:%ld: no fault in %s", file, f.line, place); return;
  }
}
