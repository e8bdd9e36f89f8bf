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

struct Outcome {
  ProgramResult console;
  std::string samples;
  std::string spectrum;
};

Outcome outcome(const std::string& dir, const ProgramResult& r) {
  Outcome o{r, read_file(dir + "/interferogram.dat"), read_file(dir + "/spectrum.dat")};
  unlink((dir + "/interferogram.dat").c_str());
  unlink((dir + "/spectrum.dat").c_str());
  return o;
}

TEST(RetrieveMain, RepeatedRunsMatchAFreshProcessAndLeakNothing) {
  const std::string dir = make_temp_dir();
  const int home = open(".", O_RDONLY | O_DIRECTORY);
  // The second entry's samples are null values, which leave the variables
  // as they were: zero in a fresh run, never a value of an earlier run.
  const std::string files[] = {entry(1, "1.5 2.5"), entry(1, ", ,"), entry(1, "1.5 x"), ""};
  const size_t before = open_descriptor_count();
  for (int round = 0; round < 2; ++round) {
    for (const std::string& text : files) {
      for (const char* answer : {"1\n", "2\n", "oops\n"}) {
        write_file(dir + "/all.det", text);
        if (text.empty()) unlink((dir + "/all.det").c_str());
        const Outcome fresh = outcome(dir, run_program({RETRIEVE_PATH}, answer, dir));
        ASSERT_EQ(chdir(dir.c_str()), 0);
        const ProgramResult r = run_in_process([](int, char**) { return retrieve_main(); }, {"retrieve"}, answer);
        ASSERT_EQ(fchdir(home), 0);
        const Outcome in_process = outcome(dir, r);
        EXPECT_EQ(in_process.console.out, fresh.console.out) << text << answer;
        EXPECT_EQ(in_process.console.err, fresh.console.err) << text << answer;
        EXPECT_EQ(in_process.console.status, fresh.console.status) << text << answer;
        EXPECT_EQ(in_process.samples, fresh.samples) << text << answer;
        EXPECT_EQ(in_process.spectrum, fresh.spectrum) << text << answer;
      }
    }
  }
  EXPECT_EQ(open_descriptor_count(), before);
  close(home);
  remove_tree(dir);
}

}  // namespace
