#include "in_process.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char* what) {
  std::perror(what);
  std::abort();
}

}  // namespace

MemoryFile memory_file(const void* data, size_t size) {
  MemoryFile f;
  f.fd = memfd_create("program-io", MFD_CLOEXEC);
  if (f.fd < 0) fail("memfd_create");
  if (size > 0 && write(f.fd, data, size) != static_cast<ssize_t>(size)) fail("memfd write");
  lseek(f.fd, 0, SEEK_SET);
  f.path = "/proc/self/fd/" + std::to_string(f.fd);
  return f;
}

void close_memory_file(MemoryFile& file) {
  close(file.fd);
  file.fd = -1;
}

std::string memory_file_text(const MemoryFile& file) {
  const off_t size = lseek(file.fd, 0, SEEK_END);
  std::string text(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0 && pread(file.fd, text.data(), text.size(), 0) != size) fail("pread");
  return text;
}

ProgramResult run_in_process(MainFunction main_fn, const std::vector<std::string>& argv,
                             const std::string& stdin_data) {
  MemoryFile io[3] = {memory_file(stdin_data.data(), stdin_data.size()), memory_file("", 0),
                      memory_file("", 0)};
  std::fflush(stdout);
  std::fflush(stderr);
  int saved[3];
  for (int fd = 0; fd < 3; ++fd) {
    saved[fd] = dup(fd);
    dup2(io[fd].fd, fd);
  }
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
  result.out = memory_file_text(io[1]);
  result.err = memory_file_text(io[2]);
  for (MemoryFile& f : io) close_memory_file(f);
  return result;
}
