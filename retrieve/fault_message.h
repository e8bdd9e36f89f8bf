// One-line fault reports, built in a fixed buffer by the step that failed
// and printed by the top level with the program's prefix.
#ifndef RETRIEVE_FAULT_MESSAGE_H_
#define RETRIEVE_FAULT_MESSAGE_H_

#include <cstddef>
#include <cstdint>

#include "free_form_reader.h"

constexpr size_t kMessageSize = 320;

struct Message {
  size_t length;
  char text[kMessageSize];  // always NUL-terminated; cut short when full
};

void message_clear(Message& m);
void message_add(Message& m, const char* text);
void message_add_int(Message& m, int64_t v);

// "<file>: <system error text>" for a failed open, write or close.
void message_system_error(Message& m, const char* file, int error);

// "<file>:<line>: <what went wrong> in <place>[ of entry <entry>]", from the
// fault that the reader recorded for status; entry 0 names no entry.
void message_read_fault(Message& m, const char* file, const FreeFormReader& r,
                        ReadStatus status, const char* place, int entry);

#endif  // RETRIEVE_FAULT_MESSAGE_H_
