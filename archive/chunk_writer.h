// Whole chunks of a product's growing variables, made on worker threads
// and written in their places by the thread that stages them.
//
// A staged column hands over a full stage (or, at the end, what is left,
// padded to a whole chunk) and goes on filling its other stage.  The workers
// (and the staging thread, while it waits) shuffle and deflate the chunks
// exactly as the library's filters would; the staging thread alone calls
// the HDF5 library, which takes each made chunk as it is (direct chunk
// write) after growing the variable to hold it.  The netCDF library defines
// the variables and their filters and reads the products back; only the
// chunks' making goes around its one-threaded zlib.
#ifndef ARCHIVE_CHUNK_WRITER_H_
#define ARCHIVE_CHUNK_WRITER_H_

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "nc_call.h"

constexpr int kMaxChunkRank = 4;

// A variable as the HDF5 library holds it.
struct ChunkTarget {
  int64_t dataset;                 // an HDF5 dataset handle of its own, -1 when none
  char name[2 * NC_MAX_NAME + 2];  // "group/variable", for messages
};

struct ChunkJob {
  const ChunkTarget* target;
  uint64_t offset[kMaxChunkRank];  // where the chunk starts
  uint64_t length;                 // the first dimension's length with this chunk
  unsigned char* data;             // the stage: its values, then the chunk made from them
  size_t nbytes;
  size_t used;  // bytes of values before the padding of a last chunk
  size_t value_bytes;
  size_t packed_bytes;  // the chunk's length once made, 0 when it could not be
  int state;
};

constexpr size_t kMaxJobs = 512;
constexpr int kMaxWorkers = 8;

// The room and the compressor of one thread that makes chunks.
struct ChunkMaker {
  struct libdeflate_compressor* compressor;
  struct libdeflate_compressor* store;  // level 0, for noise
  unsigned char* scratch;
  size_t scratch_bytes;
};

struct ChunkWriter {
  NcFile* file;  // a failure is reported there
  int level;     // 0: stored as they are
  std::mutex lock;
  std::condition_variable queued;  // a job to make, or the end
  std::condition_variable made;    // a job made
  ChunkJob jobs[kMaxJobs];         // a ring
  size_t head;                     // the oldest job not yet written
  size_t next;                     // the next job to make
  size_t tail;                     // where the next job goes
  bool stopping;
  int workers;
  std::thread threads[kMaxWorkers];
  ChunkMaker own;  // the staging thread's, for the jobs it makes itself
};

// Starts workers threads (at least 1) making chunks deflated at level.
void writer_start(ChunkWriter& w, NcFile& file, int level, int workers);

// An HDF5 handle of variable v of the file that the netCDF library has
// open at path; -1 (the file failed) when there is none.
int64_t open_chunk_target(NcFile& f, const char* path, NcVar v);
void close_chunk_target(int64_t dataset);

// Holds the metadata cache of that file to bytes.  The chunk indexes grow
// with the input, and the cache keeps their nodes in a form several times
// their size on disk: left to the library, it grows by megabytes per
// gigabyte of input until its own limit.
void limit_metadata_cache(NcFile& f, const char* path, size_t bytes);

// Room for a stage of nbytes: the chunk made from it replaces its values,
// and deflating may add a few bytes.
size_t stage_room(size_t nbytes);

// Queues the chunk of target at offset made from data (nbytes of values of
// value_bytes each, the first used of them staged, the rest padding; room
// for stage_room(nbytes)); length is the first dimension's length once it
// is in.  The chunk is made in place of the values.
void writer_submit(ChunkWriter& w, const ChunkTarget& target, const uint64_t* offset,
                   uint64_t length, unsigned char* data, size_t nbytes, size_t used,
                   size_t value_bytes);

// Writes chunks in order until none is made from data: data may be filled
// again.
void writer_release(ChunkWriter& w, const unsigned char* data);

// Writes every chunk queued and stops the workers.
void writer_stop(ChunkWriter& w);

#endif  // ARCHIVE_CHUNK_WRITER_H_
