// hkdump and hkrawdump: the same program, each built with its own table of
// channel groups, named by GROUP_TABLE (see CMakeLists.txt).
#include "dump_loop.h"

int main(int argc, char** argv) { return hkdump_main(argc, argv, GROUP_TABLE); }
