#include "run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string temp_file_name(const std::string& dir, const char* stem) {
  return dir + "/" + stem;
}

}  // namespace

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string make_temp_dir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/tooltest.XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  return std::string(buf.data());
}

ProgramResult run_in_process(MainFunction main_fn, const std::vector<std::string>& argv,
                             const std::string& stdin_data) {
  const std::string io = make_temp_dir();
  write_file(io + "/stdin", stdin_data);
  std::fflush(stdout);
  std::fflush(stderr);
  const int saved[3] = {dup(0), dup(1), dup(2)};
  const int in = open((io + "/stdin").c_str(), O_RDONLY);
  const int out = open((io + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open((io + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  close(in);
  close(out);
  close(err);

  std::vector<std::string> args_text = argv;
  std::vector<char*> args;
  for (std::string& a : args_text) args.push_back(a.data());
  args.push_back(nullptr);
  ProgramResult result;
  result.status = main_fn(static_cast<int>(argv.size()), args.data());

  std::fflush(stdout);
  std::fflush(stderr);
  for (int fd = 0; fd < 3; ++fd) {
    dup2(saved[fd], fd);
    close(saved[fd]);
  }
  result.out = read_file(io + "/stdout");
  result.err = read_file(io + "/stderr");
  remove_tree(io);
  return result;
}

size_t open_descriptor_count() {
  size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++n;
  }
  return n;
}

std::string as_unprivileged(const std::string& command) {
  if (geteuid() != 0) return command;
  if (std::system("command -v setpriv >/dev/null") != 0) return "";
  return "setpriv --reuid=65534 --regid=65534 --clear-groups " + command;
}

bool unprivileged_run_impossible(const ProgramResult& r) {
  return r.err.rfind("setpriv", 0) == 0 || r.status == 126;
}

void remove_tree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

ProgramResult run_program(const std::vector<std::string>& argv,
                          const std::string& stdin_data, const std::string& cwd) {
  const std::string io = make_temp_dir();
  const std::string in_path = temp_file_name(io, "stdin");
  const std::string out_path = temp_file_name(io, "stdout");
  const std::string err_path = temp_file_name(io, "stderr");
  write_file(in_path, stdin_data);

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open(in_path.c_str(), O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execv(args[0], args.data());
    _exit(127);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  ProgramResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  remove_tree(io);
  return result;
}
