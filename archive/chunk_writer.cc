#include "chunk_writer.h"

#include <hdf5.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "chunk_codec.h"

static_assert(sizeof(hid_t) == sizeof(int64_t));

namespace {

enum JobState { kQueued, kMaking, kMade };

void maker_init(ChunkMaker& m, int level) {
  m.compressor = level > 0 ? new_compressor(level) : nullptr;
  m.store = level > 0 ? new_compressor(0) : nullptr;
  m.scratch = nullptr;
  m.scratch_bytes = 0;
}

void maker_free(ChunkMaker& m) {
  if (m.compressor != nullptr) free_compressor(m.compressor);
  if (m.store != nullptr) free_compressor(m.store);
  std::free(m.scratch);
  m.compressor = nullptr;
  m.scratch = nullptr;
}

// Shuffles the job's values into the scratch room and deflates them back
// into the stage; packed_bytes stays 0 when that fails (the write then
// reports it).
void make_chunk(ChunkMaker& m, int level, ChunkJob& job) {
  job.packed_bytes = 0;
  if (level == 0) {  // written from the stage as it is
    job.packed_bytes = job.nbytes;
    return;
  }
  if (m.compressor == nullptr || m.store == nullptr) return;
  if (m.scratch_bytes < job.nbytes) {
    std::free(m.scratch);
    m.scratch = static_cast<unsigned char*>(std::malloc(job.nbytes));
    m.scratch_bytes = m.scratch != nullptr ? job.nbytes : 0;
    if (m.scratch == nullptr) return;
  }
  shuffle_bytes(job.data, job.nbytes, job.value_bytes, m.scratch);
  // A padded last chunk is deflated whatever it holds: its padding costs
  // nothing then.
  const bool store =
      job.used == job.nbytes && looks_incompressible(m.compressor, m.scratch, job.nbytes);
  job.packed_bytes = deflate_zlib(store ? m.store : m.compressor, m.scratch, job.nbytes, job.data,
                                  stage_room(job.nbytes));
}

void work(ChunkWriter* w) {
  ChunkMaker maker;
  maker_init(maker, w->level);
  std::unique_lock<std::mutex> held(w->lock);
  for (;;) {
    w->queued.wait(held, [w] { return w->stopping || w->next != w->tail; });
    if (w->next == w->tail) break;  // stopping, and nothing left to make
    ChunkJob& job = w->jobs[w->next % kMaxJobs];
    ++w->next;
    job.state = kMaking;
    held.unlock();
    make_chunk(maker, w->level, job);
    held.lock();
    job.state = kMade;
    w->made.notify_all();
  }
  held.unlock();
  maker_free(maker);
}

void fail_hdf5(NcFile& f, const char* what, const char* name) {
  char text[kNcWhatSize];
  std::snprintf(text, sizeof text, "%s %.48s: the HDF5 library failed", what, name);
  nc_fail_system(f, text, errno != 0 ? errno : EIO);
}

// Puts a made chunk in its place, the variable grown to hold it first.
void write_chunk(ChunkWriter& w, ChunkJob& job) {
  NcFile& f = *w.file;
  const size_t n = job.packed_bytes;
  if (nc_good(f)) {
    const hid_t d = job.target->dataset;
    if (n == 0) {
      errno = ENOMEM;
      fail_hdf5(f, "compressing", job.target->name);
    } else {
      hsize_t dims[H5S_MAX_RANK];
      errno = 0;
      const hid_t space = H5Dget_space(d);
      const int rank = space >= 0 ? H5Sget_simple_extent_dims(space, dims, nullptr) : -1;
      if (space >= 0) H5Sclose(space);
      bool ok = rank > 0;
      if (ok && dims[0] < job.length) {
        dims[0] = job.length;
        ok = H5Dset_extent(d, dims) >= 0;
      }
      hsize_t offset[kMaxChunkRank];
      for (int i = 0; i < kMaxChunkRank; ++i) offset[i] = job.offset[i];
      if (!ok || H5Dwrite_chunk(d, H5P_DEFAULT, 0, offset, n, job.data) < 0) {
        fail_hdf5(f, "writing", job.target->name);
      }
    }
  }
}

// Writes the oldest job once it is made, making it here if no worker has
// taken it; held is released meanwhile.
void write_oldest(ChunkWriter& w, std::unique_lock<std::mutex>& held) {
  ChunkJob& job = w.jobs[w.head % kMaxJobs];
  if (job.state == kQueued && w.next == w.head) {
    ++w.next;
    job.state = kMaking;
    held.unlock();
    make_chunk(w.own, w.level, job);
    held.lock();
    job.state = kMade;
  }
  w.made.wait(held, [&job] { return job.state == kMade; });
  held.unlock();
  write_chunk(w, job);
  held.lock();
  ++w.head;
}

bool in_flight(const ChunkWriter& w, const unsigned char* data) {
  for (size_t i = w.head; i != w.tail; ++i) {
    if (w.jobs[i % kMaxJobs].data == data) return true;
  }
  return false;
}

}  // namespace

