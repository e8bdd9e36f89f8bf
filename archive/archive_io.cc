#include "archive_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "exit_status.h"
#include "nc_call.h"
#include "pending_output.h"

namespace {

// A name under /dev or /proc (/dev/stdin, /proc/self/fd/0) stands for a
// file opened elsewhere, a regular one when the shell redirects it: the
// product would land among the system's device names.
bool system_name(const char* path) {
  return std::strncmp(path, "/dev/", 5) == 0 || std::strncmp(path, "/proc/", 6) == 0;
}

}  // namespace

int open_archive_io(ArchiveIo& io, const char* program) {
  // Settled before the open, which would wait for a FIFO's writer.
  if (io.output == nullptr) {
    struct stat st;
    if (stat(io.input, &st) != 0) {
      std::fprintf(stderr, "%s: %s: %s\n", program, io.input, std::strerror(errno));
      return kExitFailure;
    }
    const int n = std::snprintf(io.default_output, sizeof io.default_output, "%s.nc", io.input);
    if (!S_ISREG(st.st_mode) || n < 0 || static_cast<size_t>(n) >= sizeof io.default_output) {
      std::fprintf(stderr, "%s: %s is not a regular file: name the product with -o\n", program,
                   io.input);
      return kExitUsage;
    }
    if (system_name(io.input)) {
      std::fprintf(stderr, "%s: %s is a system name: name the product with -o\n", program,
                   io.input);
      return kExitUsage;
    }
    io.output = io.default_output;
  }
  // The product is made beside its name and renamed to it, which would
  // put a regular file in the place of a device or a FIFO.
  struct stat out;
  if (stat(io.output, &out) == 0 && !S_ISREG(out.st_mode)) {
    std::fprintf(stderr, "%s: %s: not a regular file: a product is only written to one\n",
                 program, io.output);
    return kExitUsage;
  }
  io.fd = open(io.input, O_RDONLY | O_CLOEXEC);
  if (io.fd < 0) {
    std::fprintf(stderr, "%s: %s: %s\n", program, io.input, std::strerror(errno));
    return kExitFailure;
  }
  if (same_file(io.output, io.fd)) {
    std::fprintf(stderr, "%s: %s: the product would replace its own input\n", program, io.output);
    close_archive_io(io);
    return kExitUsage;
  }
  return -1;
}

void close_archive_io(ArchiveIo& io) {
  if (io.fd >= 0) close(io.fd);
  io.fd = -1;
}

int finish_conversion(NcFile& file, PendingOutput& out, bool read, const char* program) {
  if (!read || !nc_good(file)) {
    if (!nc_good(file)) nc_report(file, program);
    pending_fail(out);
  }
  return pending_commit_reported(out, program);
}
