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

long next_stored_record(RecordReader& reader, const unsigned char** bytes) {
  while (reader.end - reader.start < static_cast<size_t>(kRecordBytes)) {
    if (reader.at_end || reader.error != 0 || !fill_chunk(reader)) {
      if (reader.error != 0) return -1;
      const size_t left = reader.end - reader.start;
      reader.start = reader.end;
      return static_cast<long>(left);
    }
  }
  *bytes = reader.chunk + reader.start;
  reader.start += kRecordBytes;
  return kRecordBytes;
}

long read_record(RecordReader& reader, TelemetryRecord& record) {
  const unsigned char* bytes = nullptr;
  const long count = next_stored_record(reader, &bytes);
  if (count == kRecordBytes) std::memcpy(record.words, bytes, kRecordBytes);
  return count;
}
