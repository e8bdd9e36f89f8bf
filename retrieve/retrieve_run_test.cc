// The run as a function (the fuzz harness calls it many times in one
// process): every run must start as a new process would and give back what
// it opened, whichever way it ends.  Each in-process run is compared with a
// run of the program itself in the same folder.
#include "retrieve_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "run_program.h"

namespace {

std::string entry(int number, const std::string& samples) {
  return "1 2 " + std::to_string(number) + "\n2 0.6 0 1\n" + samples + "\n1\n2\n3\n4\n1 2 " +
         std::to_string(number) + "\n1 0.5 0 1\n9\n1\n2\n3\n4\n5\n6\n";
}

// The console and both files, which are then removed for the next run.
std::string outcome(const TempDir& dir, const ProgramResult& r) {
  std::string o = ::testing::PrintToString(r) + "\n--- interferogram.dat:\n" +
                  dir.read("interferogram.dat") + "--- spectrum.dat:\n" + dir.read("spectrum.dat");
  unlink(dir.path("interferogram.dat").c_str());
  unlink(dir.path("spectrum.dat").c_str());
  return o;
}

TEST(RetrieveMain, RepeatedRunsMatchAFreshProcessAndLeakNothing) {
  const TempDir dir;
  const int home = open(".", O_RDONLY | O_DIRECTORY);
  // The second entry's samples are null values, which leave the variables
  // as they were: zero in a fresh run, never a value of an earlier run.
  const std::string files[] = {entry(1, "1.5 2.5"), entry(1, ", ,"), entry(1, "1.5 x"), ""};
  const size_t before = open_descriptor_count();
  for (int round = 0; round < 2; ++round) {
    for (const std::string& text : files) {
      for (const char* answer : {"1\n", "2\n", "oops\n"}) {
        dir.put("all.det", text);
        if (text.empty()) unlink(dir.path("all.det").c_str());
        const std::string fresh = outcome(dir, run_program({RETRIEVE_PATH}, answer, dir.path()));
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        const ProgramResult r =
            run_in_process([](int, char**) { return retrieve_main(); }, {"retrieve"}, answer);
        ASSERT_EQ(fchdir(home), 0);
        EXPECT_EQ(outcome(dir, r), fresh) << text << answer;
      }
    }
  }
  EXPECT_EQ(open_descriptor_count(), before);
  close(home);
}

}  // namespace
