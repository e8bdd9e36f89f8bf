// The time of a subframe, from the BCD time of day that the instrument
// writes in housekeeping channels 65 (hours, low byte) and 66 (minutes high,
// seconds low), as the engineering dump shows it.
//
// A product gives the time of day in seconds, or with a date the seconds
// since that date's midnight UTC, counting a new day whenever the time of
// day goes back by more than twelve hours.  A field with a digit above 9 or
// out of its range has no time: the fill value.
#ifndef ARCHIVE_SUBFRAME_TIME_H_
#define ARCHIVE_SUBFRAME_TIME_H_

#include <cstddef>
#include <cstdint>

constexpr int32_t kNoTime = -2147483647;  // the netCDF default fill of int

struct CalendarDate {
  int year, month, day;
};

// "YYYY-MM-DD", a real date of years 1 to 9999; false otherwise.
bool parse_date(const char* text, CalendarDate& date);

// The time of day in seconds, or kNoTime.
int32_t time_of_day(uint16_t hours_word, uint16_t minutes_seconds_word);

// Days counted on from the date.
struct DayCounter {
  int64_t day;
  int32_t last;  // the last time of day, or kNoTime before the first
};

void day_counter_init(DayCounter& c);

// Seconds since the date's midnight for a time of day (kNoTime stays
// kNoTime, and is also the answer past what 32 bits hold).
int32_t count_time(DayCounter& c, int32_t time_of_day);

// "YYYY-MM-DDTHH:MM:SSZ" for seconds since the date's midnight; room for
// kIsoTimeSize bytes.
constexpr size_t kIsoTimeSize = 48;
void format_iso_time(char* out, const CalendarDate& date, int64_t seconds);

#endif  // ARCHIVE_SUBFRAME_TIME_H_
