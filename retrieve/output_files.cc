#include "output_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "console.h"

namespace {

constexpr int kLongestFloat = 24;  // "-1.17549435e-38" and room to spare

bool write_value_file(ValueFile& f, const char* path, const float* values, int count, Message& m) {
  if (!value_file_open(f, path, m)) return false;
  value_file_write(f, values, count);
  return value_file_close(f, m);
}

}  // namespace

bool value_file_open(ValueFile& f, const char* path, Message& m) {
  f.path = path;
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    message_system_error(m, path, errno);
    return false;
  }
  out_init(f.buffer, fd);
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

bool value_file_close(ValueFile& f, Message& m) {
  int error = out_flush(f.buffer) ? 0 : f.buffer.error;
  if (close(f.buffer.fd) != 0 && error == 0) error = errno;
  f.buffer.fd = -1;
  if (error == 0) return true;
  message_printf(m, "%s: %s; the file is incomplete", f.path, std::strerror(error));
  return false;
}

bool write_entry_files(const DetectionEntry& e, ValueFile& f, OutBuffer& console, Message& m) {
  if (!value_file_open(f, "interferogram.dat", m)) return false;
  write_written(console, e.header[2]);
  value_file_write(f, e.samples, e.samples_line.count);
  if (!value_file_close(f, m)) return false;
  return write_value_file(f, "spectrum.dat", e.spectrum, e.spectrum_line.count, m);
}
