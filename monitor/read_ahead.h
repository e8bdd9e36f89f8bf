// Reading a descriptor ahead of the one who takes its bytes, on a thread of
// its own.
//
// Most of the time of a run over a whole file is the system copying the
// file's pages; the checking is the smaller part.  With a second processor
// the two can overlap: a reading thread fills a ring of chunks, one read(2)
// each, while the first thread checks the records of the chunk before.  The
// chunks are taken in the order they were read, each holding what its read
// returned: bytes, the end of the data (0) or a read error (-1, after every
// byte read before it).  A chunk taken stays in place until it is given back.
//
// Nothing else changes for the data: short reads (a pipe, a FIFO) and
// interrupted ones are handled as the tools' reader handles them, a file cut
// while it is read ends where read(2) first returns 0, and what is read
// before an error is handed on first.  When no thread can be started, the
// taker reads each chunk itself when it asks for it.
#ifndef MONITOR_READ_AHEAD_H_
#define MONITOR_READ_AHEAD_H_

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "record.h"

// Four chunks of about a quarter of a megabyte: the reading thread stays
// up to three ahead, and a chunk is still in the caches shared by the two
// processors when it is taken.
constexpr int kReadAheadChunks = 4;
constexpr size_t kReadAheadChunkBytes = 24 * tlmframe::kRecordBytes;

struct ReadAheadChunk {
  long count;  // bytes read, 0 at the end of the data, -1 on a read error
  int error;   // errno of the error
  unsigned char bytes[kReadAheadChunkBytes];
};

// The chunks are counted on from the start (chunk n is chunks[n % 4]); the
// two threads hand them over by these counts, each waiting for the other's
// (a short spin, then a sleep) only when it has caught up with it.
struct ReadAhead {
  int fd;
  bool threaded;  // a reading thread was started and is not yet joined
  pthread_t thread;
  std::atomic<uint32_t> filled;      // chunks filled so far
  std::atomic<uint32_t> given_back;  // chunks given back so far (a stop adds one more)
  std::atomic<bool> stop;            // the taker wants no more
  uint32_t taken;                    // chunks taken so far (the taker's own)
  ReadAheadChunk chunks[kReadAheadChunks];
};

// Starts reading fd ahead.
void read_ahead_start(ReadAhead& r, int fd);

// Waits for the next chunk in order and returns it; it stays in place until
// read_ahead_give_back.  A chunk whose count is 0 or -1 is the last one.
const ReadAheadChunk& read_ahead_take(ReadAhead& r);

// Gives back the chunk taken last, to be filled again.
void read_ahead_give_back(ReadAhead& r);

// Stops the reading thread (also while a read waits for data on a pipe)
// and waits for it to end.  Called once after read_ahead_start, before
// the descriptor is closed.
void read_ahead_stop(ReadAhead& r);

#endif  // MONITOR_READ_AHEAD_H_
