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

// One read into the chunk.  Returns false when nothing came.
bool fill_chunk(FollowReader& reader) {
  if (reader.follow) {
    pollfd p{reader.fd, POLLIN, 0};
    if (poll(&p, 1, reader.wait_ms) <= 0) return false;  // a pause, or a signal
  }
  for (;;) {
    const ssize_t n = read(reader.fd, reader.chunk, kFollowChunkBytes);
    if (n > 0) {
      reader.bytes += n;
      framer_push(reader.framer, reader.chunk, static_cast<size_t>(n));
      return true;
    }
    if (n == 0) {
      // The end of what has been written so far (or a FIFO without writer).
      if (reader.follow) pause_ms(reader.wait_ms);
      return false;
    }
    if (errno == EINTR) {
      if (reader.follow) return false;
      continue;
    }
    if (errno == EAGAIN) return false;
    reader.error = errno;
    return false;
  }
}

}  // namespace

void follow_init(FollowReader& reader, int fd, bool follow, int wait_ms) {
  reader.fd = fd;
  reader.follow = follow;
  reader.wait_ms = wait_ms;
  reader.error = 0;
  reader.bytes = 0;
  framer_init(reader.framer);
}

long follow_next(FollowReader& reader, const unsigned char** record) {
  for (;;) {
    const unsigned char* r = framer_next(reader.framer);
    if (r != nullptr) {
      *record = r;
      return kRecordBytes;
    }
    if (reader.error != 0) return -1;
    if (!fill_chunk(reader)) return reader.error != 0 ? -1 : 0;
  }
}
