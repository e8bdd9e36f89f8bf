#include "subframe_time.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SubframeTime, TimeOfDayFromTheBcdWords) {
  const struct {
    uint16_t hours, minutes_seconds;
    int32_t want;
  } cases[] = {
      {0x0000, 0x0000, 0},
      {0xAB12, 0x3456, 12 * 3600 + 34 * 60 + 56},  // the hours' high byte is not read
      {0x0023, 0x5959, 86399},
      {0x0024, 0x0000, kNoTime},  // hour out of range
      {0x001A, 0x0000, kNoTime},  // a digit above 9
      {0x00A1, 0x0000, kNoTime},
      {0x0012, 0x6000, kNoTime},  // minute 60
      {0x0012, 0x0060, kNoTime},  // second 60
      {0x0012, 0x3A00, kNoTime},
      {0x0012, 0x000F, kNoTime},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(time_of_day(c.hours, c.minutes_seconds), c.want)
        << std::hex << c.hours << " " << c.minutes_seconds;
  }
}

TEST(SubframeTime, DaysCountOnWhenTheTimeGoesBackByMoreThanTwelveHours) {
  const int32_t day = 86400;
  const struct {
    std::vector<int32_t> tod, want;
  } cases[] = {
      {{43200, 43201, 43200, 0}, {43200, 43201, 43200, 0}},  // back by 12 h at most
      {{86399, 0, 1}, {86399, day, day + 1}},
      {{86399, 43198, 43200}, {86399, day + 43198, day + 43200}},  // back by 12 h 1 s
      {{86399, 43199}, {86399, 43199}},                            // back by exactly 12 h
      {{kNoTime, 86399, kNoTime, 0, kNoTime}, {kNoTime, 86399, kNoTime, day, kNoTime}},
      {{80000, 10000, 80000, 10000}, {80000, day + 10000, day + 80000, 2 * day + 10000}},
  };
  for (const auto& c : cases) {
    DayCounter counter;
    day_counter_init(counter);
    std::vector<int32_t> got;
    for (int32_t t : c.tod) got.push_back(count_time(counter, t));
    EXPECT_EQ(got, c.want);
  }
  // Seconds beyond 32 bits have no time rather than a wrapped one.
  DayCounter counter;
  day_counter_init(counter);
  counter.day = 24855;  // 24855 days and 3 h 14 min 8 s are 2^31 s
  counter.last = 0;
  EXPECT_EQ(count_time(counter, 11647), INT32_MAX);
  EXPECT_EQ(count_time(counter, 11648), kNoTime);
}

TEST(SubframeTime, DatesAndTheirTimes) {
  const struct {
    const char* text;
    bool valid;
  } dates[] = {
      {"2026-12-08", true},  {"2024-02-29", true},   {"2000-02-29", true},  {"1900-02-29", false},
      {"2026-02-29", false}, {"2026-13-01", false},  {"2026-00-10", false}, {"2026-04-31", false},
      {"2026-1-01", false},  {"2026-01-01x", false}, {"0000-01-01", false}, {"", false},
  };
  for (const auto& d : dates) {
    CalendarDate date;
    EXPECT_EQ(parse_date(d.text, date), d.valid) << d.text;
  }
  const struct {
    CalendarDate date;
    int64_t seconds;
    const char* want;
  } times[] = {
      {{2026, 12, 31}, 86399, "2026-12-31T23:59:59Z"},
      {{2026, 12, 31}, 86400, "2027-01-01T00:00:00Z"},
      {{2024, 2, 28}, 86400 + 3661, "2024-02-29T01:01:01Z"},
      {{2026, 2, 28}, 86400, "2026-03-01T00:00:00Z"},
      {{9999, 12, 31}, INT32_MAX, "10068-01-18T03:14:07Z"},
  };
  for (const auto& t : times) {
    char text[kIsoTimeSize];
    format_iso_time(text, t.date, t.seconds);
    EXPECT_STREQ(text, t.want);
  }
}

}  // namespace
