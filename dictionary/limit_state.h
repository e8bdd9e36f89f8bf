// Limits of a channel and the state a stream of its values is in.
//
// A value lies in one of five zones: below red_low, below yellow_low,
// green, above yellow_high, above red_high (a value equal to a limit is
// within it; a limit that is not given is never crossed).  The channel's
// state starts green and moves only when the last `persistence` values all
// lie beyond it on one side: it then moves as far as all of them reached.
// So a single stray value never changes the state when persistence is 2 or
// more, and values that flicker between yellow and red make the state
// yellow, not red.
#ifndef DICTIONARY_LIMIT_STATE_H_
#define DICTIONARY_LIMIT_STATE_H_

#include <cstdint>

// The zones, as signed levels: the sign is the side, the magnitude the
// severity.
enum Zone : int8_t { kRedLow = -2, kYellowLow = -1, kGreen = 0, kYellowHigh = 1, kRedHigh = 2 };

// Severity of a zone or state: 0 green, 1 yellow, 2 red.
inline int severity(int zone) { return zone < 0 ? -zone : zone; }

// "GREEN", "YELLOW", "RED".
const char* severity_text(int severity);

enum LimitName : int8_t { kRedLowLimit, kYellowLowLimit, kYellowHighLimit, kRedHighLimit };
constexpr int kLimitCount = 4;

// "red_low", "yellow_low", "yellow_high", "red_high".
const char* limit_text(int limit);

constexpr int kMaxPersistence = 1000000;

struct Limits {
  bool present[kLimitCount];
  double value[kLimitCount];
  int persistence;  // 1..kMaxPersistence
};

bool has_limits(const Limits& limits);

int zone_of(const Limits& limits, double value);

// How far a value lies beyond the limit it is nearest to or furthest past
// (negative: inside all limits by that much).  Of two values in zones of
// the same severity, the one with the greater excess is the worse.
double limit_excess(const Limits& limits, double value);

struct LimitState {
  int state;     // a Zone
  bool pending;  // some of the last values lie beyond the state
  // Successive values up to now at or above zone t, and at or below it,
  // at index t + 2; each held at the persistence.  Only the counts of the
  // zones beyond the state are kept up.
  int32_t at_or_above[5];
  int32_t at_or_below[5];
};

struct LimitChange {
  int from;
  int to;
  int limit;   // the limit crossed: the one that bounds the new zone on that side
  bool above;  // the value now lies above that limit (else below)
};

void limit_state_init(LimitState& s);

// Takes the zone of the next value.  True when the state moved; change
// then says how.  A caller may skip the call while the zone equals the
// state and nothing is pending: it would change nothing.
bool limit_step(LimitState& s, const Limits& limits, int zone, LimitChange& change);

#endif  // DICTIONARY_LIMIT_STATE_H_
