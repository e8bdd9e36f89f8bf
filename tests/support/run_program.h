// Runs a built program as a child process and collects what it did, for the
// end-to-end tests: standard output, standard error and the exit status.
#ifndef TESTS_SUPPORT_RUN_PROGRAM_H_
#define TESTS_SUPPORT_RUN_PROGRAM_H_

#include <string>
#include <vector>

struct ProgramResult {
  int status;       // exit status, or 128 + signal number when killed by a signal
  std::string out;  // everything written on standard output
  std::string err;  // everything written on standard error
};

// argv[0] is the path of the program.  stdin_data is fed on standard input
// (through a file, so a large input cannot block); cwd, when not empty, is
// the working directory of the child.
ProgramResult run_program(const std::vector<std::string>& argv,
                          const std::string& stdin_data = "",
                          const std::string& cwd = "");

// A fresh empty directory under TMPDIR (or /tmp), removed by remove_tree.
std::string make_temp_dir();
void remove_tree(const std::string& path);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& data);

#endif  // TESTS_SUPPORT_RUN_PROGRAM_H_
