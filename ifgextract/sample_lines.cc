#include "sample_lines.h"

#include <cstring>

#include "int_format.h"

namespace {

// Carriage values are 12-bit, so every "%5d\n" they can give is tabled:
// six characters each, kept in eight-byte slots for whole-word copies.
struct CarriageTable {
  char slot[4096][8];
  CarriageTable() {
    for (int v = 0; v < 4096; ++v) {
      char* end = format_int_width(slot[v], v, 5);
      *end++ = '\n';
      *end++ = '\0';
      *end = '\0';
    }
  }
};

const CarriageTable& carriage_table() {
  static const CarriageTable table;
  return table;
}

}  // namespace

// Each line is a few whole-word stores: the prefix as one fixed block, each
// value as one 8-byte field.  Detector values are at most seven digits
// (|v| <= 131080 * 8), which the short fields make without a branch.
char* write_detector_lines(char* p, const LinePrefix& prefix, const int32_t* detector1,
                           const int32_t* detector2, int n) {
  for (int l = 0; l < n; ++l) {
    std::memcpy(p, prefix.text, kPrefixBlock);
    p += prefix.length;
    p = format_short_width(p, detector1[l], 5);
    *p++ = ' ';
    p = format_short_width(p, detector2[l], 5);
    *p++ = '\n';
  }
  return p;
}

char* write_carriage_lines(char* p, const LinePrefix& prefix, const int32_t* carriage, int n) {
  const CarriageTable& table = carriage_table();
  for (int l = 0; l < n; ++l) {
    std::memcpy(p, prefix.text, kPrefixBlock);
    p += prefix.length;
    // Carriage values are word >> 4, always 0..4095; mask to stay in the table.
    std::memcpy(p, table.slot[carriage[l] & 0xFFF], 8);
    p += 6;
  }
  return p;
}

void make_line_prefix(LinePrefix& prefix, int64_t record, int subframe_index,
                      unsigned interferogram_number, unsigned status_bit) {
  std::memset(prefix.text, 0, sizeof prefix.text);
  char* p = format_int_width(prefix.text, record, 5);
  *p++ = ' ';
  p = format_int_width(p, subframe_index, 1);
  *p++ = ' ';
  p = format_int_width(p, interferogram_number, 5);
  *p++ = ' ';
  p = format_hex(p, status_bit);
  *p++ = ' ';
  prefix.length = static_cast<size_t>(p - prefix.text);
}
