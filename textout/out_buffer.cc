#include "out_buffer.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>

void out_init(OutBuffer& out, int fd) {
  out.fd = fd;
  out.is_terminal = isatty(fd) == 1;
  out.error = 0;
  out.used = 0;
}

bool out_flush(OutBuffer& out) {
  size_t done = 0;
  while (out.error == 0 && done < out.used) {
    const ssize_t n = write(out.fd, out.data + done, out.used - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      out.error = errno;
    } else if (n == 0) {
      out.error = EIO;  // a write that makes no progress would loop for ever
    } else {
      done += static_cast<size_t>(n);
    }
  }
  out.used = 0;
  return out.error == 0;
}

char* out_reserve(OutBuffer& out, size_t n) {
  if (kOutBufferSize - out.used < n) out_flush(out);
  return out.data + out.used;
}

void out_write(OutBuffer& out, const char* text, size_t n) {
  while (n > 0) {
    if (out.used == kOutBufferSize) out_flush(out);
    size_t room = kOutBufferSize - out.used;
    size_t part = n < room ? n : room;
    std::memcpy(out.data + out.used, text, part);
    out.used += part;
    text += part;
    n -= part;
  }
}

void out_puts(OutBuffer& out, const char* text) { out_write(out, text, std::strlen(text)); }
