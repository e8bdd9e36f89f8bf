#include "output_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console.h"

namespace {

constexpr int kLongestFloat = 24;  // "-1.17549435e-38" and room to spare

// New files get the usual mode of a created file, not mkstemp's 0600.
mode_t creation_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

bool fail_and_remove(ValueFile& f, int error, Message& m) {
  if (f.buffer.fd >= 0) close(f.buffer.fd);
  f.buffer.fd = -1;
  unlink(f.temp_path);
  message_system_error(m, f.path, error);
  return false;
}

bool write_value_file(ValueFile& f, const char* path, const float* values, int count,
                      Message& m) {
  if (!value_file_create(f, path, m)) return false;
  value_file_write(f, values, count);
  return value_file_commit(f, m);
}

}  // namespace

bool value_file_create(ValueFile& f, const char* path, Message& m) {
  f.path = path;
  const size_t n = std::strlen(path);
  if (n + sizeof(".XXXXXX") > sizeof(f.temp_path)) {
    message_system_error(m, path, ENAMETOOLONG);
    return false;
  }
  std::memcpy(f.temp_path, path, n);
  std::memcpy(f.temp_path + n, ".XXXXXX", sizeof(".XXXXXX"));
  const int fd = mkstemp(f.temp_path);
  if (fd < 0) {
    message_system_error(m, path, errno);
    return false;
  }
  out_init(f.buffer, fd);
  if (fchmod(fd, creation_mode()) != 0) return fail_and_remove(f, errno, m);
  return true;
}

void value_file_write(ValueFile& f, const float* values, int count) {
  for (int i = 0; i < count; ++i) {
    char* p = out_reserve(f.buffer, kLongestFloat + 1);
    p = std::to_chars(p, p + kLongestFloat, values[i]).ptr;
    *p++ = '\n';
    out_commit(f.buffer, p);
  }
}

bool value_file_commit(ValueFile& f, Message& m) {
  if (!out_flush(f.buffer)) return fail_and_remove(f, f.buffer.error, m);
  if (fsync(f.buffer.fd) != 0) return fail_and_remove(f, errno, m);
  const int fd = f.buffer.fd;
  f.buffer.fd = -1;
  if (close(fd) != 0) return fail_and_remove(f, errno, m);
  if (rename(f.temp_path, f.path) != 0) return fail_and_remove(f, errno, m);
  return true;
}

bool write_entry_files(const DetectionEntry& e, ValueFile& f, OutBuffer& console,
                       Message& m) {
  if (!value_file_create(f, "interferogram.dat", m)) return false;
  write_written(console, e.header[2]);
  value_file_write(f, e.samples, e.samples_line.count);
  if (!value_file_commit(f, m)) return false;
  return write_value_file(f, "spectrum.dat", e.spectrum, e.spectrum_line.count, m);
}