size_t stage_room(size_t nbytes) {
  return deflate_bound(nbytes) > nbytes ? deflate_bound(nbytes) : nbytes;
}

void writer_start(ChunkWriter& w, NcFile& file, int level, int workers) {
  w.file = &file;
  w.level = level;
  w.head = w.next = w.tail = 0;
  w.stopping = false;
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);  // failures are reported once, by us
  maker_init(w.own, level);
  w.workers = workers < 1 ? 1 : workers > kMaxWorkers ? kMaxWorkers : workers;
  for (int i = 0; i < w.workers; ++i) w.threads[i] = std::thread(work, &w);
}

namespace {

// The file at path as the netCDF library opened it, among the files the
// HDF5 library has open in this process; -1 if none.
hid_t hdf5_file(const char* path) {
  hid_t files[64];
  const ssize_t n = H5Fget_obj_ids(H5F_OBJ_ALL, H5F_OBJ_FILE, 64, files);
  for (ssize_t i = 0; i < n; ++i) {
    char opened[PATH_MAX];
    if (H5Fget_name(files[i], opened, sizeof opened) >= 0 && std::strcmp(opened, path) == 0) {
      return files[i];
    }
  }
  return -1;
}

}  // namespace

int64_t open_chunk_target(NcFile& f, const char* path, NcVar v) {
  if (!nc_good(f)) return -1;
  char group[NC_MAX_NAME * 4 + 2];
  char name[NC_MAX_NAME + 1];
  size_t length = 0;
  if (nc_inq_grpname_full(v.group, &length, nullptr) != NC_NOERR || length >= sizeof group ||
      nc_inq_grpname_full(v.group, &length, group) != NC_NOERR ||
      nc_inq_varname(v.group, v.id, name) != NC_NOERR) {
    nc_fail(f, "finding a variable's name");
    return -1;
  }
  char full[sizeof group + sizeof name + 1];
  std::snprintf(full, sizeof full, "%s/%s", std::strcmp(group, "/") == 0 ? "" : group, name);
  const hid_t file = hdf5_file(path);
  const hid_t d = file >= 0 ? H5Dopen2(file, full, H5P_DEFAULT) : -1;
  if (d < 0) nc_fail(f, "finding a variable's dataset in the HDF5 file");
  return d;
}

void limit_metadata_cache(NcFile& f, const char* path, size_t bytes) {
  const hid_t file = hdf5_file(path);
  H5AC_cache_config_t config;
  config.version = H5AC__CURR_CACHE_CONFIG_VERSION;
  if (file < 0 || H5Fget_mdc_config(file, &config) < 0) {
    nc_fail(f, "finding the HDF5 file's metadata cache");
    return;
  }
  config.set_initial_size = true;
  config.initial_size = bytes;
  config.max_size = bytes;
  if (config.min_size > bytes) config.min_size = bytes;
  if (H5Fset_mdc_config(file, &config) < 0) nc_fail(f, "limiting the HDF5 file's metadata cache");
}

void close_chunk_target(int64_t dataset) {
  if (dataset >= 0) H5Dclose(dataset);
}

void writer_submit(ChunkWriter& w, const ChunkTarget& target, const uint64_t* offset,
                   uint64_t length, unsigned char* data, size_t nbytes, size_t used,
                   size_t value_bytes) {
  std::unique_lock<std::mutex> held(w.lock);
  while (w.tail - w.head == kMaxJobs) write_oldest(w, held);
  ChunkJob& job = w.jobs[w.tail % kMaxJobs];
  job.target = &target;
  for (int i = 0; i < kMaxChunkRank; ++i) job.offset[i] = offset[i];
  job.length = length;
  job.data = data;
  job.nbytes = nbytes;
  job.used = used;
  job.value_bytes = value_bytes;
  job.packed_bytes = 0;
  job.state = kQueued;
  ++w.tail;
  w.queued.notify_one();
  // What is made already goes out now, so that little waits in memory.
  while (w.head != w.tail && w.jobs[w.head % kMaxJobs].state == kMade) write_oldest(w, held);
}

void writer_release(ChunkWriter& w, const unsigned char* data) {
  std::unique_lock<std::mutex> held(w.lock);
  while (in_flight(w, data)) write_oldest(w, held);
}

void writer_stop(ChunkWriter& w) {
  {
    std::unique_lock<std::mutex> held(w.lock);
    while (w.head != w.tail) write_oldest(w, held);
    w.stopping = true;
    w.queued.notify_all();
  }
  for (int i = 0; i < w.workers; ++i) w.threads[i].join();
  w.workers = 0;
  maker_free(w.own);
}
