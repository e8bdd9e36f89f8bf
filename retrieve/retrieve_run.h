// The whole retrieve run as a function: the dialogue, the scan and the two
// output files.  main calls it once; a test or harness may call it many
// times in one process, and every call starts as a new process would and
// gives back every descriptor it opened, whichever way it ends.
#ifndef RETRIEVE_RETRIEVE_RUN_H_
#define RETRIEVE_RETRIEVE_RUN_H_

#include "exit_status.h"

// Runs in the current folder, answer on standard input, lines on standard
// output; returns the exit status (kRetrieveWritten, kRetrieveNoMatch or
// kRetrieveFault).
int retrieve_main();

#endif  // RETRIEVE_RETRIEVE_RUN_H_
