#include "record_reader.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

void reader_init(RecordReader& reader, int fd) {
  reader.fd = fd;
  reader.start = 0;
  reader.end = 0;
  reader.at_end = false;
  reader.error = 0;
}

namespace {

// One read(2) into the free part of the chunk, moving what is left of a
// record to the front first.  Returns false when nothing more will come.
bool fill_chunk(RecordReader& reader) {
  if (reader.start > 0) {
    const size_t left = reader.end - reader.start;
    std::memmove(reader.chunk, reader.chunk + reader.start, left);
    reader.start = 0;
    reader.end = left;
  }
  for (;;) {
    const ssize_t n = read(reader.fd, reader.chunk + reader.end, kReaderChunkBytes - reader.end);
    if (n > 0) {
      reader.end += static_cast<size_t>(n);
      return true;
    }
    if (n == 0) {
      reader.at_end = true;
      return false;
    }
    if (errno == EINTR) continue;
    reader.error = errno;
    return false;
  }
}

}  // namespace

long read_record(RecordReader& reader, TelemetryRecord& record) {
  while (reader.end - reader.start < static_cast<size_t>(kRecordBytes)) {
    if (reader.at_end || reader.error != 0 || !fill_chunk(reader)) {
      if (reader.error != 0) return -1;
      const size_t left = reader.end - reader.start;
      reader.start = reader.end;
      return static_cast<long>(left);
    }
  }
  std::memcpy(record.words, reader.chunk + reader.start, kRecordBytes);
  reader.start += kRecordBytes;
  return kRecordBytes;
}
