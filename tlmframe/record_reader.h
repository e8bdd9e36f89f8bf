// Taking whole records from a file descriptor.
//
// The reader asks the system for many records at a time and hands them
// out one by one, so a large file costs few system calls.  A short read
// (a pipe, a FIFO, a process substitution) or an interrupted one does not
// end a record: the reader reads on until the record is whole or the data
// ends.  Only the state at a record boundary is ever reported.
#ifndef TLMFRAME_RECORD_READER_H_
#define TLMFRAME_RECORD_READER_H_

#include <cstddef>

#include "record.h"
#include "record_framer.h"

namespace tlmframe {

constexpr size_t kReaderChunkBytes = 12 * kRecordBytes;

struct RecordReader {
  int fd;
  bool at_end;  // the descriptor has reported end of file
  int error;    // errno of a failed read, 0 if none
  RecordFramer framer;
  unsigned char chunk[kReaderChunkBytes];
};

void reader_init(RecordReader& reader, int fd);

// Fills record with the next record of the input, as read (swap_record
// comes next).  Returns kRecordBytes for a whole record, 0 at the end of
// the data, the count of the bytes left when the data ends inside a
// record, and -1 on a read error (the errno is kept in reader.error).
// Records read before an error are returned first.
long read_record(RecordReader& reader, TelemetryRecord& record);

// The same without copying: *bytes is set to the record where the reader
// holds it, in the file's byte order (see StoredSubframe), valid until the
// next call.  Returns the count as read_record does.
long next_stored_record(RecordReader& reader, const unsigned char** bytes);

}  // namespace tlmframe

#endif  // TLMFRAME_RECORD_READER_H_
