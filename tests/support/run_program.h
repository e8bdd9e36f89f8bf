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

// Runs a program's main function in this process the same way: standard
// input, output and error go through files for the call, then back to
// where they were.
using MainFunction = int (*)(int argc, char** argv);
ProgramResult run_in_process(MainFunction main_fn, const std::vector<std::string>& argv,
                             const std::string& stdin_data = "");

// The number of descriptors this process holds open.
size_t open_descriptor_count();

// A fresh empty directory under TMPDIR (or /tmp), removed by remove_tree.
std::string make_temp_dir();
void remove_tree(const std::string& path);

// Permission bits do not stop root, so a test of a file that may not be
// read or written runs the tool as nobody when it is started by root.
// Returns the shell command that does so, or "" when root cannot drop its
// rights here (no setpriv).
std::string as_unprivileged(const std::string& command);

// True when the run of an as_unprivileged command failed because nobody
// may not start the program at all (the build in a closed folder); the
// test is then skipped.
bool unprivileged_run_impossible(const ProgramResult& r);

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& data);

#endif  // TESTS_SUPPORT_RUN_PROGRAM_H_
