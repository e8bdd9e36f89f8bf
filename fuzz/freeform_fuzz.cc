// Any text through the free-form reader, read in groups of any shape.
//
// The first bytes give the shapes: how many there are, and for each one
// to three fields of integers or reals with counts from -1 to 6 (or a long
// run of reals); the text follows them.  Groups of these shapes are read
// in turn until one fails or the text ends.  The text is read twice: once as it is, once behind
// blanks that push it across the reader's buffer boundary at a place the
// input chooses.  Leading blanks change nothing in a text that is not
// empty, so both reads must give the same variables, statuses, line
// numbers and faults after every group.  Every value read is in range:
// reals finite (the variables start as a finite fill, and a read never
// leaves inf or NaN), and no group assigns more values than it has
// variables.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "free_form_reader.h"
#include "fuzz_support.h"

namespace {

constexpr size_t kHeaderBytes = 3;
constexpr int kMaxShapes = 8;
constexpr int kMaxGroups = 400;
constexpr int kLongRun = 40;

struct Shape {
  int field_count;
  GroupField fields[3];
};

// The variables every field reads into; they live across groups, so a null
// value leaves what an earlier group put there.
struct Variables {
  int32_t ints[3][kLongRun];
  float reals[3][kLongRun];
};

struct GroupResult {
  ReadStatus status;
  int values_assigned;
  long line;
  long group_line;
  ReadFault fault;
  Variables vars;
};

FreeFormReader g_reader;
Variables g_vars;

// Shape byte: bits 0-2 the count of the first field (7: a long run),
// bits 3-4 the number of fields, bit 5 the kind of the first field; the
// kinds then alternate and each later field has the count of the one
// before it minus one.
Shape decode_shape(uint8_t b) {
  Shape s{};
  s.field_count = 1 + (b >> 3 & 3) % 3;
  ValueKind kind = (b & 32) ? ValueKind::real : ValueKind::integer;
  int count = (b & 7) == 7 ? kLongRun : (b & 7) - 1;
  for (int f = 0; f < s.field_count; ++f) {
    s.fields[f] = GroupField{kind, count, g_vars.ints[f], g_vars.reals[f]};
    kind = kind == ValueKind::real ? ValueKind::integer : ValueKind::real;
    count = count > 0 ? count - 1 : count;
  }
  return s;
}

std::vector<GroupResult> read_all(const std::string& text, const std::vector<Shape>& shapes) {
  std::memset(&g_vars, 0x5a, sizeof g_vars);
  MemoryFile file = memory_file(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  lseek(file.fd, 0, SEEK_SET);
  reader_init(g_reader, file.fd);
  std::vector<GroupResult> results;
  for (int g = 0; g < kMaxGroups; ++g) {
    const Shape& s = shapes[g % shapes.size()];
    GroupResult r;
    std::memset(&r, 0, sizeof r);
    r.status = read_group(g_reader, s.fields, s.field_count);
    r.values_assigned = g_reader.values_assigned;
    r.line = g_reader.line;
    r.group_line = g_reader.group_line;
    if (r.status != ReadStatus::ok) r.fault = g_reader.fault;
    r.vars = g_vars;
    results.push_back(r);
    int wanted = 0;
    for (int f = 0; f < s.field_count; ++f) wanted += s.fields[f].count > 0 ? s.fields[f].count : 0;
    fuzz_require(r.values_assigned <= wanted, "no more values than variables", "");
    for (const auto& row : g_vars.reals) {
      for (float v : row) fuzz_require(std::isfinite(v), "reals read are finite", "");
    }
    if (r.status != ReadStatus::ok) break;
  }
  close_memory_file(file);
  return results;
}

bool same(const GroupResult& a, const GroupResult& b) {
  return a.status == b.status && a.values_assigned == b.values_assigned && a.line == b.line &&
         a.group_line == b.group_line && a.fault.line == b.fault.line &&
         a.fault.expected == b.fault.expected && a.fault.value == b.fault.value &&
         a.fault.too_long == b.fault.too_long && a.fault.wanted_line == b.fault.wanted_line &&
         std::strcmp(a.fault.text, b.fault.text) == 0 &&
         std::memcmp(&a.vars, &b.vars, sizeof a.vars) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes) return 0;
  const int shape_count = 1 + data[0] % kMaxShapes;
  if (size < kHeaderBytes + shape_count) return 0;
  std::vector<Shape> shapes;
  for (int i = 0; i < shape_count; ++i) shapes.push_back(decode_shape(data[kHeaderBytes + i]));
  const size_t text_begin = kHeaderBytes + shape_count;
  // Blanks alone would make a line where an empty text has none.
  if (size == text_begin) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + text_begin, size - text_begin);
  // Blanks that leave the first byte of the text at the given distance
  // before the end of the reader's first buffer.
  const size_t distance = 1 + ((data[1] << 8 | data[2]) % 2048);
  const std::string padded = std::string(kReaderBufferSize - distance, ' ') + text;

  const std::vector<GroupResult> plain = read_all(text, shapes);
  const std::vector<GroupResult> shifted = read_all(padded, shapes);
  fuzz_require(plain.size() == shifted.size(), "same number of groups across the boundary", "");
  for (size_t i = 0; i < plain.size(); ++i) {
    fuzz_require(same(plain[i], shifted[i]), "same result across the buffer boundary",
                 std::to_string(i));
  }
  return 0;
}
