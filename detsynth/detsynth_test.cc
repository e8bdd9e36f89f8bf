// detsynth's command line: every value checked whole and within its range
// before a byte is written, each option reaching the writer as given, and
// a write that fails told apart from a bad command line.
#include <gtest/gtest.h>

#include <unistd.h>

#include "detection_writer.h"
#include "run_program.h"

namespace {

// What the writer makes of options, as the program would write it.
std::string written(const SynthOptions& options) {
  MemoryFile file = memory_file("", 0);
  static OutBuffer out;
  out_init(out, file.fd);
  EXPECT_TRUE(write_detection_file(options, out));
  std::string text = memory_file_text(file);
  close_memory_file(file);
  return text;
}

TEST(Detsynth, ChecksEveryOptionAndReportsWrites) {
  const std::string usage = run_program({DETSYNTH_PATH, "-h"}).out;
  ASSERT_EQ(usage.rfind("usage: detsynth ", 0), 0u);
  const TempDir dir;
  auto refused = [&](const std::string& line) { return ProgramResult{"", line + usage, 2}; };
  expect_cases(
      DETSYNTH_PATH,
      {{{"-n", "-1"}, refused("detsynth: bad entry count: -1\n")},
       {{"-n", "2147483648"}, refused("detsynth: bad entry count: 2147483648\n")},
       {{"-s", "1.5"}, refused("detsynth: bad sample count: 1.5\n")},
       {{"-c", "-2147483649"}, refused("detsynth: bad spectrum value count: -2147483649\n")},
       {{"-f", "7x"}, refused("detsynth: bad first number: 7x\n")},
       {{"-r", "-1"}, refused("detsynth: bad seed: -1\n")},
       {{"-p", "0"}, refused("detsynth: bad values per line: 0\n")},
       {{"-F", "tabs"}, refused("detsynth: bad form: tabs\n")},
       {{"-n", "2", "out.det"}, refused("detsynth: bad operand: out.det\n")},
       {{"-q"}, refused("detsynth: unknown option -q\n")},
       {{"-o"}, refused("detsynth: option -o needs a value\n")},
       {{"-o", dir.path("no/such")},
        {"", "detsynth: " + dir.path("no/such") + ": No such file or directory\n", 1}}});
  EXPECT_EQ(run_shell("exec " + std::string(DETSYNTH_PATH) + " >/dev/full"),
            (ProgramResult{"", "detsynth: standard output: No space left on device\n", 1}));
  // A file cut short by a failed write is removed: it would pass for a
  // file of fewer entries.
  const std::string cut = dir.path("cut.det");
  EXPECT_EQ(run_shell("trap '' XFSZ; ulimit -f 64; exec " + std::string(DETSYNTH_PATH) +
                      " -n 40 -o " + cut),
            (ProgramResult{"", "detsynth: " + cut + ": File too large\n", 1}));
  EXPECT_EQ(access(cut.c_str(), F_OK), -1);

  // Each letter sets its own field, at the ends of its range.
  const SynthOptions o{
      2, -3, 5, INT32_MIN, 9223372036854775807u, 2147483647, DetectionForm::fortran_d};
  EXPECT_EQ(run_program({DETSYNTH_PATH, "-n", "2", "-s", "-3", "-c", "5", "-f", "-2147483648", "-r",
                         "9223372036854775807", "-p", "2147483647", "-F", "fortran-d", "-o",
                         dir.path("all.det")}),
            (ProgramResult{"", "", 0}));
  EXPECT_EQ(dir.read("all.det"), written(o));
  EXPECT_EQ(run_program({DETSYNTH_PATH, "-c", "0", "-p", "1", "-F", "crlf"}).out, [] {
    SynthOptions d = default_synth_options();
    d.spectrum_values = 0;
    d.values_per_line = 1;
    d.form = DetectionForm::crlf;
    return written(d);
  }());
}

}  // namespace
