// The command line of tlmsynth: every option checked as it is met, before
// a byte is written.
#ifndef TLMSYNTH_SYNTH_OPTIONS_H_
#define TLMSYNTH_SYNTH_OPTIONS_H_

#include "out_buffer.h"
#include "synth.h"

struct SynthSettings {
  SynthOptions options;
  const char* output;  // the file named with -o; nullptr: standard output
};

// Parses the command line into settings; the usage asked for with -h goes
// to out, every complaint to standard error.  Returns -1 to go on to the
// run, or the exit status when the run ends here.
int parse_synth_options(int argc, char** argv, SynthSettings& settings, OutBuffer& out);

#endif  // TLMSYNTH_SYNTH_OPTIONS_H_
