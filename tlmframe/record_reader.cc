#include "record_reader.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace tlmframe {

void reader_init(RecordReader& reader, int fd) {
  reader.fd = fd;
  reader.at_end = false;
  reader.error = 0;
  framer_init(reader.framer);
}

namespace {

// One read(2) into the chunk, handed to the framer.  Returns false when
// nothing more will come.
bool fill_chunk(RecordReader& reader) {
  for (;;) {
    const ssize_t n = read(reader.fd, reader.chunk, kReaderChunkBytes);
    if (n > 0) {
      framer_push(reader.framer, reader.chunk, static_cast<size_t>(n));
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
  for (;;) {
    const unsigned char* record = framer_next(reader.framer);
    if (record != nullptr) {
      *bytes = record;
      return kRecordBytes;
    }
    if (reader.error != 0) return -1;
    if (reader.at_end || !fill_chunk(reader)) {
      if (reader.error != 0) return -1;
      // What is left ends the data; it is reported once.
      const long left = static_cast<long>(reader.framer.carried);
      reader.framer.carried = 0;
      return left;
    }
  }
}

long read_record(RecordReader& reader, TelemetryRecord& record) {
  const unsigned char* bytes = nullptr;
  const long count = next_stored_record(reader, &bytes);
  if (count == kRecordBytes) std::memcpy(record.words, bytes, kRecordBytes);
  return count;
}

}  // namespace tlmframe
