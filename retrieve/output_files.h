// The two output files of a matching entry, "interferogram.dat" and
// "spectrum.dat": each value on a line of its own, in the shortest decimal
// form that reads back to the same float.
//
// Each file is opened by its own name for writing, created when missing
// and emptied when present, and written in place: a symbolic link at the
// name is followed, and an existing file keeps its mode, owner and hard
// links.  The interferogram file is written and closed before the spectrum
// file is opened, so the two are never open at once and a fault at the
// spectrum file leaves the interferogram file complete.  A write that
// fails leaves its file incomplete, and the report says so.
#ifndef RETRIEVE_OUTPUT_FILES_H_
#define RETRIEVE_OUTPUT_FILES_H_

#include "detection_scan.h"
#include "fault_message.h"
#include "out_buffer.h"

struct ValueFile {
  const char* path;
  OutBuffer buffer;
};

// Opens path for writing, created when missing and emptied when present.
bool value_file_open(ValueFile& f, const char* path, Message& m);

// Buffers count values (none when count is zero or less).
void value_file_write(ValueFile& f, const float* values, int count);

// Writes out what is buffered and closes the file, whether or not that
// succeeds.
bool value_file_close(ValueFile& f, Message& m);

// Writes both files of the matching entry, with the console line that
// names it right after the interferogram file is opened.
bool write_entry_files(const DetectionEntry& e, ValueFile& f, OutBuffer& console, Message& m);

#endif  // RETRIEVE_OUTPUT_FILES_H_
