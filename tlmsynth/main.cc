// tlmsynth: writes synthetic raw telemetry for trying the tools.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "diag.h"
#include "exit_status.h"
#include "synth.h"

using namespace tlmframe;

namespace {

constexpr const char kProgram[] = "tlmsynth";
constexpr const char kUsage[] =
    "usage: tlmsynth [-cgu] [-n records] [-s rows] [-S period] [-i first] [-k records]\n"
    "                [-d percent] [-t bytes] [-r seed] [-w col:chan=value]...\n"
    "                [-W sub:row:col=value]... [-o file]\n"
    "\t-n records\tnumber of whole records (default 10)\n"
    "\t-s rows\t\tsync rows of successive subframes, used in turn: 5, 5,6,\n"
    "\t\t\t5x9,40x3,-1x3 (-1: no sync word), or none (default 5)\n"
    "\t-S period\tflip the status bit every period records (default never)\n"
    "\t-i first\tinterferogram number of the first record (default 1)\n"
    "\t-k records\trecords per interferogram (default 4)\n"
    "\t-c\t\tcarriage scan in the control-word places\n"
    "\t-d percent\tshare of sample groups without sample flag, placed at\n"
    "\t\t\trandom (default 3)\n"
    "\t-u\t\tuniformly random detector words instead of the signal\n"
    "\t-g\t\tgain code moving by a random 1 to 3 steps (modulo 4) at\n"
    "\t\t\tevery sample group instead of following the signal\n"
    "\t-t bytes\tappend a record truncated to this many bytes\n"
    "\t-r seed\t\tseed of the noise (default 1)\n"
    "\t-w col:chan=value  housekeeping word of channel chan in column col\n"
    "\t-W sub:row:col=value  word at column col of row row of subframe sub,\n"
    "\t\t\twritten last, whatever the sync row\n"
    "\t-o file\t\twrite to file instead of standard output\n";

bool parse_long(const char* text, long low, long high, long& value) {
  char* end;
  errno = 0;
  value = std::strtol(text, &end, 10);
  return end != text && *end == '\0' && errno == 0 && value >= low && value <= high;
}

// Standard output: the usage asked for with -h.  The records are written
// straight to their descriptor, so nothing is ever left in it before a
// message.
OutBuffer g_out;

int usage_error(const char* what, const char* text) {
  diag_printf(g_out, "tlmsynth: bad %s: %s\n%s", what, text, kUsage);
  return kExitUsage;
}

int output_error(const char* output) {
  diag_printf(g_out, "tlmsynth: %s: %s\n", output, std::strerror(errno));
  return kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  out_init(g_out, STDOUT_FILENO);
  SynthOptions o;
  synth_defaults(o);
  const char* output = nullptr;
  long v;
  int c;
  while ((c = getopt(argc, argv, "hcgun:s:S:i:k:d:t:r:w:W:o:")) != -1) {
    switch (c) {
      case 'c': o.carriage = true; break;
      case 'g': o.random_gain_steps = true; break;
      case 'u': o.random_detector_words = true; break;
      case 'n':
        if (!parse_long(optarg, 0, 1L << 40, v)) return usage_error("record count", optarg);
        o.records = v;
        break;
      case 's':
        if (!parse_sync_plan(optarg, o)) return usage_error("sync rows", optarg);
        break;
      case 'S':
        if (!parse_long(optarg, 0, 1L << 30, v)) return usage_error("status period", optarg);
        o.status_period = static_cast<int>(v);
        break;
      case 'i':
        if (!parse_long(optarg, 0, 65535, v)) return usage_error("interferogram number", optarg);
        o.first_interferogram = static_cast<int>(v);
        break;
      case 'k':
        if (!parse_long(optarg, 1, 1L << 20, v))
          return usage_error("records per interferogram", optarg);
        o.records_per_interferogram = static_cast<int>(v);
        break;
      case 'd':
        if (!parse_long(optarg, 0, 100, v)) return usage_error("percentage", optarg);
        o.drop_percent = static_cast<int>(v);
        break;
      case 't':
        if (!parse_long(optarg, 0, kRecordBytes - 1, v)) return usage_error("tail length", optarg);
        o.tail_bytes = v;
        break;
      case 'r':
        if (!parse_long(optarg, 0, 0xFFFFFFFFL, v)) return usage_error("seed", optarg);
        o.seed = static_cast<uint32_t>(v);
        break;
      case 'w':
        if (o.chosen_count == kMaxChosenWords ||
            !parse_chosen_word(optarg, o.chosen[o.chosen_count])) {
          return usage_error("housekeeping word", optarg);
        }
        ++o.chosen_count;
        break;
      case 'W':
        if (o.placed_count == kMaxPlacedWords ||
            !parse_placed_word(optarg, o.placed[o.placed_count])) {
          return usage_error("placed word", optarg);
        }
        ++o.placed_count;
        break;
      case 'o': output = optarg; break;
      case 'h':
        out_puts(g_out, kUsage);
        return finish_output(g_out, kProgram) ? kExitOk : kExitFailure;
      default: diag_puts(g_out, kUsage); return kExitUsage;
    }
  }
  int fd = STDOUT_FILENO;
  if (output != nullptr) {
    fd = open(output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return output_error(output);
  }
  if (!synth_write(o, fd) || (output != nullptr && close(fd) != 0)) {
    return output_error(output ? output : "standard output");
  }
  return kExitOk;
}
