#include "run_program.h"

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

ProgramResult run_program(const std::vector<std::string>& argv, const std::string& stdin_data,
                          const std::string& cwd) {
  MemoryFile io[3] = {memory_file(stdin_data.data(), stdin_data.size()), memory_file("", 0),
                      memory_file("", 0)};
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    for (int fd = 0; fd < 3; ++fd) dup2(io[fd].fd, fd);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execv(args[0], args.data());
    _exit(127);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  ProgramResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  result.out = memory_file_text(io[1]);
  result.err = memory_file_text(io[2]);
  for (MemoryFile& f : io) close_memory_file(f);
  return result;
}

ProgramResult run_shell(const std::string& command, const std::string& stdin_data,
                        const std::string& cwd) {
  return run_program({"/bin/sh", "-c", command}, stdin_data, cwd);
}

void PrintTo(const ProgramResult& r, std::ostream* os) {
  *os << "status " << r.status << "\n--- standard output:\n"
      << r.out << "\n--- standard error:\n"
      << r.err;
}

size_t open_descriptor_count() {
  size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++n;
  }
  return n;
}

void expect_cases(const std::string& program, const std::vector<ProgramCase>& cases) {
  for (const ProgramCase& c : cases) {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(run_program(argv), c.want) << "with arguments " << ::testing::PrintToString(c.args);
  }
}

std::optional<ProgramResult> run_unprivileged(const std::string& command,
                                              const std::string& stdin_data,
                                              const std::string& cwd) {
  if (geteuid() != 0) return run_shell(command, stdin_data, cwd);
  if (std::system("command -v setpriv >/dev/null") != 0) return std::nullopt;
  const ProgramResult r =
      run_shell("setpriv --reuid=65534 --regid=65534 --clear-groups " + command, stdin_data, cwd);
  if (r.err.rfind("setpriv", 0) == 0 || r.status == 126) return std::nullopt;
  return r;
}
