// Integer-to-text conversions for the tools' output lines.
//
// Each function writes its characters at p and returns one past the last
// character written; nothing is NUL-terminated.  The results are the same
// bytes that printf gives for the named conversion, produced without a
// format string, a locale or a library call: digits are written from the
// end, two at a time, from a table of "00".."99".  They are inline because
// they sit on the hot path of every output line.
#ifndef TEXTOUT_INT_FORMAT_H_
#define TEXTOUT_INT_FORMAT_H_

#include <bit>
#include <cstdint>
#include <cstring>

// Room enough for any 64-bit value with its sign.
constexpr int kMaxIntChars = 20;

namespace int_format_detail {

inline constexpr char kDigitPairs[201] =
    "00010203040506070809"
    "10111213141516171819"
    "20212223242526272829"
    "30313233343536373839"
    "40414243444546474849"
    "50515253545556575859"
    "60616263646566676869"
    "70717273747576777879"
    "80818283848586878889"
    "90919293949596979899";

// Writes the digits of v so that the last one lands at end[-1].
inline void write_digits_backwards(char* end, uint64_t v) {
  while (v >= 100) {
    const unsigned pair = static_cast<unsigned>(v % 100) * 2;
    v /= 100;
    end -= 2;
    end[0] = kDigitPairs[pair];
    end[1] = kDigitPairs[pair + 1];
  }
  if (v >= 10) {
    const unsigned pair = static_cast<unsigned>(v) * 2;
    end[-2] = kDigitPairs[pair];
    end[-1] = kDigitPairs[pair + 1];
  } else {
    end[-1] = static_cast<char>('0' + v);
  }
}

// Magnitude of v without the overflow that -v has for the smallest value.
inline uint64_t magnitude(int64_t v) {
  return v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
}

}  // namespace int_format_detail

// Number of decimal digits of v (1 for 0).
inline int decimal_digits(uint64_t v) {
  int n = 1;
  for (;;) {
    if (v < 10) return n;
    if (v < 100) return n + 1;
    if (v < 1000) return n + 2;
    if (v < 10000) return n + 3;
    v /= 10000;
    n += 4;
  }
}

// "%u" of v.
inline char* format_uint(char* p, uint64_t v) {
  const int n = decimal_digits(v);
  int_format_detail::write_digits_backwards(p + n, v);
  return p + n;
}

// "%d" of v.
inline char* format_int(char* p, int64_t v) {
  if (v < 0) *p++ = '-';
  return format_uint(p, int_format_detail::magnitude(v));
}

// "%<width>d": right-aligned in width places with leading blanks; a value
// that needs more places is written in full, never cut.
inline char* format_int_width(char* p, int64_t v, int width) {
  const uint64_t m = int_format_detail::magnitude(v);
  const int digits = decimal_digits(m);
  const int len = digits + (v < 0 ? 1 : 0);
  if (len < width) {
    std::memset(p, ' ', static_cast<size_t>(width - len));
    p += width - len;
  }
  if (v < 0) *p++ = '-';
  int_format_detail::write_digits_backwards(p + digits, m);
  return p + digits;
}

// The largest magnitude that format_short_width takes: seven digits.
constexpr int32_t kMaxShortValue = 9999999;

