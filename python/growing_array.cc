#include "growing_array.h"

#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr size_t kFirstMapping = 1 << 16;

size_t page_round(size_t bytes) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

bool grow(GrowingArray& a, size_t need) {
  size_t capacity = a.capacity == 0 ? kFirstMapping : a.capacity;
  while (capacity < need) capacity *= 2;
  void* p = a.data == nullptr
                ? mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
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

unsigned char* array_give_away(GrowingArray& a, size_t& bytes) {
  unsigned char* data = a.data;
  bytes = a.capacity;
  if (data != nullptr) {
    // Shrinking a mapping never moves it.
    const size_t keep = page_round(a.rows * a.row_bytes);
    if (keep > 0 && keep < a.capacity && mremap(data, a.capacity, keep, 0) != MAP_FAILED) bytes = keep;
  }
  a.rows = 0;
  a.capacity = 0;
  a.data = nullptr;
  return data;
}

void array_free_mapping(unsigned char* data, size_t bytes) {
  if (data != nullptr) munmap(data, bytes);
}

void array_clear(GrowingArray& a) {
  array_free_mapping(a.data, a.capacity);
  a.rows = 0;
  a.capacity = 0;
  a.data = nullptr;
}
