// tlmsynth as a function: the command line, then the stream written to
// standard output or the file named with -o.
#ifndef TLMSYNTH_SYNTH_MAIN_H_
#define TLMSYNTH_SYNTH_MAIN_H_

#include "synth_options.h"

// Writes the stream that settings describe; returns the exit status.
int run_synth(const SynthSettings& settings);

// Both of the above: what main does.
int tlmsynth_main(int argc, char** argv);

#endif  // TLMSYNTH_SYNTH_MAIN_H_
