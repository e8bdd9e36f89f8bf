// hkmonitor: the limits of a channel dictionary over raw telemetry.
#include "monitor_main.h"

int main(int argc, char** argv) { return hkmonitor_main(argc, argv); }
