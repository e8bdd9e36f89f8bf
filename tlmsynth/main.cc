// tlmsynth: writes synthetic raw telemetry for trying the tools.
#include "synth_main.h"

int main(int argc, char** argv) { return tlmsynth_main(argc, argv); }
