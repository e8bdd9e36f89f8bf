// A reference for the housekeeping dumps, written the plain way: every
// line is built with snprintf straight from the file's bytes and the
// channel rules, without the programs' position tables or formatting.
// The end-to-end tests compare the programs with it on generated files.
#ifndef TESTS_HKDUMP_REFERENCE_H_
#define TESTS_HKDUMP_REFERENCE_H_

#include <string>

struct ReferenceRun {
  bool raw;           // hkrawdump (column 4, hexadecimal) instead of hkdump
  char group;         // option letter: f s p m v x g
  int format_offset;  // with 'g'
  bool hex;           // -X
};

// The standard output of a run over file, and in end_message the closing
// line on standard error.
std::string reference_dump(const std::string& file, const ReferenceRun& run,
                           std::string& end_message);

#endif  // TESTS_HKDUMP_REFERENCE_H_
