#include "monitor_options.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "command_line.h"
#include "diag.h"
#include "exit_status.h"

namespace {

constexpr const char kOptions[] = ":hD:F:fi:l";

constexpr const char kUsage[] =
    "usage: hkmonitor [-h] -D DICTIONARY -F FILE [-f] [-i SECONDS]\n"
    "       hkmonitor -D DICTIONARY -l\n"
    "\t-D DICTIONARY\tchannel dictionary (TOML): names, calibrations, limits\n"
    "\t-F FILE\t\traw telemetry file (a FIFO or /dev/stdin as well)\n"
    "\t-f\t\tfollow the file as it grows, until SIGINT\n"
    "\t-i SECONDS\twith -f: stop after SECONDS without new data\n"
    "\t-l\t\tcheck the dictionary and list it\n"
    "\t-h\t\tthis help\n"
    "exit status: 0 every limited channel stayed GREEN, 1 a YELLOW state was seen,\n"
    "2 a RED one, 3 unknown (bad command line or dictionary, input unreadable or cut)\n";

// The seconds -i takes: from a millisecond (less would round to no limit
// at all) to a year.
constexpr double kMinIdleSeconds = 0.001;
constexpr double kMaxIdleSeconds = 365.0 * 24 * 3600;

int usage_error(OutBuffer& out, const char* what) {
  diag_printf(out, "hkmonitor: %s\n%s", what, kUsage);
  return kMonitorUnknown;
}

}  // namespace

int parse_monitor_options(int argc, char** argv, MonitorSettings& settings, OutBuffer& out) {
  settings = MonitorSettings{nullptr, nullptr, false, 0, false};
  optind = 0;
  opterr = 0;  // the complaints below name the program, not argv[0]
  int c;
  while ((c = getopt(argc, argv, kOptions)) != -1) {
    switch (c) {
      case 'D': settings.dictionary = optarg; break;
      case 'F': settings.input = optarg; break;
      case 'f': settings.follow = true; break;
      case 'l': settings.list = true; break;
      case 'i': {
        char* end;
        errno = 0;
        const double v = std::strtod(optarg, &end);
        if (end == optarg || *end != '\0' || errno != 0 || !(v >= kMinIdleSeconds) ||
            v > kMaxIdleSeconds) {
          diag_printf(out, "hkmonitor: -i wants a number of seconds from 0.001, not '%s'\n%s",
                      optarg, kUsage);
          return kMonitorUnknown;
        }
        settings.idle_seconds = v;
        break;
      }
      case 'h':
        out_puts(out, kUsage);
        return finish_output(out, "hkmonitor") ? kExitOk : kMonitorUnknown;
      default: report_option_error(out, "hkmonitor", c, kUsage); return kMonitorUnknown;
    }
  }
  if (optind < argc) return usage_error(out, "operands are not taken (the file goes with -F)");
  if (settings.dictionary == nullptr) return usage_error(out, "no dictionary (-D)");
  if (settings.list) {
    if (settings.input != nullptr || settings.follow || settings.idle_seconds > 0) {
      return usage_error(out, "-l takes the dictionary alone");
    }
    return -1;
  }
  if (settings.input == nullptr) return usage_error(out, "no telemetry file (-F)");
  if (settings.idle_seconds > 0 && !settings.follow) return usage_error(out, "-i goes with -f");
  return -1;
}
