// hkmonitor: checks the limited channels of a channel dictionary over a
// raw telemetry file, or follows a live one, and says by its exit status
// what it saw.
#ifndef MONITOR_MONITOR_MAIN_H_
#define MONITOR_MONITOR_MAIN_H_

// What main does; returns the exit status.
int hkmonitor_main(int argc, char** argv);

#endif  // MONITOR_MONITOR_MAIN_H_
