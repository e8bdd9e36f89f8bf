// End-to-end tests of hkdump and hkrawdump: the real programs on generated
// telemetry files, comparing standard output, standard error and exit
// status in full.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "hkdump_reference.h"
#include "run_program.h"
#include "synth.h"
#include "telemetry_files.h"

namespace {

const std::string kHkdump = HKDUMP_PATH;
const std::string kHkrawdump = HKRAWDUMP_PATH;

// The help text as -h gives it: the page checks hold it to the options of
// the page; here it is what every refusal must end with.
const std::string& help_text() {
  static const std::string text = run_program({HKDUMP_PATH, "-h"}).err;
  return text;
}
const std::string kWarning = "warning: invalid options count\n";

// The bytes of a generated file: records whole records with the given sync
// plan, chosen housekeeping words and placed words, then tail bytes of one
// more.
std::string generated_file(int64_t records, const char* plan,
                           const std::vector<std::string>& words = {}, int64_t tail = 0,
                           const std::vector<std::string>& placed = {}) {
  static SynthOptions options;
  synth_defaults(options);
  options.records = records;
  options.tail_bytes = tail;
  EXPECT_TRUE(parse_sync_plan(plan, options)) << plan;
  for (const std::string& w : words) {
    EXPECT_TRUE(parse_chosen_word(w.c_str(), options.chosen[options.chosen_count++])) << w;
  }
  for (const std::string& w : placed) {
    EXPECT_TRUE(parse_placed_word(w.c_str(), options.placed[options.placed_count++])) << w;
  }
  return synth_bytes(options);
}

class HkdumpTest : public ::testing::Test {
 protected:
  static ProgramResult run(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), program);
    return run_program(args);
  }

  TempDir dir_;
};

// ---- Command line ----------------------------------------------------------

TEST_F(HkdumpTest, CommandLine) {
  const std::string file = dir_.put("data", generated_file(1, "5"));
  const std::string missing = dir_.path("missing");
  const std::string& printed_help = help_text();
  EXPECT_EQ(std::count(printed_help.begin(), printed_help.end(), '\n'), 12);  // as the pages say
  const ProgramResult usage = {"", kWarning + printed_help, 2};
  const ProgramResult help = {"", printed_help, 0};
  const ProgramResult no_file = {"", missing + ": No such file or directory\n", 1};
  for (const std::string& program : {kHkdump, kHkrawdump}) {
    expect_cases(program,
                 {
                     // A group option count other than one is a usage error.
                     {{}, usage},
                     {{"-X"}, usage},
                     {{"-F", file}, usage},
                     {{"-f", "-s", "-F", file}, usage},
                     {{"-f", "-f", "-F", file}, usage},
                     // -h ends the run wherever it stands; options after it are never
                     // looked at (the -g is not echoed).
                     {{"-h", "-p", "-F", file}, help},
                     {{"-p", "-F", file, "-h"}, help},
                     {{"-h", "-g", "4"}, help},
                     // Bad options get getopt's diagnostic, then the help.
                     {{"-p", "-q", "-F", file},
                      {"", program + ": invalid option -- 'q'\n" + printed_help, 2}},
                     {{"-F", file, "-g"},
                      {"", program + ": option requires an argument -- 'g'\n" + printed_help, 2}},
                     {{"-p", "-F"},
                      {"", program + ": option requires an argument -- 'F'\n" + printed_help, 2}},
                     // A missing file ends the run at its option (the -q after it is
                     // never seen); a second -F is tested in turn, even after a good one.
                     {{"-F", missing, "-q"}, no_file},
                     {{"-p", "-F", missing}, no_file},
                     {{"-F", file, "-p", "-F", missing}, no_file},
                     {{"-F", missing, "-p", "-F", file}, no_file},
                     // Without a file the open fails.
                     {{"-p"}, {"", "No such file or directory\n", 1}},
                     {{"-X", "-m", "operand"}, {"", "No such file or directory\n", 1}},
                 });
  }
}

