// The command line of hkmonitor:
//   hkmonitor [-h] -D DICTIONARY -F FILE [-f] [-i SECONDS]
//   hkmonitor -D DICTIONARY -l
#ifndef MONITOR_MONITOR_OPTIONS_H_
#define MONITOR_MONITOR_OPTIONS_H_

#include "out_buffer.h"

struct MonitorSettings {
  const char* dictionary;  // -D
  const char* input;       // -F
  bool follow;             // -f
  double idle_seconds;     // -i; 0: wait for new data until SIGINT
  bool list;               // -l: check and list the dictionary only
};

// Parses the command line; -h writes the usage on standard output, a bad
// command line a message and the usage on standard error.  Returns -1 to
// go on, or the exit status when the run ends here.
int parse_monitor_options(int argc, char** argv, MonitorSettings& settings, OutBuffer& out);

#endif  // MONITOR_MONITOR_OPTIONS_H_
