// Whole records handed to a collector, from pieces of bytes or from a file
// descriptor.  take(record) gets each record as stored and returns false to
// stop (the collector is full or has failed).
#ifndef PYTHON_RECORD_FEED_H_
#define PYTHON_RECORD_FEED_H_

#include <pybind11/pybind11.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "os_error.h"
#include "record_framer.h"
#include "record_reader.h"

// Every record that the piece completes.  Returns false when take stopped.
template <typename Take>
bool feed_piece(tlmframe::RecordFramer& framer, const unsigned char* bytes, size_t size,
                Take take) {
  tlmframe::framer_push(framer, bytes, size);
  while (const unsigned char* record = tlmframe::framer_next(framer)) {
    if (!take(record)) return false;
  }
  return true;
}

// What reading a descriptor to its end came to.
struct FeedEnd {
  long count;    // the reader's last count: 0, the bytes of a cut record, or -1
  int error;     // errno when count is -1
  bool stopped;  // take stopped before the end
};

// Reads fd record by record with the tools' reader until the data ends or
// take stops.
template <typename Take>
FeedEnd feed_descriptor(int fd, Take take) {
  auto reader = std::make_unique<tlmframe::RecordReader>();
  tlmframe::reader_init(*reader, fd);
  for (;;) {
    const unsigned char* record = nullptr;
    const long count = tlmframe::next_stored_record(*reader, &record);
    if (count != tlmframe::kRecordBytes) return FeedEnd{count, reader->error, false};
    if (!take(record)) return FeedEnd{0, 0, true};
  }
}

// The file at path read to its end as the tools read it, the interpreter's
// lock released while it is opened and read; an OSError names path when
// it cannot be.
template <typename Take>
FeedEnd feed_path(const std::string& path, Take take) {
  const int fd = open_for_reading(path, path);
  FeedEnd end;
  {
    pybind11::gil_scoped_release unlocked;
    end = feed_descriptor(fd, take);
  }
  close(fd);
  if (end.count < 0) raise_os_error(end.error, path);
  return end;
}

#endif  // PYTHON_RECORD_FEED_H_
