// The interferogram extractor: command line, reference record and the
// record loop that prints every sample of a raw telemetry file.
#ifndef IFGEXTRACT_EXTRACT_H_
#define IFGEXTRACT_EXTRACT_H_

#include "decode.h"
#include "exit_status.h"

struct ExtractSettings {
  DecodeMode mode;
  const char* input;  // nullptr until -F names a file
};

// Parses the command line into settings.  Returns -1 to go on, or the exit
// status when the run ends here (after -h, or a -F name that does not exist).
int parse_extract_options(int argc, char** argv, ExtractSettings& settings);

// Opens the input and prints its samples on standard output; returns the
// exit status.
int run_extract(const ExtractSettings& settings);

// Standard output set up, then both of the above: what main does.
int ifgextract_main(int argc, char** argv);

#endif  // IFGEXTRACT_EXTRACT_H_
