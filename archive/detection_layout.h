// The layout of a detection product: one element per entry of the
// detection file along dimension entry, every value of its sixteen read
// groups as a variable named for what it is; the samples along sample and
// the spectrum along spectral_point, NaN beyond each entry's count.
#ifndef ARCHIVE_DETECTION_LAYOUT_H_
#define ARCHIVE_DETECTION_LAYOUT_H_

#include "detection_scan.h"
#include "nc_call.h"
#include "staged_column.h"

struct DetectionSettings {
  int level;                // deflate level
  const char* source_name;  // the detection file's name
  const char* history;
  const char* created;
};

struct DetectionProduct {
  NcFile file;
  StagedColumn number, first, spectrum_header;
  StagedColumn sample_count, sample_axis, sample_code, interferogram_trailer;
  StagedColumn spectrum_count, spectral_axis, spectrum_code, spectrum_trailer;
  NcVar samples, spectrum;
  int32_t samples_width, spectrum_width;  // the longest block written so far
  size_t entries;
};

void define_detection_product(DetectionProduct& p, const DetectionSettings& s);

// Appends the entry as read.
void add_entry(DetectionProduct& p, const DetectionEntry& e);

// Writes what is staged and closes the file.
void finish_detection_product(DetectionProduct& p);

#endif  // ARCHIVE_DETECTION_LAYOUT_H_
