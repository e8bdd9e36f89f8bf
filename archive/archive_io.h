// The input and output of a conversion into a product (tlm2nc, det2nc):
// the input opened once, and the product's name, by default the input's
// with ".nc" appended.
#ifndef ARCHIVE_ARCHIVE_IO_H_
#define ARCHIVE_ARCHIVE_IO_H_

#include <climits>

struct ArchiveIo {
  const char* input;
  const char* output;  // nullptr until decided
  int fd;              // the input, -1 until open
  char default_output[PATH_MAX];
};

// Opens io.input and settles io.output.  A pipe or another file that is
// not a regular one needs an output named (it has no folder of its own to
// take the product), and the output may not be the input itself.  Returns
// -1 to go on, or the exit status after a message on standard error
// naming program and the file (kExitFailure for a file that cannot be
// opened, kExitUsage for a command line that cannot be followed).
int open_archive_io(ArchiveIo& io, const char* program);

void close_archive_io(ArchiveIo& io);

struct NcFile;
struct PendingOutput;

// The end of a conversion: a product whose input could not be read whole
// (read false, its message written already) or that the netCDF library
// failed to write (reported here) is removed, and the program ends with
// status 1; a whole one takes its final name.  Returns the exit status.
int finish_conversion(NcFile& file, PendingOutput& out, bool read, const char* program);

#endif  // ARCHIVE_ARCHIVE_IO_H_