TEST_F(HkdumpTest, EveryGenericOptionIsEchoedWhenMet) {
  const std::string usage = kWarning + help_text();
  expect_cases(kHkdump,
               {
                   {{"-g", "7", "-g", "9"}, {"", "7\n9\n" + usage, 2}},
                   {{"-g", "3", "-x"}, {"", "3\n" + usage, 2}},
                   {{"-g", "-21474836470"}, {"", "-2147483648\nNo such file or directory\n", 1}},
                   {{"-g", "18446744073709551616", "-g", "-18446744073709551621"},
                    {"", "2147483647\n-2147483648\n" + usage, 2}},
               });
  expect_cases(kHkrawdump,
               {
                   {{"-g", "  -12x", "-g", "+5", "-g", "99999999999", "-g", "-99999999999", "-g",
                     "", "-g", "18446744073709551621"},
                    {"", "-12\n5\n2147483647\n-2147483648\n0\n2147483647\n" + usage, 2}},
               });
}

TEST_F(HkdumpTest, LaterFileReplacesEarlierOneAndOperandsAreIgnored) {
  const std::string empty = dir_.put("empty", "");
  const std::string file = dir_.put("data", generated_file(1, "5"));
  const ProgramResult volts = {
      "146f     1 0\ta44 a45 a46 a47\n"
      "146f     1 1\ta44 a45 a46 a47\n"
      "146f     1 2\ta44 a45 a46 a47\n",
      "No data at record 2\n", 0};
  expect_cases(kHkrawdump, {
                               {{"-v", "-F", file}, volts},
                               {{"-F", empty, "-v", "-F", file}, volts},
                               {{"first", "-v", "second", "-F", file, "third"}, volts},
                           });
}

// ---- End of the data and failures ------------------------------------------

TEST_F(HkdumpTest, EndsOfTheData) {
  const std::string empty = dir_.put("empty", "");
  // Text that is not a number selects channel 0, the sync row itself.
  const std::string cut = dir_.put("cut", generated_file(2, "5", {"12:0=171"}, 100));
  const std::string at_end = "No data at record 1\n";
  expect_cases(kHkdump, {
                            {{"-p", "-F", empty}, {"", at_end, 0}},
                            // The truncated last record is not printed.
                            {{"-g", "abc", "-F", cut},
                             {"146f     1 0\t171\n146f     1 1\t171\n146f     1 2\t171\n"
                              "146f     2 0\t171\n146f     2 1\t171\n146f     2 2\t171\n",
                              "0\nMismatch data at record 3\n", 1}},
                            {{"-X", "-g", "0", "-F", cut},
                             {"146f     1 0\tab\n146f     1 1\tab\n146f     1 2\tab\n"
                              "146f     2 0\tab\n146f     2 1\tab\n146f     2 2\tab\n",
                              "0\nMismatch data at record 3\n", 1}},
                            // A folder passes the existence test and opens, but cannot be read.
                            {{"-x", "-F", dir_.path()}, {"", "Read error at record 1\n", 1}},
                        });
  expect_cases(kHkrawdump, {{{"-m", "-F", empty}, {"", at_end, 0}}});
}

TEST_F(HkdumpTest, RecordsArrivingInPiecesArePutTogether) {
  const std::string data = dir_.put("data", generated_file(5, "5,6,-1", {}, 77));
  const std::string fifo = dir_.path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const ProgramResult direct = run(kHkrawdump, {"-m", "-F", data});
  EXPECT_EQ(run_shell("(dd if=" + data + " bs=313 2>/dev/null > " + fifo + " &); exec " +
                      kHkrawdump + " -m -F " + fifo),
            (ProgramResult{direct.out, "Mismatch data at record 6\n", 1}));
  // Fifteen data lines, each after a new offset report (the row moves
  // at every subframe).
  EXPECT_EQ(std::count(direct.out.begin(), direct.out.end(), '\n'), 30);
}

