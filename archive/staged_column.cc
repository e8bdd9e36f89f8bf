#include "staged_column.h"

void column_init(StagedColumn& c, NcFile& file, NcVar var, int rank, const size_t* offsets,
                 const size_t* extent, size_t value_bytes, size_t chunk) {
  c.file = &file;
  c.var = var;
  c.rank = rank;
  c.start[0] = 0;
  c.count[0] = 0;
  c.element_bytes = value_bytes;
  for (int i = 1; i < rank; ++i) {
    c.start[i] = offsets != nullptr ? offsets[i - 1] : 0;
    c.count[i] = extent[i - 1];
    c.element_bytes *= extent[i - 1];
  }
  c.chunk = chunk;
  c.staged = 0;
  c.stage = std::make_unique<unsigned char[]>(chunk * c.element_bytes);
}

namespace {

void write_stage(StagedColumn& c) {
  if (c.staged == 0) return;
  c.count[0] = c.staged;
  nc_write(*c.file, c.var, c.start, c.count, c.stage.get());
  c.start[0] += c.staged;
  c.staged = 0;
}

}  // namespace

void column_advance(StagedColumn& c, size_t n) {
  c.staged += n;
  if (c.staged == c.chunk) write_stage(c);
}

void column_append(StagedColumn& c, const void* values, size_t n) {
  const unsigned char* from = static_cast<const unsigned char*>(values);
  while (n > 0) {
    size_t room;
    unsigned char* to = column_slots(c, room);
    const size_t k = n < room ? n : room;
    std::memcpy(to, from, k * c.element_bytes);
    from += k * c.element_bytes;
    column_advance(c, k);
    n -= k;
  }
}

void column_finish(StagedColumn& c) { write_stage(c); }
