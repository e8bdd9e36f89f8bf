// Synthetic detection files for tests, benchmarks and demonstrations: a run
// of entries with consecutive interferogram numbers, each an interferogram
// block (header, count line, samples, four single reals) and a spectrum
// block (header, count line, values, six single reals).  The samples are a
// centre burst over noise, the spectrum a smooth band; values come from a
// seeded generator, so the same options always give the same file.
#ifndef DETSYNTH_DETECTION_WRITER_H_
#define DETSYNTH_DETECTION_WRITER_H_

#include <cstdint>

#include "out_buffer.h"

enum class DetectionForm {
  plain,      // blank-separated values, line feeds, shortest real form
  commas,     // comma-separated values
  crlf,       // as plain, lines ended by carriage return and line feed
  fortran,    // fixed-width reals of seven digits (Fortran's E15.7)
  fortran_d,  // the same with a D exponent
};

struct SynthOptions {
  int entries;
  int samples;
  int spectrum_values;
  int32_t first_number;
  uint64_t seed;
  int values_per_line;
  DetectionForm form;
};

SynthOptions default_synth_options();

// Writes the whole file to out (flushes at the end); false on a write error.
bool write_detection_file(const SynthOptions& options, OutBuffer& out);

#endif  // DETSYNTH_DETECTION_WRITER_H_
