#include "free_form_value.h"

#include <charconv>
#include <system_error>

#include "short_real.h"

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// After an optional sign, a number must begin with a digit or a point; this
// also keeps out the "inf" and "nan" that from_chars would take.
bool starts_like_number(const char* begin, const char* end, bool allow_point) {
  const char* p = begin;
  if (p != end && (*p == '+' || *p == '-')) ++p;
  return p != end && (is_digit(*p) || (allow_point && *p == '.'));
}

// from_chars takes a leading minus but not a leading plus.
const char* skip_plus(const char* p) { return *p == '+' ? p + 1 : p; }

// True when the decimal number in [begin, end), already known to be well
// formed, has a magnitude below one, so that a range error means underflow.
bool magnitude_below_one(const char* begin, const char* end) {
  const char* p = begin;
  if (*p == '+' || *p == '-') ++p;
  long position = 0;  // power of ten of the first non-zero digit, plus one
  bool seen_point = false, seen_nonzero = false;
  for (; p != end && (is_digit(*p) || *p == '.'); ++p) {
    if (*p == '.') {
      seen_point = true;
    } else if (!seen_nonzero) {
      if (*p != '0') {
        seen_nonzero = true;
        if (!seen_point) ++position;
      } else if (seen_point) {
        --position;
      }
    } else if (!seen_point) {
      ++position;
    }
  }
  long exponent = 0;
  if (p != end) {  // exponent letter, optional sign, digits
    ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    for (; p != end; ++p) {
      if (exponent < 100000000) exponent = exponent * 10 + (*p - '0');
    }
    if (negative) exponent = -exponent;
  }
  return position + exponent <= 0;
}

ValueStatus convert_real(char* begin, char* end, float& value) {
  const char* first = skip_plus(begin);
  float result = 0;
  auto [ptr, ec] = std::from_chars(first, end, result);
  if (ptr != end) return ValueStatus::bad_syntax;
  if (ec == std::errc::result_out_of_range) {
    if (!magnitude_below_one(begin, end)) return ValueStatus::out_of_range;
    result = *begin == '-' ? -0.0f : 0.0f;
  } else if (ec != std::errc()) {
    return ValueStatus::bad_syntax;
  }
  value = result;
  return ValueStatus::ok;
}

}  // namespace

ValueStatus parse_integer(const char* begin, const char* end, int32_t& value) {
  if (!starts_like_number(begin, end, false)) return ValueStatus::bad_syntax;
  int32_t result = 0;
  auto [ptr, ec] = std::from_chars(skip_plus(begin), end, result);
  if (ptr != end) return ValueStatus::bad_syntax;
  if (ec == std::errc::result_out_of_range) return ValueStatus::out_of_range;
  if (ec != std::errc()) return ValueStatus::bad_syntax;
  value = result;
  return ValueStatus::ok;
}

ValueStatus parse_real(char* begin, char* end, float& value) {
  float quick = 0;
  if (convert_short_real(begin, end, quick) == end) {
    value = quick;
    return ValueStatus::ok;
  }
  if (!starts_like_number(begin, end, true)) return ValueStatus::bad_syntax;
  const ValueStatus status = convert_real(begin, end, value);
  if (status != ValueStatus::bad_syntax) return status;
  // The rarer D exponent: retried as e, so the common case scans once.
  char* letter = begin;
  while (letter != end && *letter != 'd' && *letter != 'D') ++letter;
  if (letter == end) return status;
  const char saved = *letter;
  *letter = 'e';
  const ValueStatus retried = convert_real(begin, end, value);
  *letter = saved;
  return retried;
}

bool parse_repeat(char* begin, char* end, int32_t& count, char*& value_begin) {
  char* star = begin;
  while (star != end && is_digit(*star)) ++star;
  if (star == begin || star == end || *star != '*') return false;
  int32_t r = 0;
  auto [ptr, ec] = std::from_chars(begin, star, r);
  if (ec != std::errc() || ptr != star || r == 0) return false;
  count = r;
  value_begin = star + 1;
  return true;
}
