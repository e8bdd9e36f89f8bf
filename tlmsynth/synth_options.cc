#include "synth_options.h"

#include <unistd.h>

#include "command_line.h"
#include "diag.h"
#include "exit_status.h"

using namespace tlmframe;

namespace {

constexpr const char kProgram[] = "tlmsynth";
constexpr const char kUsage[] =
    "usage: tlmsynth [-cgu] [-n records] [-s rows] [-S period] [-i first] [-k records]\n"
    "                [-d percent] [-t bytes] [-r seed] [-w col:chan=value]...\n"
    "                [-W sub:row:col=value]... [-T hh:mm:ss]\n"
    "                [-H [col:]chan=start:slope[:step@record]]... [-o file]\n"
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
    "\t-T hh:mm:ss\ttime of day of the first record, one second a record\n"
    "\t\t\t(default 12:00:00)\n"
    "\t-H [col:]chan=start:slope[:step@record]\n"
    "\t\t\thousekeeping word of channel chan that drifts: start, plus\n"
    "\t\t\tslope a record, plus step from record number record on;\n"
    "\t\t\tin columns 12 and 4, or in column col alone\n"
    "\t-o file\t\twrite to file instead of standard output (not a terminal)\n";

int usage_error(OutBuffer& out, const char* what) {
  diag_printf(out, "%s: bad %s: %s\n%s", kProgram, what, optarg, kUsage);
  return kExitUsage;
}

}  // namespace

int parse_synth_options(int argc, char** argv, SynthSettings& settings, OutBuffer& out) {
  SynthOptions& o = settings.options;
  synth_defaults(o);
  settings.output = nullptr;
  optind = 0;  // start afresh, also when called more than once in a process
  opterr = 0;  // the complaints below name the program, not argv[0]
  int64_t v;
  int c;
  while ((c = getopt(argc, argv, ":hcgun:s:S:i:k:d:t:r:w:W:o:T:H:")) != -1) {
    switch (c) {
      case 'c': o.carriage = true; break;
      case 'g': o.random_gain_steps = true; break;
      case 'u': o.random_detector_words = true; break;
      case 'n':
        if (!parse_number(optarg, 0, 1L << 40, v)) return usage_error(out, "record count");
        o.records = v;
        break;
      case 's':
        if (!parse_sync_plan(optarg, o)) return usage_error(out, "sync rows");
        break;
      case 'S':
        if (!parse_number(optarg, 0, 1L << 30, v)) return usage_error(out, "status period");
        o.status_period = static_cast<int>(v);
        break;
      case 'i':
        if (!parse_number(optarg, 0, 65535, v)) return usage_error(out, "interferogram number");
        o.first_interferogram = static_cast<int>(v);
        break;
      case 'k':
        if (!parse_number(optarg, 1, 1L << 20, v))
          return usage_error(out, "records per interferogram");
        o.records_per_interferogram = static_cast<int>(v);
        break;
      case 'd':
        if (!parse_number(optarg, 0, 100, v)) return usage_error(out, "percentage");
        o.drop_percent = static_cast<int>(v);
        break;
      case 't':
        if (!parse_number(optarg, 0, kRecordBytes - 1, v)) return usage_error(out, "tail length");
        o.tail_bytes = v;
        break;
      case 'r':
        if (!parse_number(optarg, 0, 0xFFFFFFFFL, v)) return usage_error(out, "seed");
        o.seed = static_cast<uint32_t>(v);
        break;
      case 'w':
        if (o.chosen_count == kMaxChosenWords ||
            !parse_chosen_word(optarg, o.chosen[o.chosen_count])) {
          return usage_error(out, "housekeeping word");
        }
        ++o.chosen_count;
        break;
      case 'W':
        if (o.placed_count == kMaxPlacedWords ||
            !parse_placed_word(optarg, o.placed[o.placed_count])) {
          return usage_error(out, "placed word");
        }
        ++o.placed_count;
        break;
      case 'T':
        if (!parse_time_of_day(optarg, o.start_second)) return usage_error(out, "time of day");
        break;
      case 'H':
        if (o.drifting_count == kMaxDriftingChannels ||
            !parse_drifting_channel(optarg, o.drifting[o.drifting_count])) {
          return usage_error(out, "drifting channel");
        }
        ++o.drifting_count;
        break;
      case 'o': settings.output = optarg; break;
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
