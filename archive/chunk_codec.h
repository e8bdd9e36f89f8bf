// A chunk as the products store it: its values' bytes shuffled (every
// value's first byte, then every second byte, ...) and the result deflated
// into a zlib stream.  These are the byte-exact steps of the HDF5 library's
// shuffle and deflate filters, which every netCDF-4 reader undoes; done here
// with libdeflate, which is several times as fast as the zlib those filters
// call, so that the chunks can be made on worker threads and written whole.
#ifndef ARCHIVE_CHUNK_CODEC_H_
#define ARCHIVE_CHUNK_CODEC_H_

#include <cstddef>

struct libdeflate_compressor;
struct libdeflate_decompressor;

// Bytes of n values of value_bytes each, rearranged as the shuffle filter
// does (the bytes past the last whole value, if any, stay at the end).
void shuffle_bytes(const unsigned char* in, size_t nbytes, size_t value_bytes, unsigned char* out);
void unshuffle_bytes(const unsigned char* in, size_t nbytes, size_t value_bytes,
                     unsigned char* out);

// Room that deflating nbytes may take.
size_t deflate_bound(size_t nbytes);

// Deflates in into out (deflate_bound(nbytes) bytes) as a zlib stream at
// level (1 to 9); returns its length, 0 on a failure.  A compressor serves
// one thread at a time.
libdeflate_compressor* new_compressor(int level);
size_t deflate_zlib(libdeflate_compressor* c, const unsigned char* in, size_t nbytes,
                    unsigned char* out, size_t room);
void free_compressor(libdeflate_compressor* c);

// Whether deflating the chunk would hardly shrink it, judged from a few
// small samples of it (noise, such as random detector words): such a chunk
// is stored in the stream as it is (level 0), which costs a few bytes and
// saves deflate's whole search.
bool looks_incompressible(libdeflate_compressor* c, const unsigned char* in, size_t nbytes);

// Inflates a zlib stream that must give exactly nbytes; false otherwise.
libdeflate_decompressor* new_decompressor();
bool inflate_zlib(libdeflate_decompressor* d, const unsigned char* in, size_t in_bytes,
                  unsigned char* out, size_t nbytes);
void free_decompressor(libdeflate_decompressor* d);

#endif  // ARCHIVE_CHUNK_CODEC_H_
