// Whole records from a file descriptor, read as the tools read them, or
// followed as the file grows.
//
// Without following, the data ends where read(2) first returns 0, as for
// the tools.  Following, the end of what has been written so far is only a
// pause: the bytes of an unfinished record are kept, and the next call
// waits for more (a regular file is read again after a short sleep, a
// FIFO or pipe is polled), so a caller can redraw, check for a signal or a
// time limit, and call again.
#ifndef MONITOR_FOLLOW_READER_H_
#define MONITOR_FOLLOW_READER_H_

#include "record_framer.h"
#include "record_reader.h"

// Records read at a time: about a megabyte, which the system copies faster
// per byte than smaller pieces.
constexpr size_t kFollowChunkBytes = 96 * tlmframe::kRecordBytes;

struct FollowReader {
  int fd;
  bool follow;
  int wait_ms;      // the longest pause of one call when following
  int error;        // errno of a failed read, 0 if none
  long long bytes;  // read so far
  tlmframe::RecordFramer framer;
  unsigned char chunk[kFollowChunkBytes];
};

void follow_init(FollowReader& reader, int fd, bool follow, int wait_ms);

// Sets *record to the next whole record, in the file's byte order, and
// returns kRecordBytes; returns 0 when no whole record has come (the end
// of the data, or when following a pause of at most wait_ms or a signal),
// and -1 on a read error.
long follow_next(FollowReader& reader, const unsigned char** record);

// Bytes of an unfinished record held.
inline long follow_partial_bytes(const FollowReader& reader) {
  return static_cast<long>(reader.framer.carried);
}

#endif  // MONITOR_FOLLOW_READER_H_
