#include "synth_main.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "diag.h"
#include "exit_status.h"
#include "output_file.h"

namespace {

// Standard output: the usage asked for with -h.  The records are written
// straight to their descriptor, so nothing is ever left in it before a
// message.
OutBuffer g_out;

int output_error(const char* name, int error) {
  diag_printf(g_out, "tlmsynth: %s: %s\n", name, std::strerror(error));
  return kExitFailure;
}

}  // namespace

int run_synth(const SynthSettings& settings) {
  const char* name = settings.output ? settings.output : "standard output";
  int fd = STDOUT_FILENO;
  if (settings.output == nullptr && isatty(fd)) {
    diag_puts(g_out,
              "tlmsynth: standard output is a terminal: binary telemetry is not written there "
              "(-o file, or redirect it)\n");
    return kExitUsage;
  }
  if (settings.output != nullptr) {
    fd = open_output_file(settings.output);
    if (fd < 0) return output_error(name, errno);
  }
  int error = synth_write(settings.options, fd) ? 0 : errno;
  if (settings.output != nullptr) error = close_output_file(settings.output, fd, error);
  return error == 0 ? kExitOk : output_error(name, error);
}

int tlmsynth_main(int argc, char** argv) {
  out_init(g_out, STDOUT_FILENO);
  SynthSettings settings;
  const int status = parse_synth_options(argc, argv, settings, g_out);
  if (status >= 0) return status;
  return run_synth(settings);
}
