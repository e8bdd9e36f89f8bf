// Values of one variable staged along its growing dimension and written to
// the product a whole chunk at a time.
//
// A column holds one chunk's worth of elements (an element being one step
// along the first dimension: a value, or a row of values over the others).
// When the stage is full it goes to the file in one write that covers the
// chunk exactly, so the library compresses each chunk once, never reads one
// back, and needs no chunk cache; the rest goes out at the end.  Memory is
// the stage, whatever the input's length.
#ifndef ARCHIVE_STAGED_COLUMN_H_
#define ARCHIVE_STAGED_COLUMN_H_

#include <cstddef>
#include <cstring>
#include <memory>

#include "nc_call.h"

constexpr int kMaxColumnRank = 4;

struct StagedColumn {
  NcFile* file;
  NcVar var;
  int rank;
  size_t start[kMaxColumnRank];  // [0]: elements written; the others: where the column lies
  size_t count[kMaxColumnRank];  // [1..]: the extent of one element
  size_t element_bytes;
  size_t chunk;   // elements per chunk: the stage's room
  size_t staged;  // elements in the stage
  std::unique_ptr<unsigned char[]> stage;
};

// A column of var whose elements have the given extent (rank - 1 lengths)
// at the given offsets in the other dimensions (nullptr: all at 0), each
// value value_bytes long, chunk elements to a chunk.
void column_init(StagedColumn& c, NcFile& file, NcVar var, int rank, const size_t* offsets,
                 const size_t* extent, size_t value_bytes, size_t chunk);

// Where the next element goes, and in room how many fit before the stage
// is full (at least one).
inline unsigned char* column_slots(StagedColumn& c, size_t& room) {
  room = c.chunk - c.staged;
  return c.stage.get() + c.staged * c.element_bytes;
}

// Takes n elements written at column_slots (n <= room); writes the chunk
// when the stage is full.
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

// Writes what is staged.
void column_finish(StagedColumn& c);

// Elements taken so far, written or staged.
inline size_t column_length(const StagedColumn& c) { return c.start[0] + c.staged; }

#endif  // ARCHIVE_STAGED_COLUMN_H_
