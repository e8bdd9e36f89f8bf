#include "extract.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "run_program.h"
#include "telemetry_files.h"

namespace {

size_t open_descriptors() {
  size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++n;
  }
  return n;
}

int run_quietly(std::vector<std::string> args) {
  const int saved_out = dup(1), saved_err = dup(2);
  const int null_fd = open("/dev/null", O_WRONLY);
  dup2(null_fd, 1);
  dup2(null_fd, 2);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int status = ifgextract_main(static_cast<int>(args.size()), argv.data());
  dup2(saved_out, 1);
  dup2(saved_err, 2);
  close(null_fd);
  close(saved_out);
  close(saved_err);
  return status;
}

// The extractor runs as a function too (the fuzz harness calls it many
// times in one process): every run must start afresh and give back what
// it opened, whichever way it ends.
TEST(IfgextractMain, RepeatedRunsLeakNothingAndForgetNothing) {
  const std::string dir = make_temp_dir();
  const std::string good = dir + "/good", cut = dir + "/cut";
  write_file(good, telemetry_bytes({blank_record(5, 5, 5), blank_record(5, 5, 5)}));
  write_file(cut, telemetry_bytes({blank_record(5, 5, 5)}, 10));
  const size_t before = open_descriptors();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(run_quietly({"ifgextract", "-c", "-F", good}), 0);
    EXPECT_EQ(run_quietly({"ifgextract", "-F", cut}), 1);
    EXPECT_EQ(run_quietly({"ifgextract", "-F", dir}), 1);
    EXPECT_EQ(run_quietly({"ifgextract", "-q", "-F", dir + "/missing"}), 1);
    EXPECT_EQ(run_quietly({"ifgextract"}), 255);
  }
  EXPECT_EQ(open_descriptors(), before);
  remove_tree(dir);
}

}  // namespace
