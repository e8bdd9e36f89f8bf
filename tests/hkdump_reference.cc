#include "hkdump_reference.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRecord = 10752;
constexpr int kWords = kRecord / 2;
constexpr int kSubframeWordsRef = 1728;
constexpr int kSwapped = 3 * kSubframeWordsRef;

struct Words {
  std::vector<int> w = std::vector<int>(kWords);
  // Word at a position counted from the first word of subframe j; 0
  // outside the record.
  int at(int j, int64_t position) const {
    const int64_t i = j * kSubframeWordsRef + position;
    return i >= 0 && i < kWords ? w[static_cast<size_t>(i)] : 0;
  }
};

// Subframe words are big-endian; the trailer is read as the host reads
// its stored bytes: first byte plus 256 times the second.
Words decode(const std::string& file, size_t offset) {
  Words r;
  for (int i = 0; i < kWords; ++i) {
    const int a = static_cast<unsigned char>(file[offset + 2 * i]);
    const int b = static_cast<unsigned char>(file[offset + 2 * i + 1]);
    r.w[static_cast<size_t>(i)] = i < kSwapped ? a * 256 + b : a + b * 256;
  }
  return r;
}

int sync_row_of(const Words& r, int j) {
  for (int row = 0; row < 108; ++row) {
    if (r.at(j, row * 16) == 0x146F) return row;
  }
  return -1;
}

int row_of(int s, int k) { return static_cast<int>((static_cast<int64_t>(s) + k) % 108); }

std::string print(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string print(const char* fmt, ...) {
  char buf[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, args);
  va_end(args);
  return buf;
}

int bcd_low(int w) { return 10 * ((w >> 4) & 15) + (w & 15); }
int bcd_high(int w) { return 10 * (w >> 12) + ((w >> 8) & 15); }

struct Pass {
  const Words& r;
  int j;
  bool placed;  // positions have been placed at least once
  int s;        // the sync row they were placed for
  int col;
  int pos(int k) const { return placed ? row_of(s, k) * 16 + col : 0; }
  int word(int k) const { return r.at(j, pos(k)); }
};

std::string engineering_line(const Pass& p, const ReferenceRun& run) {
  if (run.group == 'g') {
    return print(run.hex ? "%x\n" : "%d\n", p.word(run.format_offset));
  }
  std::string line = print("%4d\t%2d %2d %2d\t", p.word(52), bcd_low(p.word(65)),
                           bcd_high(p.word(66)), bcd_low(p.word(66)));
  auto t12 = [&](int k) { return p.word(k) >> 4; };
  auto t10 = [&](int k) { return p.word(k) >> 6; };
  auto f = [&](int k) { return p.word(k) != 0 ? 1 : 0; };
  switch (run.group) {
    case 'f': {
      // Before the first sync row every position is 0, the steps included.
      const int p0 = p.placed ? (p.s % 108) * 16 + 12 : 0;
      const int step = p.placed ? 16 : 0;
      auto lag = [&](int position) { return p.r.at(p.j, position + 192); };
      return line + print("%d %d %d %d\n", lag(p0) >> 4, lag(p0 + step) >> 4,
                          lag(p0 + 2 * step) >> 4, lag(p0 + 3 * step) - lag(p.pos(79)));
    }
    case 's':
      return line +
             print("%d %d %d %d %d %d\n", t12(76), t12(77), t12(78), t12(82), t12(83), t12(102));
    case 'p': return line + print("%d %d %d %d\n", t12(41), t12(22), t10(42), t10(28));
    case 'm':
      return line + print("| %4d %4d | %4d | %4d %4d | %4d %4d | %2d |\n", t12(8), t12(9), t10(19),
                          t12(4), t12(5), t12(6), t12(7), f(53));
    case 'v': return line + print("%d %d %d %d\n", t12(68), t12(69), t12(70), t12(71));
    case 'x':
      return line + print("%d %d %d %d %d %d %d %d %d %d %d %d\n", f(88), 0, f(89), 0, f(92), 0,
                          f(90), 0, f(91), 0, f(93), 0);
  }
  return "?";
}

std::string raw_line(const Pass& p, const ReferenceRun& run) {
  auto w = [&](int k) { return p.word(k); };
  switch (run.group) {
    case 'f': {
      const int p0 = p.placed ? (p.s % 108) * 16 + 4 : 0;
      const int step = p.placed ? 16 : 0;
      auto at = [&](int position) { return p.r.at(p.j, position); };
      return print("%x %x %x %x %x\n", at(p0), at(p0 + step), at(p0 + 2 * step), at(p0 + 3 * step),
                   at(p.pos(79)));
    }
    case 's': return print("%x %x %x %x %x %x\n", w(76), w(77), w(78), w(82), w(83), w(102));
    case 'p': return print("%x %x %x %x\n", w(41), w(22), w(42), w(28));
    case 'm':
      return print("%x %x %x %x %x %x %x %x\n", w(8), w(9), w(19), w(4), w(5), w(6), w(7), w(53));
    case 'v': return print("%x %x %x %x\n", w(68), w(69), w(70), w(71));
    case 'x': return print("%x %x %x %x %x %x\n", w(88), w(89), w(92), w(90), w(91), w(93));
    case 'g': return print(run.hex ? "%x\n" : "%d\n", w(run.format_offset));
  }
  return "?";
}

}  // namespace

std::string reference_dump(const std::string& file, const ReferenceRun& run,
                           std::string& end_message) {
  std::string out;
  const size_t records = file.size() / kRecord;
  bool placed = false;
  int last = -1;
  int placed_row = 0;
  for (size_t n = 0; n < records; ++n) {
    const Words r = decode(file, n * kRecord);
    for (int j = 0; j < 3; ++j) {
      const int s = sync_row_of(r, j);
      if (s != last) {
        last = s;
        placed = true;
        placed_row = s;
        if (run.raw && run.group == 'm') out += print("ait affset %d\n", row_of(s, 19) * 16 + 4);
      }
      const Pass p{r, j, placed, placed_row, run.raw ? 4 : 12};
      out +=
          print("%x %5d %d\t", r.at(j, static_cast<int64_t>(s) * 16), static_cast<int>(n + 1), j);
      out += run.raw ? raw_line(p, run) : engineering_line(p, run);
    }
  }
  end_message =
      print(file.size() % kRecord == 0 ? "No data at record %d\n" : "Mismatch data at record %d\n",
            static_cast<int>(records + 1));
  return out;
}
