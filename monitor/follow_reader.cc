#include "follow_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

using namespace tlmframe;

namespace {

void pause_ms(int ms) {
  timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  nanosleep(&t, nullptr);  // a signal ends it early, which is what is wanted
}

// The next chunk read ahead, handed to the framer; the one before it is
// given back (the framer has carried its last bytes over).  Returns false
// at the end of the data or on a read error.
bool take_chunk(FollowReader& reader) {
  if (reader.holding) read_ahead_give_back(reader.ahead);
  reader.holding = false;
  if (reader.ended) return false;
  const ReadAheadChunk& c = read_ahead_take(reader.ahead);
  reader.holding = true;
  if (c.count > 0) {
    reader.bytes += c.count;
    framer_push(reader.framer, c.bytes, static_cast<size_t>(c.count));
    return true;
  }
  reader.ended = true;
  if (c.count < 0) reader.error = c.error;
  return false;
}

// Following: one read into the chunk, after a wait of at most wait_ms for
// data.  Returns false when nothing came.
bool poll_chunk(FollowReader& reader) {
  pollfd p{reader.fd, POLLIN, 0};
  if (poll(&p, 1, reader.wait_ms) <= 0) return false;  // a pause, or a signal
  const ssize_t n = read(reader.fd, reader.chunk, kFollowChunkBytes);
  if (n > 0) {
    reader.bytes += n;
    framer_push(reader.framer, reader.chunk, static_cast<size_t>(n));
    return true;
  }
  if (n == 0) {
    // The end of what has been written so far (or a FIFO without writer).
    pause_ms(reader.wait_ms);
  } else if (errno != EINTR && errno != EAGAIN) {
    reader.error = errno;
  }
  return false;
}

}  // namespace

void follow_init(FollowReader& reader, int fd, bool follow, int wait_ms) {
  reader.fd = fd;
  reader.follow = follow;
  reader.wait_ms = wait_ms;
  reader.error = 0;
  reader.bytes = 0;
  framer_init(reader.framer);
  reader.holding = false;
  reader.ended = false;
  if (!follow) read_ahead_start(reader.ahead, fd);
}

void follow_end(FollowReader& reader) {
  if (!reader.follow) read_ahead_stop(reader.ahead);
}

long follow_next(FollowReader& reader, const unsigned char** record) {
  for (;;) {
    const unsigned char* r = framer_next(reader.framer);
    if (r != nullptr) {
      *record = r;
      return kRecordBytes;
    }
    if (reader.error != 0) return -1;
    if (!(reader.follow ? poll_chunk(reader) : take_chunk(reader))) return reader.error != 0 ? -1 : 0;
  }
}
