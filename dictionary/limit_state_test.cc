// Limit states over series of values: the transitions with their
// persistence, as tables of series and what they must give.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "limit_state.h"

namespace {

// Limits from four values, NAN where a limit is not given.
Limits limits(double red_low, double yellow_low, double yellow_high, double red_high,
              int persistence = 1) {
  Limits l{};
  const double v[] = {red_low, yellow_low, yellow_high, red_high};
  for (int i = 0; i < kLimitCount; ++i) {
    l.present[i] = !std::isnan(v[i]);
    l.value[i] = l.present[i] ? v[i] : 0;
  }
  l.persistence = persistence;
  return l;
}

// The transitions a series gives, as "index:NEW:above limit" joined by
// blanks.  With skip, values whose zone equals the state while nothing is
// pending are not handed to the state at all, as the monitor does.
std::string transitions(const Limits& l, const std::vector<double>& series, bool skip = false) {
  LimitState s;
  limit_state_init(s);
  std::string out;
  for (size_t i = 0; i < series.size(); ++i) {
    const int zone = zone_of(l, series[i]);
    if (skip && zone == s.state && !s.pending) continue;
    LimitChange c;
    if (!limit_step(s, l, zone, c)) continue;
    if (!out.empty()) out += ' ';
    out += std::to_string(i);
    out += ':';
    out += severity_text(severity(c.to));
    out += c.above ? ":above " : ":below ";
    out += limit_text(c.limit);
  }
  return out;
}

const double N = NAN;

TEST(LimitState, TransitionsWithPersistence) {
  const Limits full = limits(10, 20, 80, 90);
  struct Case {
    Limits limits;
    std::vector<double> series;
    std::string want;
  };
  const std::vector<Case> cases = {
      // Every value counts at once; a value equal to a limit lies within it.
      {full,
       {50, 80, 81, 90, 91, 85, 50, 20, 19.5, 5, 50},
       "2:YELLOW:above yellow_high 4:RED:above red_high 5:YELLOW:below red_high "
       "6:GREEN:below yellow_high 8:YELLOW:below yellow_low 9:RED:below red_low "
       "10:GREEN:above yellow_low"},
      // A lone spike does not last three values; three do.
      {limits(10, 20, 80, 90, 3), {50, 95, 50, 50, 95, 95, 95, 95}, "6:RED:above red_high"},
      // Values that flicker between yellow and red make yellow; red needs
      // three reds in a row, counted from the values already seen.
      {limits(10, 20, 80, 90, 3),
       {85, 95, 85, 95, 95, 95},
       "2:YELLOW:above yellow_high 5:RED:above red_high"},
      {limits(10, 20, 80, 90, 3),
       {95, 95, 85, 95, 95, 95},
       "2:YELLOW:above yellow_high 5:RED:above red_high"},
      // Back down from red as far as all of the last values came.
      {limits(10, 20, 80, 90, 2),
       {95, 95, 50, 85, 50, 50},
       "1:RED:above red_high 3:YELLOW:below red_high 5:GREEN:below yellow_high"},
      {limits(10, 20, 80, 90, 2),
       {95, 95, 50, 50},
       "1:RED:above red_high 3:GREEN:below yellow_high"},
      // From one side straight to the other.
      {limits(10, 20, 80, 90, 2),
       {85, 85, 15, 15, 5, 5},
       "1:YELLOW:above yellow_high 3:YELLOW:below yellow_low 5:RED:below red_low"},
      // Without yellow limits a value is green or red; leaving red crosses
      // the red limit.
      {limits(N, N, N, 90),
       {95, 85, 91, 90},
       "0:RED:above red_high 1:GREEN:below red_high 2:RED:above red_high 3:GREEN:below red_high"},
      {limits(10, N, N, N, 2), {5, 5, 15, 15}, "1:RED:below red_low 3:GREEN:above red_low"},
      // Only yellow limits: there is no red.
      {limits(N, 20, 80, N),
       {1e9, -1e9, 50},
       "0:YELLOW:above yellow_high 1:YELLOW:below yellow_low 2:GREEN:above yellow_low"},
      // Equal limits leave a zone empty.
      {limits(10, 10, 50, 50),
       {9, 51, 50},
       "0:RED:below red_low 1:RED:above red_high 2:GREEN:below yellow_high"},
  };
  for (const Case& c : cases) {
    std::string series;
    for (double v : c.series) series += std::to_string(v) + " ";
    EXPECT_EQ(transitions(c.limits, c.series), c.want) << series;
    EXPECT_EQ(transitions(c.limits, c.series, true), c.want) << "skipping: " << series;
  }
}

TEST(LimitState, SkippingSettledValuesChangesNothing) {
  // The monitor hands a value to the state only when it lies beyond the
  // state or something is pending; on random series of every kind that
  // must give the same transitions as handing over every value.
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    const int persistence = 1 + static_cast<int>(random() % 4);
    const Limits l =
        round % 3 == 0 ? limits(10, N, 80, 90, persistence) : limits(10, 20, 80, 90, persistence);
    std::vector<double> series;
    const double centre = static_cast<double>(random() % 100);
    for (int i = 0; i < 40; ++i) series.push_back(centre + static_cast<double>(random() % 41) - 20);
    ASSERT_EQ(transitions(l, series, true), transitions(l, series)) << "round " << round;
  }
}

TEST(LimitState, PersistenceCountsAreHeldAtTheirBound) {
  // A million values beyond the state leave the counts at the persistence.
  const Limits l = limits(N, N, 80, N, kMaxPersistence);
  LimitState s;
  limit_state_init(s);
  LimitChange c;
  for (int i = 0; i < kMaxPersistence - 1; ++i) ASSERT_FALSE(limit_step(s, l, kYellowHigh, c));
  EXPECT_TRUE(limit_step(s, l, kYellowHigh, c));
  EXPECT_EQ(s.state, kYellowHigh);
  for (int32_t count : s.at_or_above) EXPECT_LE(count, kMaxPersistence);
}

TEST(LimitState, ExcessOrdersValuesOfOneSeverity) {
  const Limits l = limits(10, 20, 80, 90);
  struct Case {
    double value, excess;
  };
  for (const Case& c :
       std::vector<Case>{{50, -30}, {79, -1}, {21, -1}, {85, 5}, {95, 15}, {5, 15}}) {
    EXPECT_DOUBLE_EQ(limit_excess(l, c.value), c.excess) << c.value;
  }
  // With one limit, the distance to it.
  EXPECT_DOUBLE_EQ(limit_excess(limits(N, N, 80, N), -1e6), -1e6 - 80);
}

}  // namespace
