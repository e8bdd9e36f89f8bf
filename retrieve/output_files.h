// The two output files of a matching entry, "interferogram.dat" and
// "spectrum.dat": each value on a line of its own, in the shortest decimal
// form that reads back to the same float.
//
// A file is written under a temporary name in the same folder and renamed
// into place once it is complete and on disk, so the old file stays whole
// until the new one replaces it.  The interferogram file is finished before
// the spectrum file is begun; when the spectrum file fails, the
// interferogram file stays complete.
#ifndef RETRIEVE_OUTPUT_FILES_H_
#define RETRIEVE_OUTPUT_FILES_H_

#include "detection_scan.h"
#include "fault_message.h"
#include "out_buffer.h"

constexpr int kTempPathSize = 64;

struct ValueFile {
  const char* path;
  char temp_path[kTempPathSize];
  OutBuffer buffer;
};

// Creates the temporary file for path (a short name).
bool value_file_create(ValueFile& f, const char* path, Message& m);

// Buffers count values (none when count is zero or less).
void value_file_write(ValueFile& f, const float* values, int count);

// Writes out, syncs and closes the temporary file and renames it to its
// path; on any failure the temporary file is removed.
bool value_file_commit(ValueFile& f, Message& m);

// Writes both files of the matching entry, with the console line that
// names it right after the interferogram file is opened.
bool write_entry_files(const DetectionEntry& e, ValueFile& f, OutBuffer& console, Message& m);

#endif  // RETRIEVE_OUTPUT_FILES_H_
