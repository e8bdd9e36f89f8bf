// A fresh empty folder for one test, under TMPDIR (or /tmp), removed with
// everything in it when the test is done, and the files the tests put in
// it and read back.
#ifndef TESTS_SUPPORT_TEMP_DIR_H_
#define TESTS_SUPPORT_TEMP_DIR_H_

#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return dir_; }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  // Writes a file of the folder and gives its path.
  std::string put(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool has(const std::string& name) const;
  // Empties the folder, for a case that must start afresh.
  void clear() const;

 private:
  std::string dir_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& data);

#endif  // TESTS_SUPPORT_TEMP_DIR_H_