namespace int_format_detail {

// The four decimal digits of every number below 10^4, leading zeros
// included, as the characters of one 32-bit word: the first digit in the
// lowest byte, which comes first in memory on the little-endian hosts that
// format_short_width requires.
struct FourDigitTable {
  uint32_t of[10000];
};

constexpr FourDigitTable make_four_digit_table() {
  FourDigitTable t{};
  for (uint32_t i = 0; i < 10000; ++i) {
    t.of[i] = ('0' + i / 1000) | ('0' + i / 100 % 10) << 8 | ('0' + i / 10 % 10) << 16 |
              ('0' + i % 10) << 24;
  }
  return t;
}

inline constexpr FourDigitTable kFourDigits = make_four_digit_table();

// For z leading zero digits (1 to 7) of an eight-digit word and a sign:
// what to add to the word to turn those zeros into blanks ('0' - ' ' off
// each) and the last of them into a minus sign for a negative value
// ('-' - ' ' on), and, for each field width, how long the field is and
// how far the word is shifted to keep its last field bytes.
struct LeadTable {
  uint64_t adjust[8][2];
  uint8_t field[9][8][2];
  uint8_t shift[9][8][2];
};

constexpr LeadTable make_lead_table() {
  LeadTable t{};
  for (int z = 1; z < 8; ++z) {
    for (int negative = 0; negative < 2; ++negative) {
      const uint64_t blanks = ((1ull << (8 * z)) - 1) & 0x1010101010101010ull;
      const uint64_t minus = negative ? static_cast<uint64_t>('-' - ' ') << (8 * (z - 1)) : 0;
      t.adjust[z][negative] = minus - blanks;
      for (int width = 1; width <= 8; ++width) {
        const int length = 8 - z + negative;
        const int field = length > width ? length : width;
        t.field[width][z][negative] = static_cast<uint8_t>(field);
        t.shift[width][z][negative] = static_cast<uint8_t>(8 * (8 - field));
      }
    }
  }
  return t;
}

inline constexpr LeadTable kLead = make_lead_table();

}  // namespace int_format_detail

// "%<width>d", made with no branch that depends on the value for values of
// at most seven digits (|v| <= kMaxShortValue) and widths of 1 to 8: the
// digits are two table words in one 64-bit word, the blanks and the sign
// laid over it, and the field stored as one 8-byte word.  For output that
// values of any size and sign reach on every line, where a branch on the
// digit count would be mispredicted all the time.  Larger values, which
// the tools' data never gives, and other widths take the general path.  Up
// to 8 bytes from p are written even for a shorter field; the field ends
// at the pointer returned.
inline char* format_short_width(char* p, int32_t v, int width) {
  static_assert(std::endian::native == std::endian::little,
                "the field word is stored low byte first");
  const uint32_t sign = static_cast<uint32_t>(v >> 31);  // all ones when negative
  const uint32_t negative = sign & 1;
  const uint32_t m = (static_cast<uint32_t>(v) ^ sign) - sign;
  if (m > static_cast<uint32_t>(kMaxShortValue) || width < 1 || width > 8) [[unlikely]] {
    return format_int_width(p, v, width);
  }
  const uint32_t high = m / 10000;  // below 1000
  const uint64_t digits = int_format_detail::kFourDigits.of[high] |
                          static_cast<uint64_t>(int_format_detail::kFourDigits.of[m - high * 10000])
                              << 32;
  // Leading zero digits, 1 to 7 (0 itself keeps its last digit).
  const int zeros = std::countr_zero((digits ^ 0x3030303030303030ull) | (1ull << 56)) >> 3;
  const int_format_detail::LeadTable& lead = int_format_detail::kLead;
  const uint64_t text =
      (digits + lead.adjust[zeros][negative]) >> lead.shift[width][zeros][negative];
  std::memcpy(p, &text, sizeof text);  // the first byte in memory is the lowest
  return p + lead.field[width][zeros][negative];
}

// "%x": lower-case hexadecimal, no prefix, no leading zeros.
inline char* format_hex(char* p, uint64_t v) {
  static constexpr char kHex[] = "0123456789abcdef";
  int n = 1;
  for (uint64_t rest = v >> 4; rest != 0; rest >>= 4) ++n;
  for (int i = n - 1; i >= 0; --i) {
    p[i] = kHex[v & 0xF];
    v >>= 4;
  }
  return p + n;
}

// A fixed-width field as the console lines of the retrieval dialogue use:
// right-aligned in width places, and width asterisks when the number does
// not fit (so 1000 or -100 in three places print "***").
inline char* format_fixed_field(char* p, int64_t v, int width) {
  const int len = decimal_digits(int_format_detail::magnitude(v)) + (v < 0 ? 1 : 0);
  if (len > width) {
    std::memset(p, '*', static_cast<size_t>(width));
    return p + width;
  }
  return format_int_width(p, v, width);
}

#endif  // TEXTOUT_INT_FORMAT_H_
