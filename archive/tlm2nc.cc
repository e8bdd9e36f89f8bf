#include "tlm2nc.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "archive_io.h"
#include "archive_run.h"
#include "command_line.h"
#include "archive_command_line.h"
#include "dictionary.h"
#include "exit_status.h"
#include "pending_output.h"
#include "product_layout.h"
#include "record_reader.h"
#include "source_digest.h"

using namespace tlmframe;

namespace {

constexpr const char kProgram[] = "tlm2nc";
constexpr const char kUsage[] =
    "usage: tlm2nc [-h] [-d YYYY-MM-DD] [-z LEVEL] [-D DICTIONARY] -F INPUT [-o OUTPUT]\n"
    "\t-d date\t\ttime as seconds since this date's midnight UTC (a CF time\n"
    "\t\t\tcoordinate) instead of the time of day\n"
    "\t-z level\tdeflate level, 0 (none) to 9 (default 1)\n"
    "\t-D dictionary\tchannel dictionary: each housekeeping value it names\n"
    "\t\t\tgets a variable of its own, calibrated, with its units\n"
    "\t\t\tand limits\n"
    "\t-F input\traw telemetry file, a pipe or a FIFO\n"
    "\t-o output\tthe product (default: INPUT.nc; needed when INPUT is not a\n"
    "\t\t\tregular file)\n";

// Threads making the product's chunks beside the one that reads and
// decodes: the machines it runs on have two cores or more.
constexpr int kWorkers = 2;

struct Settings {
  const char* input;
  const char* output;
  const char* dictionary;  // -D, or nullptr
  ProductSettings product;
};

constexpr ProgramText kText{kProgram, kUsage};

// Returns -1 to go on, or the exit status.
int parse_options(int argc, char** argv, Settings& s) {
  s.input = nullptr;
  s.output = nullptr;
  s.dictionary = nullptr;
  s.product.level = kDefaultLevel;
  s.product.dated = false;
  s.product.dictionary = nullptr;
  optind = 0;
  opterr = 0;
  int c;
  int64_t level;
  while ((c = getopt(argc, argv, ":hd:z:D:F:o:")) != -1) {
    switch (c) {
      case 'h': return show_usage(kText);
      case 'd':
        if (!parse_date(optarg, s.product.date)) return usage_error(kText, "bad date: ", optarg);
        s.product.dated = true;
        break;
      case 'z':
        if (!parse_number(optarg, 0, 9, level)) {
          return usage_error(kText, "bad deflate level: ", optarg);
        }
        s.product.level = static_cast<int>(level);
        break;
      case 'D': s.dictionary = optarg; break;
      case 'F': s.input = optarg; break;
      case 'o': s.output = optarg; break;
      default: return option_error(kText, c);
    }
  }
  if (optind < argc) return usage_error(kText, "bad operand: ", argv[optind]);
  if (s.input == nullptr) return usage_error(kText, "no input: -F INPUT is needed");
  return -1;
}

// The run's large state, kept off the stack.
struct Conversion {
  RecordReader reader;
  Product product;
  ArchiveRun run;
  SourceDigest digest;
  PendingOutput output;
  char history[kHistorySize];
  char created[kNowTextSize];
  Dictionary dictionary;
  char dictionary_sha256[kDigestTextSize];
};

// Reads and checks the dictionary of -D, and takes its file's SHA-256;
// returns -1 to go on, or the exit status.  A fault in it is a usage error.
int load_dictionary(Conversion& c, Settings& s) {
  DictionaryFault fault;
  std::string text;
  if (!read_dictionary_text(s.dictionary, text, fault) ||
      !parse_dictionary(text, s.dictionary, c.dictionary, fault)) {
    std::fprintf(stderr, "%s: %s\n", kProgram, fault.message);
    return kExitUsage;
  }
  for (int i = 0; i < c.dictionary.count; ++i) {
    const DictionaryEntry& e = c.dictionary.entries[i];
    if (housekeeping_name_taken(e.name)) {
      std::fprintf(stderr,
                   "%s: %s:%d: %s.name: the product's housekeeping group has a variable or "
                   "dimension of that name already\n",
                   kProgram, s.dictionary, e.line, e.name);
      return kExitUsage;
    }
  }
  SourceDigest digest;
  if (!digest_init(digest)) {
    std::fprintf(stderr, "%s: the SHA-256 digest cannot be set up\n", kProgram);
    return kExitFailure;
  }
  digest_update(digest, text.data(), text.size());
  digest_finish(digest, c.dictionary_sha256);
  s.product.dictionary = &c.dictionary;
  s.product.dictionary_name = base_name(s.dictionary);
  s.product.dictionary_sha256 = c.dictionary_sha256;
  return -1;
}

int fail_input(const char* input, int error) {
  std::fprintf(stderr, "%s: %s: %s\n", kProgram, input, std::strerror(error));
  return kExitFailure;
}

// Reads the whole input into the product; false when the input could not
// be read (reported) or the product failed (left in its file's status).
bool convert_records(Conversion& c, const Settings& s, int fd, SourceEnd& end) {
  reader_init(c.reader, fd);
  archive_run_init(c.run, c.product, s.product.dated);
  for (;;) {
    const unsigned char* record = nullptr;
    const long count = next_stored_record(c.reader, &record);
    if (count == kRecordBytes) {
      if (c.run.records >= kMaxRecords) {
        nc_fail(c.product.file, "more records than a product holds");
        return false;
      }
      digest_update(c.digest, record, kRecordBytes);
      archive_record(c.run, record);
      if (!nc_good(c.product.file)) return false;
      continue;
    }
    if (count < 0) {
      fail_input(s.input, c.reader.error);
      return false;
    }
    // The cut tail of the last record is where the framer kept it.
    end.partial = c.reader.framer.carry;
    end.partial_bytes = static_cast<size_t>(count);
    digest_update(c.digest, end.partial, end.partial_bytes);
    end.truncated = count > 0;
    return true;
  }
}

int convert(Conversion& c, Settings& s, int fd) {
  NcFile& file = c.product.file;
  nc_file_init(file, s.output);
  if (!pending_create(c.output, s.output)) {
    std::fprintf(stderr, "%s: %s: cannot write there: %s\n", kProgram, s.output,
                 std::strerror(errno));
    return kExitFailure;
  }
  if (!digest_init(c.digest)) {
    pending_discard(c.output);
    std::fprintf(stderr, "%s: the SHA-256 digest cannot be set up\n", kProgram);
    return kExitFailure;
  }
  nc_create_file(file, c.output.temp_path);
  define_product(c.product, s.product, c.output.temp_path, kWorkers);
  SourceEnd end{};
  bool read = nc_good(file) && convert_records(c, s, fd, end);
  char sha[kDigestTextSize];
  if (read) {
    end.bytes = c.digest.bytes;
    digest_finish(c.digest, sha);
    end.sha256 = sha;
    end.has_time = c.run.has_time;
    end.first_time = c.run.first_time;
    end.last_time = c.run.last_time;
    finish_product(c.product, s.product, end);
  } else {
    digest_free(c.digest);
  }
  return finish_conversion(file, c.output, read, kProgram);
}

}  // namespace

int tlm2nc_main(int argc, char** argv) {
  Settings s;
  const int status = parse_options(argc, argv, s);
  if (status >= 0) return status;
  auto c = std::make_unique<Conversion>();
  if (s.dictionary != nullptr) {
    const int loaded = load_dictionary(*c, s);
    if (loaded >= 0) return loaded;
  }
  ArchiveIo io{s.input, s.output, -1, ""};
  const int opened = open_archive_io(io, kProgram);
  if (opened >= 0) return opened == kExitUsage ? usage_error(kText) : opened;
  s.output = io.output;
  pending_signals(kProgram, s.output);
  now_text(c->created);
  history_text(c->history, c->created, argc, argv);
  s.product.history = c->history;
  s.product.created = c->created;
  s.product.source_name = base_name(s.input);
  const int result = convert(*c, s, io.fd);
  close_archive_io(io);
  return result;
}
