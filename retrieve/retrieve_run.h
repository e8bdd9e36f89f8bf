// The whole retrieve run as a function: the dialogue, the scan and the two
// output files.  main calls it once; a test or harness may call it many
// times in one process, and every call starts as a new process would and
// gives back every descriptor it opened, whichever way it ends.
#ifndef RETRIEVE_RETRIEVE_RUN_H_
#define RETRIEVE_RETRIEVE_RUN_H_

// Exit statuses: the entry was written, no entry carried the number, or a
// fault (reported in one line on standard error).
constexpr int kRetrieveWritten = 0;
constexpr int kRetrieveNoMatch = 1;
constexpr int kRetrieveFault = 2;

// Runs in the current folder, answer on standard input, lines on standard
// output; returns the exit status.
int retrieve_main();

#endif  // RETRIEVE_RETRIEVE_RUN_H_
