#include "temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/tooltest.XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  dir_ = pattern;
}

TempDir::~TempDir() {
  chmod(dir_.c_str(), 0700);  // a test may have closed it
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string TempDir::put(const std::string& name, const std::string& bytes) const {
  write_file(path(name), bytes);
  return path(name);
}

std::string TempDir::read(const std::string& name) const { return read_file(path(name)); }

bool TempDir::has(const std::string& name) const {
  struct stat st;
  return lstat(path(name).c_str(), &st) == 0;
}

void TempDir::clear() const {
  chmod(dir_.c_str(), 0700);
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    std::filesystem::remove_all(entry.path());
  }
}

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
