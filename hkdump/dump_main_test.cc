// The dump runs as a function too (the fuzz harness calls it many times in
// one process): every run must start as a new process would, with its
// channel positions at 0, and give back what it opened, whichever way it
// ends.  Each in-process run is compared with a run of the program itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dump_loop.h"
#include "run_program.h"
#include "telemetry_files.h"

using namespace tlmframe;

namespace {

int engineering_main(int argc, char** argv) { return hkdump_main(argc, argv, kEngineeringTable); }

TEST(HkdumpMain, RepeatedRunsMatchAFreshProcessAndLeakNothing) {
  const TempDir dir;
  // Subframes without a sync row first, so that a run shows the positions
  // it starts with; then rows that move.
  TelemetryRecord first = blank_record(-1, -1, 40);
  for (int word = 0; word < kRecordWords; word += 7)
    first.words[word] = static_cast<uint16_t>(word * 13);
  const std::string late = dir.put("late", telemetry_bytes({first, blank_record(5, 6, -1)}));
  const std::string steady = dir.put("steady", telemetry_bytes({blank_record(100, 100, 100)}));
  const std::string cut = dir.put("cut", telemetry_bytes({blank_record(5, 5, 5)}, 10));
  const std::vector<std::vector<std::string>> groups = {
      {"-f"}, {"-s"}, {"-p"}, {"-m"}, {"-v"}, {"-x"}, {"-g", "7"}, {"-X", "-g", "-300"}};
  const size_t before = open_descriptor_count();
  for (int round = 0; round < 2; ++round) {
    for (const auto& group : groups) {
      for (const std::string& file : {steady, late, cut, dir.path()}) {
        std::vector<std::string> args = {HKDUMP_PATH};
        args.insert(args.end(), group.begin(), group.end());
        args.insert(args.end(), {"-F", file});
        EXPECT_EQ(run_in_process(engineering_main, args), run_program(args))
            << group[0] << " " << file;
      }
    }
  }
  EXPECT_EQ(open_descriptor_count(), before);
}

}  // namespace
