// The operator's dialogue: the fixed console lines and the answer read from
// standard input.  At a terminal every line is on the screen as soon as it
// is made; into a file or pipe the lines are buffered.
#ifndef RETRIEVE_CONSOLE_H_
#define RETRIEVE_CONSOLE_H_

#include <cstdint>

#include "fault_message.h"
#include "free_form_reader.h"
#include "out_buffer.h"

void write_banner(OutBuffer& out);
void write_processing(OutBuffer& out);
void write_progress(OutBuffer& out, int32_t number);
void write_written(OutBuffer& out, int32_t number);
void write_finished(OutBuffer& out);

// Writes the prompt, empties the buffer so that it is seen, and reads the
// requested interferogram number as one read group.
bool ask_request(OutBuffer& out, FreeFormReader& in, int32_t& number, Message& m);

#endif  // RETRIEVE_CONSOLE_H_
