// The exit statuses of every program of the tree, each named once.  Scripts
// that run the tools test these numbers, so each tool keeps the ones its
// users have always seen, even where two tools give one number different
// meanings.
#ifndef TEXTOUT_EXIT_STATUS_H_
#define TEXTOUT_EXIT_STATUS_H_

// Every program: the run did what was asked (for the raw-data tools, the
// data was read to its end; or -h).
constexpr int kExitOk = 0;

// ifgextract, hkdump, hkrawdump, tlmsynth and detsynth: the data ended inside
// a record or could not be read, a file named on the command line does not
// exist or could not be opened (ifgextract: see kExitOpenFailed), or the
// output could not be written.  tlm2nc, nc2tlm and det2nc: an input that
// could not be read, a product that could not be written or was altered, or
// a stop by a signal.
constexpr int kExitFailure = 1;

// hkdump, hkrawdump, tlmsynth, detsynth, tlm2nc, nc2tlm and det2nc: a bad
// command line.
constexpr int kExitUsage = 2;

// ifgextract: the file named with -F could not be opened, or no -F was given.
constexpr int kExitOpenFailed = 255;

// retrieve: the entry was written; no entry carries the number (one line on
// standard error says so); a fault (reported in one line on standard error).
constexpr int kRetrieveWritten = 0;
constexpr int kRetrieveNoMatch = 1;
constexpr int kRetrieveFault = 2;

// hkmonitor, as monitoring plugins give it: every limited channel stayed
// green; a yellow state was seen; a red one; unknown (a bad command line or
// dictionary, input that could not be read or ended inside a record,
// output that could not be written).
constexpr int kMonitorGreen = 0;
constexpr int kMonitorYellow = 1;
constexpr int kMonitorRed = 2;
constexpr int kMonitorUnknown = 3;

#endif  // TEXTOUT_EXIT_STATUS_H_
