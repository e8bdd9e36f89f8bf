#include "limit_state.h"

#include <cmath>

namespace {

constexpr const char* kSeverityTexts[] = {"GREEN", "YELLOW", "RED"};
constexpr const char* kLimitTexts[] = {"red_low", "yellow_low", "yellow_high", "red_high"};

// The limit that bounds a zone away from green: yellow_high for zone 1.
int limit_of_zone(int zone) {
  switch (zone) {
    case kRedLow: return kRedLowLimit;
    case kYellowLow: return kYellowLowLimit;
    case kYellowHigh: return kYellowHighLimit;
    default: return kRedHighLimit;
  }
}

int step_count(int32_t count, bool beyond, int persistence) {
  if (!beyond) return 0;
  return count < persistence ? count + 1 : persistence;
}

// The limit crossed on the way from zone `from` to zone `to`.
void describe_change(const Limits& limits, int from, int to, LimitChange& change) {
  change.from = from;
  change.to = to;
  const bool outward = to != 0 && ((to > 0) != (from > 0) || severity(to) > severity(from));
  if (outward) {
    change.limit = limit_of_zone(to);
    change.above = to > 0;
    return;
  }
  // Back towards green on the side of `from`: the first limit given beyond
  // the new zone.
  const int side = from > 0 ? 1 : -1;
  int level = severity(to) + 1;
  if (!limits.present[limit_of_zone(side * level)]) ++level;
  change.limit = limit_of_zone(side * level);
  change.above = from < 0;
}

}  // namespace

const char* severity_text(int s) { return kSeverityTexts[s]; }

const char* limit_text(int limit) { return kLimitTexts[limit]; }

bool has_limits(const Limits& limits) {
  for (bool p : limits.present) {
    if (p) return true;
  }
  return false;
}

int zone_of(const Limits& l, double v) {
  if (l.present[kRedHighLimit] && v > l.value[kRedHighLimit]) return kRedHigh;
  if (l.present[kYellowHighLimit] && v > l.value[kYellowHighLimit]) return kYellowHigh;
  if (l.present[kRedLowLimit] && v < l.value[kRedLowLimit]) return kRedLow;
  if (l.present[kYellowLowLimit] && v < l.value[kYellowLowLimit]) return kYellowLow;
  return kGreen;
}

double limit_excess(const Limits& l, double v) {
  double excess = -INFINITY;
  for (int i = 0; i < kLimitCount; ++i) {
    if (!l.present[i]) continue;
    const bool high = i == kYellowHighLimit || i == kRedHighLimit;
    excess = std::fmax(excess, high ? v - l.value[i] : l.value[i] - v);
  }
  return excess;
}

void limit_state_init(LimitState& s) { s = LimitState{kGreen, false, {}, {}}; }

bool limit_step(LimitState& s, const Limits& limits, int zone, LimitChange& change) {
  const int p = limits.persistence;
  for (int t = s.state + 1; t <= kRedHigh; ++t) {
    s.at_or_above[t + 2] = step_count(s.at_or_above[t + 2], zone >= t, p);
  }
  for (int t = s.state - 1; t >= kRedLow; --t) {
    s.at_or_below[t + 2] = step_count(s.at_or_below[t + 2], zone <= t, p);
  }
  // The zone furthest from the state that all of the last p values reached.
  int target = s.state;
  for (int t = kRedHigh; t > s.state && target == s.state; --t) {
    if (s.at_or_above[t + 2] >= p) target = t;
  }
  for (int t = kRedLow; t < s.state && target == s.state; ++t) {
    if (s.at_or_below[t + 2] >= p) target = t;
  }
  const bool moved = target != s.state;
  if (moved) {
    describe_change(limits, s.state, target, change);
    // The counts that now lie beyond the state on the side it came from
    // were not kept; the last value lies on the other side, so they are 0.
    int32_t* stale = target > s.state ? s.at_or_below : s.at_or_above;
    for (int i = 0; i < 5; ++i) stale[i] = 0;
    s.state = target;
  }
  s.pending = false;
  for (int t = s.state + 1; t <= kRedHigh; ++t) s.pending |= s.at_or_above[t + 2] > 0;
  for (int t = s.state - 1; t >= kRedLow; --t) s.pending |= s.at_or_below[t + 2] > 0;
  return moved;
}
