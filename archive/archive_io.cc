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
    io.output = io.default_output;
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
