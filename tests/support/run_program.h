// Runs a built program as a child process and collects what it did, for the
// end-to-end tests: standard output, standard error and the exit status.
#ifndef TESTS_SUPPORT_RUN_PROGRAM_H_
#define TESTS_SUPPORT_RUN_PROGRAM_H_

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "in_process.h"
#include "temp_dir.h"

// argv[0] is the path of the program.  stdin_data is fed on standard input
// (from a file, so a large input cannot block); cwd, when not empty, is the
// working directory of the child.
ProgramResult run_program(const std::vector<std::string>& argv, const std::string& stdin_data = "",
                          const std::string& cwd = "");

// A shell command line run the same way, for redirections and pipes.
ProgramResult run_shell(const std::string& command, const std::string& stdin_data = "",
                        const std::string& cwd = "");

// How a failed expectation shows a result.
void PrintTo(const ProgramResult& r, std::ostream* os);

// One run of a program as a row of a table: the command line after the
// program's path (an input file is put in place by the table's author, and
// named here), and what the run should give in full.
struct ProgramCase {
  std::vector<std::string> args;
  ProgramResult want;
};

// Runs every case of the table and expects what it gives.
void expect_cases(const std::string& program, const std::vector<ProgramCase>& cases);

// The number of descriptors this process holds open.
size_t open_descriptor_count();

// Permission bits do not stop root, so a test of a file that may not be
// read or written runs the tool as nobody when it is started by root: the
// shell command is run so.  Nothing when that cannot be done here (no
// setpriv to drop root's rights, or the build in a folder closed to
// nobody); the test is then skipped.
std::optional<ProgramResult> run_unprivileged(const std::string& command,
                                              const std::string& stdin_data = "",
                                              const std::string& cwd = "");

#endif  // TESTS_SUPPORT_RUN_PROGRAM_H_
