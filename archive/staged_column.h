// Values of one variable staged along its growing dimension and written to
// the product a whole chunk at a time.
//
// A column holds one chunk's worth of elements (an element being one step
// along the first dimension: a value, or a row of values over the others).
// When the stage is full it goes out as one chunk, so each chunk is
// compressed once and never read back, and no chunk cache is needed; the
// rest goes out at the end.  Memory is two stages, whatever the input's
// length.  With a chunk writer the chunks are made on its workers while the
// column fills its other stage; without one they go through the netCDF
// library.
#ifndef ARCHIVE_STAGED_COLUMN_H_
#define ARCHIVE_STAGED_COLUMN_H_

#include <cstddef>
#include <cstring>
#include <memory>

#include "chunk_writer.h"
#include "nc_call.h"

constexpr int kMaxColumnRank = kMaxChunkRank;

struct StagedColumn {
  NcFile* file;
  NcVar var;
  int rank;
  size_t start[kMaxColumnRank];  // [0]: elements written; the others: where the column lies
  size_t count[kMaxColumnRank];  // [1..]: the extent of one element
  size_t value_bytes;
  size_t element_bytes;
  size_t chunk;          // elements per chunk: the stage's room
  size_t staged;         // elements in the stage
  unsigned char* stage;  // one of stages, being filled
  std::unique_ptr<unsigned char[]> stages[2];
  ChunkWriter* writer;  // nullptr: written through the netCDF library
  ChunkTarget target;
};

// A column of var whose elements have the given extent (rank - 1 lengths)
// at the given offsets in the other dimensions (nullptr: all at 0), each
// value value_bytes long, chunk elements to a chunk.
void column_init(StagedColumn& c, NcFile& file, NcVar var, int rank, const size_t* offsets,
                 const size_t* extent, size_t value_bytes, size_t chunk);

// Hands the column's chunks to writer, which writes them to target, a
// dataset handle that the column closes when it is finished.
void column_use_writer(StagedColumn& c, ChunkWriter& writer, int64_t target);

// Where the next element goes, and in room how many fit before the stage
// is full (at least one).
inline unsigned char* column_slots(StagedColumn& c, size_t& room) {
  room = c.chunk - c.staged;
  return c.stage + c.staged * c.element_bytes;
}

// Takes n elements written at column_slots (n <= room); hands over the
// chunk when the stage is full.
void column_advance(StagedColumn& c, size_t n);

// Appends n elements from values.
void column_append(StagedColumn& c, const void* values, size_t n);

// Appends n copies of one value (a column of single values of type T).
template <typename T>
void column_repeat(StagedColumn& c, T value, size_t n) {
  while (n > 0) {
    size_t room;
    T* p = reinterpret_cast<T*>(column_slots(c, room));
    const size_t k = n < room ? n : room;
    for (size_t i = 0; i < k; ++i) p[i] = value;
    column_advance(c, k);
    n -= k;
  }
}

// Hands over what is staged, padded to a whole chunk.  The chunks are all
// written once the writer has stopped.
void column_finish(StagedColumn& c);

// Closes the column's dataset handle, after its writer has stopped.
void column_close(StagedColumn& c);

// Elements taken so far, written or staged.
inline size_t column_length(const StagedColumn& c) { return c.start[0] + c.staged; }

#endif  // ARCHIVE_STAGED_COLUMN_H_
