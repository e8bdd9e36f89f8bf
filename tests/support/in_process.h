// A program's main function run in this process, as the program itself
// would run: the tests compare such runs with runs of the built program,
// and the fuzz harnesses run the tools so thousands of times a second.
// Standard input, output and error are files in memory for the call, then
// back where they were.
#ifndef TESTS_SUPPORT_IN_PROCESS_H_
#define TESTS_SUPPORT_IN_PROCESS_H_

#include <string>
#include <vector>

// What a run gave, in the order in which the tables of cases list it.
struct ProgramResult {
  std::string out;  // everything written on standard output
  std::string err;  // everything written on standard error
  int status;       // exit status, or 128 + signal number when killed by a signal
  bool operator==(const ProgramResult&) const = default;
};

using MainFunction = int (*)(int argc, char** argv);

// argv[0] is the program's name; stdin_data is what it reads on standard input.
ProgramResult run_in_process(MainFunction main_fn, const std::vector<std::string>& argv,
                             const std::string& stdin_data = "");

// A file in memory holding data, read from its start; path names it
// ("/proc/self/fd/N") for a program to open.
struct MemoryFile {
  int fd;
  std::string path;
};
MemoryFile memory_file(const void* data, size_t size);
void close_memory_file(MemoryFile& file);

// Everything the file holds, from its start.
std::string memory_file_text(const MemoryFile& file);

#endif  // TESTS_SUPPORT_IN_PROCESS_H_