TEST_F(HkdumpTest, FaultsAndTheOrderOfMessages) {
  const std::string data = dir_.put("data", generated_file(2, "5"));
  const std::string vanishing = dir_.put("vanishing", generated_file(2, "5"));
  const std::string cut = dir_.put("cut", generated_file(1, "5", {}, 7));
  // Enough records to fill the output buffer: the run stops at the failure.
  const std::string large = dir_.put("large", generated_file(2000, "5"));
  const std::string disk_full = ": standard output: No space left on device\n";
  expect_cases("/bin/sh",
               {
                   // The file vanishing before the open is reported.
                   {{"-c", "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" VANISH_PRELOAD_PATH
                           " VANISH_PATH=" +
                               vanishing + " exec " + kHkdump + " -p -F " + vanishing},
                    {"", vanishing + ": No such file or directory\n", 1}},
                   // Standard output comes before every message.
                   {{"-c", "exec " + kHkrawdump + " -F " + cut + " -g 2 -X 2>&1"},
                    {"2\n146f     1 0\ta02\n146f     1 1\ta02\n146f     1 2\ta02\nMismatch data at "
                     "record 2\n",
                     "", 1}},
                   // A failed write is reported once, with status 1.
                   {{"-c", "exec " + kHkdump + " -p -F " + data + " >/dev/full"},
                    {"", "No data at record 3\nhkdump" + disk_full, 1}},
                   {{"-c", "exec " + kHkrawdump + " -s -F " + large + " >/dev/full"},
                    {"", "hkrawdump" + disk_full, 1}},
               });
}

// ---- Line prefix, sync rows and positions -----------------------------------

TEST_F(HkdumpTest, SyncRowsPlaceThePositions) {
  // A steady sync row places the positions once: one report of the offset
  // position before the first line, none after.
  const ProgramResult r =
      run(kHkrawdump, {"-m", "-F", dir_.put("steady", generated_file(12, "5"))});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "No data at record 13\n");
  EXPECT_EQ(r.out.rfind("ait affset", std::string::npos), 0u);
  EXPECT_EQ(r.out.substr(0, 15), "ait affset 388\n");
  EXPECT_NE(r.out.find("\n146f    12 2\ta08 a09 a13 a04 a05 a06 a07 a35\n"), std::string::npos);

  // Four subframes without sync row, then sync row 5.  Until a row is
  // found every position is 0: column 0 of row 0 holds 0x0200.  The prefix
  // word of a subframe without sync row is column 0 of row -1: nothing for
  // subframe 0 (0), the last row of subframe 0 (0x026b) for subframe 1.
  const std::string late = dir_.put("late", generated_file(2, "-1x4,5x2"));
  const std::string mask = "\ta08 a09 a13 a04 a05 a06 a07 a35\n";
  expect_cases(kHkrawdump,
               {
                   // Subframes with sync rows 5, 5, 6 | 5, 5, 5: the positions are
                   // placed anew at every change.
                   {{"-m", "-F", dir_.put("moving", generated_file(2, "5,5,6,5x3"))},
                    {"ait affset 388\n146f     1 0" + mask + "146f     1 1" + mask +
                         "ait affset 404\n146f     1 2" + mask + "ait affset 388\n146f     2 0" +
                         mask + "146f     2 1" + mask + "146f     2 2" + mask,
                     "No data at record 3\n", 0}},
                   {{"-f", "-F", late},
                    {"0     1 0\t200 200 200 200 200\n"
                     "26b     1 1\t200 200 200 200 200\n"
                     "26b     1 2\t200 200 200 200 200\n"
                     "0     2 0\t200 200 200 200 200\n"
                     "146f     2 1\ta00 a01 a02 a03 a4f\n"
                     "146f     2 2\ta00 a01 a02 a03 a4f\n",
                     "No data at record 3\n", 0}},
               });
  // The engineering fast sap group reads word 192 (column 0 of row 12).
  const ProgramResult first = run(kHkdump, {"-f", "-F", late});
  EXPECT_EQ(first.out.substr(0, first.out.find('\n') + 1),
            "0     1 0\t 512\t 0  2  0\t32 32 32 0\n");
}

