#include "read_ahead.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

// One read(2) into the chunk, retried when a signal interrupts it.  The
// reading thread may be cancelled while the read waits, and only then.
void fill(int fd, ReadAheadChunk& c, bool cancellable) {
  for (;;) {
    if (cancellable) pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, nullptr);
    const ssize_t n = read(fd, c.bytes, kReadAheadChunkBytes);
    const int error = errno;
    if (cancellable) pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
    if (n >= 0) {
      c.count = static_cast<long>(n);
      c.error = 0;
      return;
    }
    if (error == EINTR) continue;
    c.count = -1;
    c.error = error;
    return;
  }
}

// The reading thread: fills chunk after chunk while one is free, until the
// end of the data, a read error or a stop.
void* read_chunks(void* argument) {
  ReadAhead& r = *static_cast<ReadAhead*>(argument);
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
  for (uint32_t n = 0;; ++n) {
    for (;;) {
      const uint32_t back = r.given_back.load(std::memory_order_acquire);
      if (r.stop.load()) return nullptr;
      if (n - back < static_cast<uint32_t>(kReadAheadChunks)) break;
      r.given_back.wait(back);
    }
    ReadAheadChunk& c = r.chunks[n % kReadAheadChunks];
    fill(r.fd, c, true);
    r.filled.store(n + 1, std::memory_order_release);
    r.filled.notify_one();
    if (c.count <= 0) return nullptr;
  }
}

}  // namespace

void read_ahead_start(ReadAhead& r, int fd) {
  r.fd = fd;
  r.filled = 0;
  r.given_back = 0;
  r.stop = false;
  r.taken = 0;
  // Signals stay with the thread that started it, as before there was one.
  sigset_t all, before;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &before);
  r.threaded = pthread_create(&r.thread, nullptr, read_chunks, &r) == 0;
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

const ReadAheadChunk& read_ahead_take(ReadAhead& r) {
  ReadAheadChunk& c = r.chunks[r.taken % kReadAheadChunks];
  if (!r.threaded) {
    fill(r.fd, c, false);
    return c;
  }
  for (;;) {
    const uint32_t filled = r.filled.load(std::memory_order_acquire);
    if (filled != r.taken) break;
    r.filled.wait(filled);
  }
  return c;
}

void read_ahead_give_back(ReadAhead& r) {
  ++r.taken;
  if (!r.threaded) return;
  r.given_back.store(r.taken, std::memory_order_release);
  r.given_back.notify_one();
}

void read_ahead_stop(ReadAhead& r) {
  if (!r.threaded) return;
  r.stop = true;
  r.given_back.fetch_add(1);  // wakes a reading thread waiting for a chunk
  r.given_back.notify_one();
  pthread_cancel(r.thread);  // and one whose read waits for data
  pthread_join(r.thread, nullptr);
  r.threaded = false;
}
