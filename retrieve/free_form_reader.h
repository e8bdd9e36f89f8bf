// The free-form reader of detection files and of the operator's answer.
//
// Input is read in read groups.  A group starts at the beginning of the
// first line that no earlier group has touched and takes a fixed list of
// integers and reals.  Values are separated by blanks or tabs, by one comma
// or by line ends; lines of blanks are passed over; once the group has its
// last value the rest of that line is skipped.  A group that wants no value
// still consumes exactly one line.  A carriage return before a line end is
// part of the line end.
//
// The forms that other writers of detection files use are taken as a
// list-directed reader takes them: "r*value" gives r copies of the value,
// "r*" r null values, an empty place between two commas (or a comma at the
// start of a group) is a null value, and a slash ends the group.  A null
// value, and every value after a slash, leaves its variable unchanged.
//
// The file is read through one fixed buffer; no value is copied or
// allocated.  A single value may be up to kReaderBufferSize - 1 characters.
#ifndef RETRIEVE_FREE_FORM_READER_H_
#define RETRIEVE_FREE_FORM_READER_H_

#include <cstddef>
#include <cstdint>

#include "free_form_value.h"

constexpr size_t kReaderBufferSize = 1 << 16;
constexpr size_t kFaultTextSize = 44;

enum class ValueKind : unsigned char { integer, real };

enum class ReadStatus : unsigned char {
  ok,
  end_of_file,  // the input ended before the group had all its values
  bad_value,    // see ReadFault
  input_error,  // read(2) failed; ReadFault::error holds errno
};

// Where and why the last group failed.
struct ReadFault {
  long line;           // line on which the reader stood
  ValueKind expected;  // kind of the value that was wanted
  ValueStatus value;   // bad_syntax or out_of_range for a bad value
  bool too_long;       // a value longer than the buffer
  bool wanted_line;    // end of file where a group of no values wanted its line
  int error;
  char text[kFaultTextSize];  // the value as written, cut short with "..."
};

// count variables of one kind in a row: ints or reals points at the first.
struct GroupField {
  ValueKind kind;
  int count;
  int32_t* ints;
  float* reals;
};

// Where the text comes from: read(2) on a descriptor unless the reader is
// given another function of the same shape (count read, 0 at the end, -1
// with errno set on a failure).  The Python module reads file objects so.
using ReadText = long (*)(void* source, char* buffer, size_t size);

struct FreeFormReader {
  int fd;  // -1 for another source
  ReadText read_text;
  void* source;
  long line;            // 1-based number of the line the reader stands on
  long group_line;      // line of the first value of the last group, 0 if none
  int values_assigned;  // by the last group, nulls not counted
  size_t pos;
  size_t end;
  bool input_ended;
  bool comma_means_null;  // a comma here would be a null value
  // An unfinished repeat "r*value" or "r*"; the value is converted to both
  // kinds up front since a repeat may run over fields of either kind.
  int32_t repeat_left;
  bool repeat_is_null;
  ValueStatus repeat_int_status;
  ValueStatus repeat_real_status;
  int32_t repeat_int;
  float repeat_real;
  char repeat_text[kFaultTextSize];
  ReadFault fault;
  char data[kReaderBufferSize + 1];  // one more for the end mark
};

void reader_init(FreeFormReader& r, int fd);
void reader_init_source(FreeFormReader& r, ReadText read_text, void* source);

// Reads one group into the fields, in order.  A count of zero or less
// counts as no value.
ReadStatus read_group(FreeFormReader& r, const GroupField* fields, int field_count);

// Sets more when anything but blanks and line ends is left in the input.
ReadStatus reader_has_more_text(FreeFormReader& r, bool& more);

#endif  // RETRIEVE_FREE_FORM_READER_H_
