// The quick conversion of the usual real of a detection file: an optional
// sign, digits with or without a decimal point and an optional exponent (E,
// e, D or d, an optional sign, digits), whose digits and power of ten are
// small enough that one double operation gives the nearest float exactly.
// Everything else (long or extreme numbers, odd forms, not a number) is
// left to the general conversion of free_form_value.
//
// It sits in a header so that the reader's loop over a run of values can
// keep its position in registers.
#ifndef RETRIEVE_SHORT_REAL_H_
#define RETRIEVE_SHORT_REAL_H_

#include <bit>
#include <cstdint>
#include <cstring>

namespace short_real {

// A real is m * 10^k with m the integer of its digits.  When m < 2^53 it is
// exact in a double, and so is 10^k up to 10^22.
// - k >= 0: the product is exact while m * 5^k <= 2^53 (the power of two
//   only moves the exponent), and rounding it to float is the one rounding.
// - -12 <= k < 0: the quotient is rounded to double and then to float.  The
//   second rounding goes wrong only if the true quotient x lies within
//   2^-53 x of a midpoint mu = M * 2^j between two floats (M odd, below
//   2^25), or on it.  x - mu = (m - M 5^k 2^(j+k)) / 10^k, a whole
//   numerator over 10^k (times 2^(j+k) when that is negative), so x sits
//   either on mu (and the double quotient is exact) or at least
//   mu / max(M 5^k, m) away; both M 5^12 < 2^25 * 244140625 and m stay
//   below 2^53.
constexpr long kMaxDigits = 19;  // digits written, leading zeros too: no overflow
constexpr uint64_t kMaxMantissa = (uint64_t{1} << 53) - 1;
constexpr int kMinPower = -12;
constexpr int kMaxPower = 22;

struct ExactPowers {
  double ten[kMaxPower + 1];
  uint64_t max_mantissa[kMaxPower + 1];  // largest m with m * 5^k <= 2^53
  uint64_t small_ten[9];                 // 10^0 .. 10^8 as integers
};

constexpr ExactPowers make_exact_powers() {
  ExactPowers t{};
  double ten = 1;
  uint64_t five = 1;
  for (int k = 0; k <= kMaxPower; ++k) {
    t.ten[k] = ten;
    t.max_mantissa[k] = (uint64_t{1} << 53) / five;
    if (k <= 8) t.small_ten[k] = static_cast<uint64_t>(ten);
    ten *= 10;
    five *= 5;
  }
  return t;
}

inline constexpr ExactPowers kExact = make_exact_powers();

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Eight digit characters, the first in the lowest byte, as a number.
inline uint64_t eight_digits_value(uint64_t chunk) {
  chunk -= 0x3030303030303030ull;
  chunk = chunk * 10 + (chunk >> 8);
  return (((chunk & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
          (((chunk >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
         32;
}

// The high bit of every byte that is not a digit.  Only the bytes up to the
// first flagged one are sure (a borrow or carry runs on past it).
inline uint64_t non_digit_bytes(uint64_t chunk) {
  return ((chunk + 0x4646464646464646ull) | (chunk - 0x3030303030303030ull)) &
         0x8080808080808080ull;
}

// Takes a run of digits into the mantissa, eight characters at a time where
// the text allows (on little-endian machines), and counts them.
inline const char* take_digits(const char* p, const char* end, uint64_t& mantissa, long& count) {
  if constexpr (std::endian::native == std::endian::little) {
    while (end - p >= 8) {
      uint64_t chunk;
      std::memcpy(&chunk, p, 8);
      const uint64_t flags = non_digit_bytes(chunk);
      const int n = flags == 0 ? 8 : std::countr_zero(flags) / 8;
      if (n == 0) return p;
      // Shifted up behind leading zeros, the run reads as eight digits.
      const int gap = 8 * (8 - n);
      const uint64_t zeros = 0x3030303030303030ull & ~(~0ull << gap);
      mantissa = mantissa * kExact.small_ten[n] + eight_digits_value((chunk << gap) | zeros);
      p += n;
      count += n;
      if (n < 8) return p;
    }
  }
  for (; p != end && is_digit(*p); ++p) {
    mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    ++count;
  }
  return p;
}

// The digits of a mantissa of at most eight digits with or without a point,
// from at least 16 characters of text: the whole part and the fraction are
// joined into one word of eight characters and converted at once.  Returns
// nullptr when the mantissa is longer or has no digit.
inline const char* take_short_mantissa(const char* p, uint64_t& mantissa, long& digits,
                                       long& power) {
  uint64_t whole;
  std::memcpy(&whole, p, 8);
  const uint64_t whole_flags = non_digit_bytes(whole);
  if (whole_flags == 0) return nullptr;
  const int whole_digits = std::countr_zero(whole_flags) / 8;
  uint64_t joined = whole;
  int point = 0;
  if (p[whole_digits] == '.') {
    uint64_t fraction;
    std::memcpy(&fraction, p + whole_digits + 1, 8);
    const uint64_t keep = (uint64_t{1} << (8 * whole_digits)) - 1;
    joined = (whole & keep) | (fraction << (8 * whole_digits));
    point = 1;
  }
  const uint64_t flags = non_digit_bytes(joined);
  if (flags == 0 && is_digit(p[8 + point])) return nullptr;
  const int n = flags == 0 ? 8 : std::countr_zero(flags) / 8;
  if (n == 0) return nullptr;  // no digit: not a number, the longer road says why
  // Shifted up behind leading zeros, the digits read as eight.
  const int gap = 8 * (8 - n);
  const uint64_t zeros = 0x3030303030303030ull & ~(~0ull << gap);
  mantissa = eight_digits_value((joined << gap) | zeros);
  digits = n;
  power = point ? whole_digits - n : 0;
  return p + n + point;
}

}  // namespace short_real

// Returns the end of the real that starts at begin and sets value, or
// returns nullptr and leaves value alone.  Stops at the first character
// that cannot continue the real; whether that one may end a value is for
// the caller to say.
inline const char* convert_short_real(const char* begin, const char* end, float& value) {
  using namespace short_real;
  const char* p = begin;
  const bool negative = p != end && *p == '-';
  if (p != end && (*p == '-' || *p == '+')) ++p;
  uint64_t mantissa = 0;
  long digits = 0;
  long power = 0;
  const char* quick = nullptr;
  if constexpr (std::endian::native == std::endian::little) {
    if (end - p >= 16) quick = take_short_mantissa(p, mantissa, digits, power);
  }
  if (quick != nullptr) {
    p = quick;
  } else {
    p = take_digits(p, end, mantissa, digits);
    if (p != end && *p == '.') {
      const long whole_digits = digits;
      p = take_digits(p + 1, end, mantissa, digits);
      power = whole_digits - digits;
    }
  }
  if (digits == 0 || digits > kMaxDigits || mantissa > kMaxMantissa) return nullptr;
  if (p != end && ((*p | 0x20) == 'e' || (*p | 0x20) == 'd')) {  // either case
    ++p;
    bool negative_exponent = false;
    if (p != end) {
      negative_exponent = *p == '-';
      p += negative_exponent || *p == '+';
    }
    long exponent;
    if (end - p >= 3 && is_digit(p[0]) && is_digit(p[1]) && !is_digit(p[2])) {  // the usual two
      exponent = (p[0] - '0') * 10 + (p[1] - '0');
      p += 2;
    } else {
      if (p == end || !is_digit(*p)) return nullptr;
      for (exponent = 0; p != end && is_digit(*p); ++p) {
        if (exponent < 100000) exponent = exponent * 10 + (*p - '0');
      }
    }
    power += negative_exponent ? -exponent : exponent;
  }
  double magnitude;
  if (mantissa == 0) {
    magnitude = 0;
  } else if (power < 0 && power >= kMinPower) {
    magnitude = static_cast<double>(mantissa) / kExact.ten[-power];
  } else if (power >= 0 && power <= kMaxPower && mantissa <= kExact.max_mantissa[power]) {
    magnitude = static_cast<double>(mantissa) * kExact.ten[power];
  } else {
    return nullptr;
  }
  const float result = static_cast<float>(magnitude);
  value = negative ? -result : result;
  return p;
}

#endif  // RETRIEVE_SHORT_REAL_H_
