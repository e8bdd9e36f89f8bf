#include "fault_message.h"

#include <cstring>

#include "int_format.h"

void message_clear(Message& m) {
  m.length = 0;
  m.text[0] = '\0';
}

void message_add(Message& m, const char* text) {
  size_t n = std::strlen(text);
  const size_t room = kMessageSize - 1 - m.length;
  if (n > room) n = room;
  std::memcpy(m.text + m.length, text, n);
  m.length += n;
  m.text[m.length] = '\0';
}

void message_add_int(Message& m, int64_t v) {
  char digits[kMaxIntChars + 1];
  *format_int(digits, v) = '\0';
  message_add(m, digits);
}

void message_system_error(Message& m, const char* file, int error) {
  message_clear(m);
  message_add(m, file);
  message_add(m, ": ");
  message_add(m, std::strerror(error));
}

namespace {

const char* kind_name(ValueKind kind) { return kind == ValueKind::integer ? "integer" : "real"; }

void add_what(Message& m, const FreeFormReader& r, ReadStatus status) {
  const ReadFault& f = r.fault;
  switch (status) {
    case ReadStatus::end_of_file:
      message_add(m, "end of file where ");
      message_add(m, f.wanted_line                       ? "a line"
                     : f.expected == ValueKind::integer ? "an integer"
                                                        : "a real");
      message_add(m, " was expected");
      return;
    case ReadStatus::input_error:
      message_add(m, "read error (");
      message_add(m, std::strerror(f.error));
      message_add(m, ")");
      return;
    case ReadStatus::bad_value:
      break;
    case ReadStatus::ok:
      return;
  }
  if (f.too_long) {
    message_add(m, "value \"");
    message_add(m, f.text);
    message_add(m, "\" is too long");
    return;
  }
  message_add(m, "bad ");
  message_add(m, kind_name(f.expected));
  message_add(m, " \"");
  message_add(m, f.text);
  message_add(m, "\"");
  if (f.value == ValueStatus::out_of_range) {
    message_add(m, f.expected == ValueKind::integer ? " (beyond 32 bits)"
                                                    : " (beyond single precision)");
  }
}

}  // namespace

void message_read_fault(Message& m, const char* file, const FreeFormReader& r,
                        ReadStatus status, const char* place, int entry) {
  message_clear(m);
  message_add(m, file);
  message_add(m, ":");
  message_add_int(m, r.fault.line);
  message_add(m, ": ");
  add_what(m, r, status);
  message_add(m, " in ");
  message_add(m, place);
  if (entry > 0) {
    message_add(m, " of entry ");
    message_add_int(m, entry);
  }
}
