// Rows of a result array, collected as records are decoded and handed to
// NumPy without a copy.
//
// The rows live in anonymous memory that grows with mremap: the kernel
// moves the pages, never the bytes, and pages not yet written take no
// memory.  So an array of unknown final length costs no more memory than
// its rows, however it grows, and the whole mapping is given away to the
// NumPy array that owns it from then on.  The last large mapping freed is
// kept (its pages free for the kernel to take) for the next large array,
// which then needs no fresh pages cleared.
#ifndef PYTHON_GROWING_ARRAY_H_
#define PYTHON_GROWING_ARRAY_H_

#include <cstddef>

struct GrowingArray {
  size_t row_bytes;
  size_t rows;
  size_t capacity;      // bytes mapped
  unsigned char* data;  // nullptr while nothing is mapped
};

void array_init(GrowingArray& a, size_t row_bytes);

// Room for n more rows, counted as used; nullptr when memory is exhausted.
unsigned char* array_extend(GrowingArray& a, size_t n);

// One more row, copied from row (row_bytes of it); false when memory is
// exhausted.
bool array_append(GrowingArray& a, const void* row);

// The mapping, trimmed to the rows, given away: the caller frees it with
// array_free_mapping(data, bytes).  The array is empty afterwards.
unsigned char* array_give_away(GrowingArray& a, size_t& bytes);
void array_free_mapping(unsigned char* data, size_t bytes);

// Frees what the array holds.
void array_clear(GrowingArray& a);

#endif  // PYTHON_GROWING_ARRAY_H_
