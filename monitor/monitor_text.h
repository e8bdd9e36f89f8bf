// The text hkmonitor writes: a line per state change, a summary line per
// channel, and the listing of a dictionary.  Fields are separated by tabs;
// numbers of physical values are written with six significant digits.
//
//   record subframe <TAB> hh:mm:ss <TAB> name <TAB> value units <TAB> STATE <TAB> above|below limit
//   value
//      12 2	12:00:11	bus_voltage	29.3 V	YELLOW	above yellow_high 29
#ifndef MONITOR_MONITOR_TEXT_H_
#define MONITOR_MONITOR_TEXT_H_

#include <cstddef>

#include "monitor_run.h"

// The most bytes of a transition or summary line.
constexpr size_t kMaxMonitorLineBytes = 256;

// Writes the line of a transition, newline included; returns its length.
size_t format_transition(const Dictionary& d, const MonitorTransition& t, char* out, size_t size);

// The line that heads the summary.
extern const char kSummaryHeader[];

// The summary line of a channel:
//   name <TAB> values <TAB> GREEN <TAB> YELLOW <TAB> RED <TAB> worst value units <TAB> its STATE
size_t format_summary(const MonitorRun& run, const Watch& w, char* out, size_t size);

// The line that heads the listing of a dictionary.
extern const char kListingHeader[];

// The listing line of an entry: name, units, column, group, number, form,
// place on the group's line, calibration as an expression in x, the four
// limits ("-" where not given), persistence, description.
size_t format_listing(const DictionaryEntry& e, char* out, size_t size);

// "%.6g" of a physical value.
int format_value(char* out, size_t size, double value);

#endif  // MONITOR_MONITOR_TEXT_H_
