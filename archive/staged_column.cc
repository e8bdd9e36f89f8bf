#include "staged_column.h"

void column_init(StagedColumn& c, NcFile& file, NcVar var, int rank, const size_t* offsets,
                 const size_t* extent, size_t value_bytes, size_t chunk) {
  c.file = &file;
  c.var = var;
  c.rank = rank;
  c.start[0] = 0;
  c.count[0] = 0;
  c.value_bytes = value_bytes;
  c.element_bytes = value_bytes;
  for (int i = 1; i < rank; ++i) {
    c.start[i] = offsets != nullptr ? offsets[i - 1] : 0;
    c.count[i] = extent[i - 1];
    c.element_bytes *= extent[i - 1];
  }
  c.chunk = chunk;
  c.staged = 0;
  c.stages[0] = std::make_unique_for_overwrite<unsigned char[]>(chunk * c.element_bytes);
  c.stages[1].reset();
  c.stage = c.stages[0].get();
  c.writer = nullptr;
  c.target.dataset = -1;
  c.target.name[0] = '\0';
}

void column_use_writer(StagedColumn& c, ChunkWriter& writer, int64_t target) {
  c.writer = &writer;
  c.target.dataset = target;
  nc_variable_name(c.var, c.target.name, sizeof c.target.name);
  const size_t room = stage_room(c.chunk * c.element_bytes);
  c.stages[0] = std::make_unique_for_overwrite<unsigned char[]>(room);
  c.stages[1] = std::make_unique_for_overwrite<unsigned char[]>(room);
  c.stage = c.stages[0].get();
}

namespace {

// The chunk to the writer, and the other stage to fill.
void hand_over(StagedColumn& c) {
  const size_t bytes = c.chunk * c.element_bytes;
  const size_t used = c.staged * c.element_bytes;
  if (used < bytes) std::memset(c.stage + used, 0, bytes - used);  // past the end: not read
  uint64_t offset[kMaxChunkRank] = {};
  for (int i = 0; i < c.rank; ++i) offset[i] = c.start[i];
  writer_submit(*c.writer, c.target, offset, c.start[0] + c.staged, c.stage, bytes, used,
                c.value_bytes);
  c.stage = c.stage == c.stages[0].get() ? c.stages[1].get() : c.stages[0].get();
  writer_release(*c.writer, c.stage);
}

void write_stage(StagedColumn& c) {
  if (c.staged == 0) return;
  if (c.writer != nullptr) {
    hand_over(c);
  } else {
    c.count[0] = c.staged;
    nc_write(*c.file, c.var, c.start, c.count, c.stage);
  }
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

void column_close(StagedColumn& c) {
  close_chunk_target(c.target.dataset);
  c.target.dataset = -1;
}
