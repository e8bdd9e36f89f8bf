// Buffered output on a file descriptor, with the error kept for the caller.
//
// The raw-data tools write tens of megabytes of short lines; they format
// straight into this buffer and hand it to write(2) in large pieces.  When
// the descriptor is a terminal the buffer is also emptied at the end of
// every record, so that an operator watching a live stream sees it as it
// comes.  A failed write is remembered (the first errno) and everything
// after it is dropped: the program reports it once and exits non-zero.
#ifndef TEXTOUT_OUT_BUFFER_H_
#define TEXTOUT_OUT_BUFFER_H_

#include <cstddef>

constexpr size_t kOutBufferSize = 1 << 17;

struct OutBuffer {
  int fd;
  bool is_terminal;  // empty the buffer at every record boundary
  int error;         // errno of the first failed write, 0 while all is well
  size_t used;
  char data[kOutBufferSize];
};

void out_init(OutBuffer& out, int fd);

// Returns a pointer with room for at least n bytes (n <= kOutBufferSize);
// the caller writes there and hands the end back with out_commit.
char* out_reserve(OutBuffer& out, size_t n);
inline void out_commit(OutBuffer& out, const char* end) {
  out.used = static_cast<size_t>(end - out.data);
}

void out_write(OutBuffer& out, const char* text, size_t n);
void out_puts(OutBuffer& out, const char* text);

// Writes everything buffered; false when this or an earlier write failed.
bool out_flush(OutBuffer& out);

// Called at the end of each record: empties the buffer at a terminal.
inline void out_end_record(OutBuffer& out) {
  if (out.is_terminal) out_flush(out);
}

#endif  // TEXTOUT_OUT_BUFFER_H_
