// The record loop of the housekeeping dump: one line per subframe, the
// line prefix written here and the rest by the selected channel group.
#ifndef HKDUMP_DUMP_LOOP_H_
#define HKDUMP_DUMP_LOOP_H_

#include "dump_options.h"
#include "group_table.h"

// Opens the input and dumps it; returns the exit status.
int run_dump(const DumpSettings& settings, const GroupTable& table);

// The command line, then the dump: what main does.
int hkdump_main(int argc, char** argv, const GroupTable& table);

#endif  // HKDUMP_DUMP_LOOP_H_