// ---- Every group against the reference --------------------------------------

struct Sweep {
  const char* plan;
  std::vector<std::string> words;
  std::vector<std::string> placed;
};

void compare_with_reference(const std::string& path, const std::string& bytes, bool raw,
                            const std::vector<std::string>& args, const ReferenceRun& ref) {
  std::vector<std::string> argv = {raw ? kHkrawdump : kHkdump};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.push_back("-F");
  argv.push_back(path);
  std::string end;
  const std::string expected = reference_dump(bytes, ref, end);
  const ProgramResult r = run_program(argv);
  std::string echo;
  if (ref.group == 'g') echo = std::to_string(ref.format_offset) + "\n";
  EXPECT_EQ(r.status, end.rfind("No data", 0) == 0 ? 0 : 1);
  EXPECT_EQ(r.err, echo + end);
  EXPECT_EQ(r.out, expected);  // a failure shows the lines that differ
}

TEST_F(HkdumpTest, EveryGroupMatchesTheReferenceOverAwkwardSyncRows) {
  // Sync rows that put channels and the fast sap rows into the next
  // subframe and into the trailer, alternating and missing rows, and words
  // that make the BCD, flag and difference values visible.
  const std::vector<Sweep> sweeps = {
      {"96,100,105,106,107,-1,0,5,-1,-1,107,96", {}, {}},
      {"100,-1,105x2,6,107,106,0",
       {"12:65=0x1234", "12:66=0x5678", "12:53=0x8000", "12:88=0", "12:92=0xffff", "12:15=0",
        "12:91=0xffff", "4:70=0x0abc", "12:70=0xffff", "12:42=0xffc0"},
       {}},
      {"-1x5,107,-1x2,105", {"12:66=0xffff", "12:65=0x9a9b"}, {}},
      // A second sync word in row 40 of subframe 0 (row 5 wins where it
      // is planned), one only in column 1 of subframe 1, and one in row 0
      // of subframe 2, which does not count for subframe 1.
      {"5,-1,-1,-1,-1,100,5,-1,5", {}, {"0:40:0=0x146f", "1:9:1=0x146f", "2:0:0=0x146f"}},
  };
  const std::vector<std::pair<std::vector<std::string>, ReferenceRun>> runs = {
      {{"-f"}, {false, 'f', 0, false}},
      {{"-s"}, {false, 's', 0, false}},
      {{"-p"}, {false, 'p', 0, false}},
      {{"-m"}, {false, 'm', 0, false}},
      {{"-v"}, {false, 'v', 0, false}},
      {{"-x"}, {false, 'x', 0, false}},
      {{"-g", "0"}, {false, 'g', 0, false}},
      {{"-X", "-g", "52"}, {false, 'g', 52, true}},
      {{"-g", "-3"}, {false, 'g', -3, false}},
      {{"-g", "200", "-X"}, {false, 'g', 200, true}},
      {{"-g", "-250"}, {false, 'g', -250, false}},
      {{"-g", "2147483647"}, {false, 'g', 2147483647, false}},
      {{"-g", "-9999999999"}, {false, 'g', -2147483647 - 1, false}},
  };
  for (size_t i = 0; i < sweeps.size(); ++i) {
    const std::string bytes =
        generated_file(4, sweeps[i].plan, sweeps[i].words, i == 1 ? 500 : 0, sweeps[i].placed);
    const std::string path = dir_.put("sweep" + std::to_string(i), bytes);
    for (bool raw : {false, true}) {
      for (const auto& [args, ref_in] : runs) {
        ReferenceRun ref = ref_in;
        ref.raw = raw;
        SCOPED_TRACE(std::string(raw ? "hkrawdump" : "hkdump") + " plan " + sweeps[i].plan +
                     " group " + ref.group + " offset " + std::to_string(ref.format_offset));
        compare_with_reference(path, bytes, raw, args, ref);
      }
    }
  }
}

}  // namespace
