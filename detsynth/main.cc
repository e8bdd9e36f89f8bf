// detsynth: writes a synthetic detection file.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include "command_line.h"
#include "detection_writer.h"
#include "diag.h"
#include "exit_status.h"
#include "output_file.h"

namespace {

constexpr const char kProgram[] = "detsynth";
constexpr const char kUsage[] =
    "usage: detsynth [-n entries] [-s samples] [-c spectrum values] [-f first number]\n"
    "                [-r seed] [-p values per line] [-F plain|commas|crlf|fortran|fortran-d]\n"
    "                [-o file]\n"
    "Writes a synthetic detection file (default: 3 entries of 300 samples and\n"
    "2000 spectrum values, numbered from 1) to file or standard output.\n";

// The detection file: standard output, or the file named with -o.
OutBuffer out;

bool parse_form(const char* text, DetectionForm& form) {
  static const struct {
    const char* name;
    DetectionForm form;
  } kForms[] = {{"plain", DetectionForm::plain},
                {"commas", DetectionForm::commas},
                {"crlf", DetectionForm::crlf},
                {"fortran", DetectionForm::fortran},
                {"fortran-d", DetectionForm::fortran_d}};
  for (const auto& f : kForms) {
    if (std::strcmp(text, f.name) == 0) {
      form = f.form;
      return true;
    }
  }
  return false;
}

// An int option's value from low to high (counts may be zero or less: the
// entry then says so, as a detection file can).
bool int_option(int low, int high, int& value) {
  int64_t v;
  if (!parse_number(optarg, low, high, v)) return false;
  value = static_cast<int>(v);
  return true;
}

int usage_error(const char* what) {
  diag_printf(out, "%s: bad %s: %s\n%s", kProgram, what, optarg, kUsage);
  return kExitUsage;
}

// Returns -1 to go on to the writing, or the exit status.
int parse_options(int argc, char** argv, SynthOptions& options, const char*& path) {
  opterr = 0;  // the complaints below name the program, not argv[0]
  int64_t seed;
  int c;
  while ((c = getopt(argc, argv, ":n:s:c:f:r:p:F:o:h")) != -1) {
    switch (c) {
      case 'n':
        if (!int_option(0, INT_MAX, options.entries)) return usage_error("entry count");
        break;
      case 's':
        if (!int_option(INT_MIN, INT_MAX, options.samples)) return usage_error("sample count");
        break;
      case 'c':
        if (!int_option(INT_MIN, INT_MAX, options.spectrum_values)) {
          return usage_error("spectrum value count");
        }
        break;
      case 'f':
        if (!int_option(INT_MIN, INT_MAX, options.first_number)) return usage_error("first number");
        break;
      case 'r':
        if (!parse_number(optarg, 0, INT64_MAX, seed)) return usage_error("seed");
        options.seed = static_cast<uint64_t>(seed);
        break;
      case 'p':
        if (!int_option(1, INT_MAX, options.values_per_line)) return usage_error("values per line");
        break;
      case 'F':
        if (!parse_form(optarg, options.form)) return usage_error("form");
        break;
      case 'o': path = optarg; break;
      case 'h': out_puts(out, kUsage); return finish_output(out, kProgram) ? kExitOk : kExitFailure;
      default: report_option_error(out, kProgram, c, kUsage); return kExitUsage;
    }
  }
  if (optind < argc) {  // the output goes with -o, never an operand
    diag_printf(out, "%s: bad operand: %s\n%s", kProgram, argv[optind], kUsage);
    return kExitUsage;
  }
  return -1;
}

int write_error(const char* name, int error) {
  diag_printf(out, "%s: %s: %s\n", kProgram, name, std::strerror(error));
  return kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  out_init(out, STDOUT_FILENO);
  SynthOptions options = default_synth_options();
  const char* path = nullptr;
  const int status = parse_options(argc, argv, options, path);
  if (status >= 0) return status;
  const char* name = path != nullptr ? path : "standard output";
  if (path != nullptr) {
    const int fd = open_output_file(path);
    if (fd < 0) return write_error(name, errno);
    out_init(out, fd);
  }
  int error = write_detection_file(options, out) ? 0 : out.error;
  if (path != nullptr) error = close_output_file(path, out.fd, error);
  return error == 0 ? kExitOk : write_error(name, error);
}
