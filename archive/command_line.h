// What the archive programs say about themselves in a product: the time it
// was made and the command line that made it.
#ifndef ARCHIVE_COMMAND_LINE_H_
#define ARCHIVE_COMMAND_LINE_H_

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

#endif  // ARCHIVE_COMMAND_LINE_H_
