// detsynth: writes a synthetic detection file.
//
//   detsynth [-n entries] [-s samples] [-c spectrum values] [-f first number]
//            [-r seed] [-p values per line] [-F plain|commas|crlf|fortran|fortran-d]
//            [-o file]
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "detection_writer.h"
#include "diag.h"
#include "exit_status.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
  out_init(out, STDOUT_FILENO);
  SynthOptions options = default_synth_options();
  const char* path = nullptr;
  int c;
  while ((c = getopt(argc, argv, "n:s:c:f:r:p:F:o:h")) != -1) {
    switch (c) {
      case 'n': options.entries = std::atoi(optarg); break;
      case 's': options.samples = std::atoi(optarg); break;
      case 'c': options.spectrum_values = std::atoi(optarg); break;
      case 'f': options.first_number = std::atoi(optarg); break;
      case 'r': options.seed = std::strtoull(optarg, nullptr, 10); break;
      case 'p': options.values_per_line = std::atoi(optarg); break;
      case 'F':
        if (!parse_form(optarg, options.form)) {
          diag_puts(out, kUsage);
          return kExitUsage;
        }
        break;
      case 'o': path = optarg; break;
      default: diag_puts(out, kUsage); return kExitUsage;
    }
  }
  int fd = STDOUT_FILENO;
  if (path != nullptr) {
    fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
      diag_perror(out, path);
      return kDetsynthWriteFailed;
    }
    out_init(out, fd);
  }
  if (!write_detection_file(options, out) || (path != nullptr && close(fd) != 0)) {
    diag_perror(out, path != nullptr ? path : "standard output");
    return kDetsynthWriteFailed;
  }
  return kExitOk;
}
