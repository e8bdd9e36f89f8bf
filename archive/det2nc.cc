#include "det2nc.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "archive_io.h"
#include "archive_command_line.h"
#include "detection_layout.h"
#include "exit_status.h"
#include "pending_output.h"
#include "tlm2nc.h"

namespace {

constexpr const char kProgram[] = "det2nc";
constexpr const char kUsage[] =
    "usage: det2nc [-h] -F DETECTION [-o OUTPUT]\n"
    "\t-F detection\ta detection file (such as all.det), a pipe or a FIFO\n"
    "\t-o output\tthe product (default: DETECTION.nc; needed when DETECTION is\n"
    "\t\t\tnot a regular file)\n";

constexpr ProgramText kText{kProgram, kUsage};

// The run's large state, kept off the stack.
struct Conversion {
  FreeFormReader reader;
  DetectionEntry entry;
  Message fault;
  DetectionProduct product;
  PendingOutput output;
  char history[kHistorySize];
  char created[kNowTextSize];
};

// Every entry of the file into the product.  False after a fault of the
// detection file (reported with retrieve's words) or of the product (left
// in its file's status).
bool convert_entries(Conversion& c, const char* input) {
  // An entry's variables start at zero, as retrieve's do: a null value in
  // the first entry leaves a zero.
  c.entry = DetectionEntry{};
  for (int index = 1;; ++index) {
    ScanContext context{c.reader, input, index, c.fault};
    const EntryPart head = read_entry_head(context, c.entry);
    if (head == EntryPart::ended) return true;
    if (head == EntryPart::fault || !read_entry_spectrum(context, c.entry)) {
      std::fprintf(stderr, "%s: %s\n", kProgram, c.fault.text);
      return false;
    }
    add_entry(c.product, c.entry);
    if (!nc_good(c.product.file)) return false;
  }
}

int convert(Conversion& c, ArchiveIo& io, const DetectionSettings& s) {
  NcFile& file = c.product.file;
  nc_file_init(file, io.output);
  if (!pending_create(c.output, io.output)) {
    std::fprintf(stderr, "%s: %s: cannot write there: %s\n", kProgram, io.output,
                 std::strerror(errno));
    return kExitFailure;
  }
  nc_create_file(file, c.output.temp_path);
  define_detection_product(c.product, s);
  reader_init(c.reader, io.fd);
  const bool read = nc_good(file) && convert_entries(c, io.input);
  if (read) finish_detection_product(c.product);
  return finish_conversion(file, c.output, read, kProgram);
}

}  // namespace

int det2nc_main(int argc, char** argv) {
  ArchiveIo io;
  io.fd = -1;
  const int status = parse_input_output(argc, argv, kText, "no input: -F DETECTION is needed",
                                        io.input, io.output);
  if (status >= 0) return status;
  const int opened = open_archive_io(io, kProgram);
  if (opened >= 0) return opened == kExitUsage ? usage_error(kText) : opened;
  auto c = std::make_unique<Conversion>();
  pending_signals(kProgram, io.output);
  now_text(c->created);
  history_text(c->history, c->created, argc, argv);
  const DetectionSettings s{kDefaultLevel, base_name(io.input), c->history, c->created};
  const int result = convert(*c, io, s);
  close_archive_io(io);
  return result;
}
