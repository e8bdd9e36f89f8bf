#include "subframe_time.h"

#include <cstdio>

namespace {

constexpr int32_t kSecondsPerDay = 86400;

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
  static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap(year) ? 29 : days[month - 1];
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t days_from_civil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(int64_t z, int64_t& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}

// A BCD byte read as its two digits, or -1 when a digit is above 9 or the
// value above high.
int bcd_field(unsigned byte, int high) {
  const int tens = static_cast<int>(byte >> 4), units = static_cast<int>(byte & 0xF);
  if (tens > 9 || units > 9) return -1;
  const int value = tens * 10 + units;
  return value <= high ? value : -1;
}

bool digits(const char* p, int n, int& value) {
  value = 0;
  for (int i = 0; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') return false;
    value = value * 10 + (p[i] - '0');
  }
  return true;
}

}  // namespace

bool parse_date(const char* t, CalendarDate& date) {
  int y, m, d;
  if (!digits(t, 4, y) || t[4] != '-' || !digits(t + 5, 2, m) || t[7] != '-' ||
      !digits(t + 8, 2, d) || t[10] != '\0') {
    return false;
  }
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > days_in_month(y, m)) return false;
  date = CalendarDate{y, m, d};
  return true;
}

int32_t time_of_day(uint16_t hours_word, uint16_t minutes_seconds_word) {
  const int h = bcd_field(hours_word & 0xFFu, 23);
  const int m = bcd_field(minutes_seconds_word >> 8, 59);
  const int s = bcd_field(minutes_seconds_word & 0xFFu, 59);
  if (h < 0 || m < 0 || s < 0) return kNoTime;
  return h * 3600 + m * 60 + s;
}

void day_counter_init(DayCounter& c) {
  c.day = 0;
  c.last = kNoTime;
}

int32_t count_time(DayCounter& c, int32_t tod) {
  if (tod == kNoTime) return kNoTime;
  if (c.last != kNoTime && tod < c.last - kSecondsPerDay / 2) ++c.day;
  c.last = tod;
  const int64_t t = c.day * kSecondsPerDay + tod;
  return t <= INT32_MAX ? static_cast<int32_t>(t) : kNoTime;
}

void format_iso_time(char* out, const CalendarDate& date, int64_t seconds) {
  const int64_t days = days_from_civil(date.year, date.month, date.day) + seconds / kSecondsPerDay;
  const int64_t in_day = seconds % kSecondsPerDay;
  int64_t y;
  int m, d;
  civil_from_days(days, y, m, d);
  std::snprintf(out, kIsoTimeSize, "%04lld-%02d-%02dT%02d:%02d:%02dZ", static_cast<long long>(y), m,
                d, static_cast<int>(in_day / 3600), static_cast<int>(in_day / 60 % 60),
                static_cast<int>(in_day % 60));
}
