#include "chunk_codec.h"

#include <libdeflate.h>

#include <cstring>

namespace {

// One pass over the values, each of its bytes to its own run.
template <size_t kBytes>
void shuffle_values(const unsigned char* in, size_t n, unsigned char* out) {
  for (size_t i = 0; i < n; ++i) {
    for (size_t b = 0; b < kBytes; ++b) out[b * n + i] = in[i * kBytes + b];
  }
}

template <size_t kBytes>
void unshuffle_values(const unsigned char* in, size_t n, unsigned char* out) {
  for (size_t i = 0; i < n; ++i) {
    for (size_t b = 0; b < kBytes; ++b) out[i * kBytes + b] = in[b * n + i];
  }
}

}  // namespace

void shuffle_bytes(const unsigned char* in, size_t nbytes, size_t value_bytes, unsigned char* out) {
  const size_t n = nbytes / value_bytes;
  switch (value_bytes) {
    case 1: std::memcpy(out, in, n); break;
    case 2: shuffle_values<2>(in, n, out); break;
    case 4: shuffle_values<4>(in, n, out); break;
    case 8: shuffle_values<8>(in, n, out); break;
    default:
      for (size_t b = 0; b < value_bytes; ++b) {
        for (size_t i = 0; i < n; ++i) out[b * n + i] = in[i * value_bytes + b];
      }
  }
  std::memcpy(out + n * value_bytes, in + n * value_bytes, nbytes - n * value_bytes);
}

void unshuffle_bytes(const unsigned char* in, size_t nbytes, size_t value_bytes,
                     unsigned char* out) {
  const size_t n = nbytes / value_bytes;
  switch (value_bytes) {
    case 1: std::memcpy(out, in, n); break;
    case 2: unshuffle_values<2>(in, n, out); break;
    case 4: unshuffle_values<4>(in, n, out); break;
    case 8: unshuffle_values<8>(in, n, out); break;
    default:
      for (size_t b = 0; b < value_bytes; ++b) {
        for (size_t i = 0; i < n; ++i) out[i * value_bytes + b] = in[b * n + i];
      }
  }
  std::memcpy(out + n * value_bytes, in + n * value_bytes, nbytes - n * value_bytes);
}

size_t deflate_bound(size_t nbytes) { return libdeflate_zlib_compress_bound(nullptr, nbytes); }

libdeflate_compressor* new_compressor(int level) { return libdeflate_alloc_compressor(level); }

size_t deflate_zlib(libdeflate_compressor* c, const unsigned char* in, size_t nbytes,
                    unsigned char* out, size_t room) {
  return libdeflate_zlib_compress(c, in, nbytes, out, room);
}

void free_compressor(libdeflate_compressor* c) { libdeflate_free_compressor(c); }

bool looks_incompressible(libdeflate_compressor* c, const unsigned char* in, size_t nbytes) {
  constexpr size_t kProbes = 4, kProbeBytes = 4096;
  if (nbytes < 16 * kProbes * kProbeBytes) return false;
  unsigned char out[kProbeBytes + 512];
  size_t packed = 0;
  for (size_t k = 0; k < kProbes; ++k) {
    const size_t at = (2 * k + 1) * (nbytes / (2 * kProbes));
    const size_t n = libdeflate_deflate_compress(c, in + at, kProbeBytes, out, sizeof out);
    packed += n != 0 ? n : kProbeBytes;
  }
  return packed * 100 >= kProbes * kProbeBytes * 99;
}

libdeflate_decompressor* new_decompressor() { return libdeflate_alloc_decompressor(); }

bool inflate_zlib(libdeflate_decompressor* d, const unsigned char* in, size_t in_bytes,
                  unsigned char* out, size_t nbytes) {
  size_t got = 0;
  return libdeflate_zlib_decompress(d, in, in_bytes, out, nbytes, &got) == LIBDEFLATE_SUCCESS &&
         got == nbytes;
}

void free_decompressor(libdeflate_decompressor* d) { libdeflate_free_decompressor(d); }
