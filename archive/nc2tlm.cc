#include "nc2tlm.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "archive_command_line.h"
#include "exit_status.h"
#include "out_buffer.h"
#include "pending_output.h"
#include "product_reader.h"

using namespace tlmframe;

namespace {

constexpr const char kProgram[] = "nc2tlm";
constexpr const char kUsage[] =
    "usage: nc2tlm [-h] -F PRODUCT [-o OUTPUT]\n"
    "\t-F product\ta telemetry product made by tlm2nc\n"
    "\t-o output\twrite the source's bytes there (default: standard output)\n";

// Records read at a time: one chunk of the raw words.
constexpr size_t kBatchRecords = 512;

struct Settings {
  const char* product;
  const char* output;
};

constexpr ProgramText kText{kProgram, kUsage};

struct Restore {
  ProductSource source;
  SourceDigest digest;
  OutBuffer out;
  PendingOutput pending;
  uint16_t column[kBatchRecords * kSubframeCount * kRowsPerSubframe];
  unsigned char records[kBatchRecords * kRecordBytes];
};

// Every byte of the source to out, through the digest.  False when the
// product could not be read (its file failed) or out could not be written.
bool write_source(Restore& r) {
  ProductSource& p = r.source;
  for (int64_t first = 0; first < p.records; first += static_cast<int64_t>(kBatchRecords)) {
    const int64_t left = p.records - first;
    const size_t n =
        left < static_cast<int64_t>(kBatchRecords) ? static_cast<size_t>(left) : kBatchRecords;
    read_source_records(p, first, n, r.records, r.column);
    if (!nc_good(p.file)) return false;
    digest_update(r.digest, r.records, n * kRecordBytes);
    out_write(r.out, reinterpret_cast<const char*>(r.records), n * kRecordBytes);
    if (r.out.error != 0) return false;
  }
  if (p.partial_bytes > 0) {
    const size_t start = 0;
    nc_read(p.file, p.partial, &start, &p.partial_bytes, r.records);
    if (!nc_good(p.file)) return false;
    digest_update(r.digest, r.records, p.partial_bytes);
    out_write(r.out, reinterpret_cast<const char*>(r.records), p.partial_bytes);
  }
  return out_flush(r.out);
}

int restore(Restore& r, const Settings& s) {
  ProductSource& p = r.source;
  if (!open_product_source(p, s.product)) {
    nc_report(p.file, kProgram);
    nc_abandon_file(p.file);
    return kExitFailure;
  }
  int fd = STDOUT_FILENO;
  // A file-size limit fails the write (EFBIG), which is reported, rather
  // than ending the program unannounced.
  signal(SIGXFSZ, SIG_IGN);
  // A FIFO or a device named with -o is written into as it is; a regular
  // file is made beside its name and renamed to it when whole.
  struct stat st;
  const bool in_place = s.output != nullptr && stat(s.output, &st) == 0 && !S_ISREG(st.st_mode);
  if (in_place) {
    fd = open(s.output, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
      std::fprintf(stderr, "%s: %s: cannot write there: %s\n", kProgram, s.output,
                   std::strerror(errno));
      nc_abandon_file(p.file);
      return kExitFailure;
    }
  } else if (s.output != nullptr) {
    pending_signals(kProgram, s.output);
    if (!pending_create(r.pending, s.output) ||
        (fd = open(r.pending.temp_path, O_WRONLY | O_TRUNC | O_CLOEXEC)) < 0) {
      std::fprintf(stderr, "%s: %s: cannot write there: %s\n", kProgram, s.output,
                   std::strerror(errno));
      if (fd < 0 && r.pending.temp_path[0] != '\0') pending_discard(r.pending);
      nc_abandon_file(p.file);
      return kExitFailure;
    }
  }
  out_init(r.out, fd);
  if (!digest_init(r.digest)) {
    std::fprintf(stderr, "%s: the SHA-256 digest cannot be set up\n", kProgram);
    return kExitFailure;
  }
  const bool written = write_source(r);
  char sha[kDigestTextSize];
  digest_finish(r.digest, sha);
  bool ok = written;
  if (!nc_good(p.file)) {
    nc_report(p.file, kProgram);
  } else if (!written) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, s.output ? s.output : "standard output",
                 std::strerror(r.out.error));
  } else if (std::strcmp(sha, p.sha256) != 0) {
    std::fprintf(stderr,
                 "%s: %s: altered: its bytes are not those of its source (SHA-256 %s, "
                 "not %s)\n",
                 kProgram, s.product, sha, p.sha256);
    ok = false;
  }
  nc_abandon_file(p.file);
  if (s.output == nullptr) return ok ? kExitOk : kExitFailure;
  if (close(fd) != 0 && ok) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, s.output, std::strerror(errno));
    ok = false;
  }
  if (in_place) return ok ? kExitOk : kExitFailure;
  if (!ok) {
    pending_discard(r.pending);
    return kExitFailure;
  }
  return pending_commit_reported(r.pending, kProgram);
}

// Whether output names the product itself, which the source's bytes
// would replace.
bool replaces_product(const Settings& s) {
  if (s.output == nullptr) return false;
  const int fd = open(s.product, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;  // reported when the product is opened
  const bool same = same_file(s.output, fd);
  close(fd);
  return same;
}

}  // namespace

int nc2tlm_main(int argc, char** argv) {
  Settings s;
  const int status = parse_input_output(argc, argv, kText, "no product: -F PRODUCT is needed",
                                        s.product, s.output);
  if (status >= 0) return status;
  if (replaces_product(s)) {
    return usage_error(kText, s.output, ": the source's bytes would replace the product itself");
  }
  auto r = std::make_unique<Restore>();
  r->pending.temp_path[0] = '\0';
  return restore(*r, s);
}
