#include "growing_array.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

constexpr size_t kFirstMapping = 1 << 16;

// Mappings of at least this size are worth keeping when their array is
// freed, and worth taking over when an array grows.
constexpr size_t kSpareFrom = 1 << 20;

size_t page_round(size_t bytes) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

// The last large mapping freed, kept for the next large array.  Its pages
// are given back to the kernel to take when it needs them (MADV_FREE);
// until it does, the next result, often of the same size, is written
// without the kernel clearing fresh pages for it.  One at a time, handed
// over whole between threads.
struct Spare {
  unsigned char* data;
  size_t bytes;
};
std::atomic<Spare*> g_spare{nullptr};

void unmap(Spare* spare) {
  if (spare == nullptr) return;
  munmap(spare->data, spare->bytes);
  delete spare;
}

// Takes over the spare mapping if it holds capacity bytes, moving the rows
// there; false when there is none that large.
bool adopt_spare(GrowingArray& a, size_t capacity) {
  Spare* spare = g_spare.exchange(nullptr);
  if (spare == nullptr) return false;
  if (spare->bytes < capacity) {
    unmap(spare);
    return false;
  }
  if (a.data != nullptr) {
    std::memcpy(spare->data, a.data, a.rows * a.row_bytes);
    munmap(a.data, a.capacity);
  }
  a.data = spare->data;
  a.capacity = spare->bytes;
  delete spare;
  return true;
}

bool grow(GrowingArray& a, size_t need) {
  size_t capacity = a.capacity == 0 ? kFirstMapping : a.capacity;
  while (capacity < need) capacity *= 2;
  if (capacity >= kSpareFrom && adopt_spare(a, capacity)) return true;
  void* p = a.data == nullptr ? mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                              : mremap(a.data, a.capacity, capacity, MREMAP_MAYMOVE);
  if (p == MAP_FAILED) return false;
  // Large rows are written once from start to end: huge pages take one
  // fault where small ones take 512.
  madvise(p, capacity, MADV_HUGEPAGE);
  a.data = static_cast<unsigned char*>(p);
  a.capacity = capacity;
  return true;
}

}  // namespace

void array_init(GrowingArray& a, size_t row_bytes) {
  a.row_bytes = row_bytes;
  a.rows = 0;
  a.capacity = 0;
  a.data = nullptr;
}

unsigned char* array_extend(GrowingArray& a, size_t n) {
  const size_t used = a.rows * a.row_bytes;
  const size_t need = used + n * a.row_bytes;
  if (need > a.capacity && !grow(a, need)) return nullptr;
  a.rows += n;
  return a.data + used;
}

bool array_append(GrowingArray& a, const void* row) {
  unsigned char* p = array_extend(a, 1);
  if (p == nullptr) return false;
  std::memcpy(p, row, a.row_bytes);
  return true;
}

unsigned char* array_give_away(GrowingArray& a, size_t& bytes) {
  unsigned char* data = a.data;
  bytes = a.capacity;
  if (data != nullptr) {
    // Shrinking a mapping never moves it.
    const size_t keep = page_round(a.rows * a.row_bytes);
    if (keep > 0 && keep < a.capacity && mremap(data, a.capacity, keep, 0) != MAP_FAILED)
      bytes = keep;
  }
  a.rows = 0;
  a.capacity = 0;
  a.data = nullptr;
  return data;
}

void array_free_mapping(unsigned char* data, size_t bytes) {
  if (data == nullptr) return;
  if (bytes < kSpareFrom || madvise(data, bytes, MADV_FREE) != 0) {
    munmap(data, bytes);
    return;
  }
  unmap(g_spare.exchange(new Spare{data, bytes}));
}

void array_clear(GrowingArray& a) {
  array_free_mapping(a.data, a.capacity);
  a.rows = 0;
  a.capacity = 0;
  a.data = nullptr;
}
