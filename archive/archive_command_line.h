// The archive programs' command lines, and what the programs say about
// themselves in a product: the time it was made and the command line that
// made it.
#ifndef ARCHIVE_ARCHIVE_COMMAND_LINE_H_
#define ARCHIVE_ARCHIVE_COMMAND_LINE_H_

#include <cstddef>

constexpr size_t kNowTextSize = 24;
constexpr size_t kHistorySize = 4096;

// The current time as "YYYY-MM-DDTHH:MM:SSZ".
void now_text(char out[kNowTextSize]);

// "<time> <command line>", each argument that the shell would split or
// expand quoted in single quotes; cut short with "..." when too long.
void history_text(char out[kHistorySize], const char* now, int argc, char** argv);

// The last part of a path name (the text after the last slash).
const char* base_name(const char* path);

// What a program's messages about its command line need.
struct ProgramText {
  const char* name;
  const char* usage;  // the whole usage text
};

// -h: the usage text on standard output; the exit status.
int show_usage(const ProgramText& program);

// A bad command line: "<name>: <message><text>" when message is given, then
// the usage text, on standard error; returns the usage status.
int usage_error(const ProgramText& program, const char* message = nullptr, const char* text = "");

// An option that getopt (opterr = 0, the option string starting with ':')
// returned '?' or ':' for, said in the program's name; returns the usage
// status.
int option_error(const ProgramText& program, int getopt_result);

// The command line of a program that takes -h, -F INPUT and -o OUTPUT and
// nothing else; needed is its message for a missing -F.  Returns -1 to go
// on, or the exit status.
int parse_input_output(int argc, char** argv, const ProgramText& program, const char* needed,
                       const char*& input, const char*& output);

#endif  // ARCHIVE_ARCHIVE_COMMAND_LINE_H_
