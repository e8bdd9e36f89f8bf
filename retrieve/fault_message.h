// One-line fault reports, built in a fixed buffer by the step that failed
// and printed by the top level with the program's prefix.  Each report is
// written by one printf-like call, so that its words can be found in the
// source.
#ifndef RETRIEVE_FAULT_MESSAGE_H_
#define RETRIEVE_FAULT_MESSAGE_H_

#include <cstddef>

#include "free_form_reader.h"

constexpr size_t kMessageSize = 320;

struct Message {
  char text[kMessageSize];  // always NUL-terminated; cut short when full
};

// Replaces the message with the formatted text.
void message_printf(Message& m, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// "<file>: <system error text>" for a failed open, write or close.
void message_system_error(Message& m, const char* file, int error);

// "<file>:<line>: <what went wrong> in <place>", from the fault that the
// reader recorded for status.
void message_read_fault(Message& m, const char* file, const FreeFormReader& r, ReadStatus status,
                        const char* place);

#endif  // RETRIEVE_FAULT_MESSAGE_H_
