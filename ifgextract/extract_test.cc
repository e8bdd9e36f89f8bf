#include "extract.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"
#include "telemetry_files.h"

namespace {

int run_quietly(const std::vector<std::string>& args) {
  return run_in_process(ifgextract_main, args).status;
}

// The extractor runs as a function too (the fuzz harness calls it many
// times in one process): every run must start afresh and give back what
// it opened, whichever way it ends.
TEST(IfgextractMain, RepeatedRunsLeakNothingAndForgetNothing) {
  const TempDir dir;
  const std::string good =
      dir.put("good", telemetry_bytes({blank_record(5, 5, 5), blank_record(5, 5, 5)}));
  const std::string cut = dir.put("cut", telemetry_bytes({blank_record(5, 5, 5)}, 10));
  const size_t before = open_descriptor_count();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(run_quietly({"ifgextract", "-c", "-F", good}), 0);
    EXPECT_EQ(run_quietly({"ifgextract", "-F", cut}), 1);
    EXPECT_EQ(run_quietly({"ifgextract", "-F", dir.path()}), 1);
    EXPECT_EQ(run_quietly({"ifgextract", "-q", "-F", dir.path("missing")}), 1);
    EXPECT_EQ(run_quietly({"ifgextract"}), 255);
  }
  EXPECT_EQ(open_descriptor_count(), before);
}

}  // namespace
