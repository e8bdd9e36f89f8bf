// The sample lines of the extractor:
//   two detectors  "%5d %1d %5d %x %5d %5d\n"
//   carriage       "%5d %1d %5d %x %5d\n"
// The first four fields (record, subframe, interferogram number, status
// bit) are the same for every line of a pass, so they are formatted once
// per pass and copied; only the values are converted per line.
#ifndef IFGEXTRACT_SAMPLE_LINES_H_
#define IFGEXTRACT_SAMPLE_LINES_H_

#include <cstddef>
#include <cstdint>

// The prefix is copied in a fixed 32-byte block.  Its text is at most 31
// bytes: a record number of up to 19 digits, the subframe, an interferogram
// number of up to 5 digits, a status of up to 2, and four blanks.
constexpr size_t kPrefixBlock = 32;

struct LinePrefix {
  char text[kPrefixBlock];
  size_t length;
};

// Room that n lines of either kind may need, copy slack included: the
// prefix, two fields of up to 11 bytes (8 stored for shorter ones), a
// blank and a newline.
constexpr size_t max_sample_lines_bytes(int n) {
  return static_cast<size_t>(n) * (kPrefixBlock + 2 * 11 + 2) + kPrefixBlock;
}

void make_line_prefix(LinePrefix& prefix, int64_t record, int subframe_index,
                      unsigned interferogram_number, unsigned status_bit);

char* write_detector_lines(char* p, const LinePrefix& prefix, const int32_t* detector1,
                           const int32_t* detector2, int n);

char* write_carriage_lines(char* p, const LinePrefix& prefix, const int32_t* carriage, int n);

#endif  // IFGEXTRACT_SAMPLE_LINES_H_
