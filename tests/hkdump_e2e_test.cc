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

const std::string kHelp =
    "\th\t\thelp\n"
    "\tF <file>\tfile to use\n"
    "\tX\t\thex output\n"
    "\tf\t\tfast sap channel\n"
    "\ts\t\tslow sap channel\n"
    "\tp\t\tpressure\n"
    "\tm\t\tmask temperature\n"
    "\tv\t\tvoltage monitors\n"
    "\tx\t\tauxiliary det. data\n"
    "\tg: <num>\tgeneric housekeeping\n"
    "\t\t\tnum is the format offset\n"
    "\t\t\tas given in format\n";
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
  void SetUp() override { dir_ = make_temp_dir(); }
  void TearDown() override { remove_tree(dir_); }

  std::string put(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    write_file(path, bytes);
    return path;
  }

  static ProgramResult run(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), program);
    return run_program(args);
  }

  // Runs program with args through the shell, so that redirections can be
  // given as in "exec \"$0\" -p -F file >/dev/full".
  static ProgramResult run_shell(const std::string& program, const std::string& script) {
    return run_program({"/bin/sh", "-c", script, program});
  }

  std::string dir_;
};

void expect_result(const ProgramResult& r, int status, const std::string& out,
                   const std::string& err) {
  EXPECT_EQ(r.status, status);
  EXPECT_EQ(r.out, out);
  EXPECT_EQ(r.err, err);
}

// ---- Command line ----------------------------------------------------------

TEST_F(HkdumpTest, GroupOptionCountOtherThanOneIsAUsageError) {
  const std::string file = put("data", generated_file(1, "5"));
  const std::vector<std::vector<std::string>> cases = {
      {}, {"-X"}, {"-F", file}, {"-f", "-s", "-F", file}, {"-f", "-f", "-F", file}};
  for (const std::string& program : {kHkdump, kHkrawdump}) {
    for (const auto& args : cases) {
      SCOPED_TRACE(program + " with " + std::to_string(args.size()) + " arguments");
      expect_result(run(program, args), 2, "", kWarning + kHelp);
    }
  }
}

TEST_F(HkdumpTest, EveryGenericOptionIsEchoedWhenMet) {
  expect_result(run(kHkdump, {"-g", "7", "-g", "9"}), 2, "", "7\n9\n" + kWarning + kHelp);
  expect_result(run(kHkdump, {"-g", "3", "-x"}), 2, "", "3\n" + kWarning + kHelp);
  expect_result(run(kHkdump, {"-g", "18446744073709551616", "-g", "-18446744073709551621"}), 2,
                "", "2147483647\n-2147483648\n" + kWarning + kHelp);
  expect_result(run(kHkrawdump, {"-g", "  -12x", "-g", "+5", "-g", "99999999999", "-g",
                                 "-99999999999", "-g", "", "-g", "18446744073709551621"}),
                2, "", "-12\n5\n2147483647\n-2147483648\n0\n2147483647\n" + kWarning + kHelp);
}

TEST_F(HkdumpTest, HelpEndsTheRunWhereverItStands) {
  const std::string file = put("data", generated_file(1, "5"));
  expect_result(run(kHkdump, {"-h", "-p", "-F", file}), 0, "", kHelp);
  expect_result(run(kHkrawdump, {"-p", "-F", file, "-h"}), 0, "", kHelp);
  // Options after -h are never looked at: the -g is not echoed.
  expect_result(run(kHkdump, {"-h", "-g", "4"}), 0, "", kHelp);
}

TEST_F(HkdumpTest, BadOptionsGetTheDiagnosticThenHelp) {
  const std::string file = put("data", generated_file(1, "5"));
  expect_result(run(kHkdump, {"-p", "-q", "-F", file}), 2, "",
                kHkdump + ": invalid option -- 'q'\n" + kHelp);
  expect_result(run(kHkrawdump, {"-F", file, "-g"}), 2, "",
                kHkrawdump + ": option requires an argument -- 'g'\n" + kHelp);
  expect_result(run(kHkdump, {"-p", "-F"}), 2, "",
                kHkdump + ": option requires an argument -- 'F'\n" + kHelp);
}

TEST_F(HkdumpTest, MissingFileEndsTheRunAtItsOption) {
  const std::string missing = dir_ + "/missing";
  const std::string error = missing + ": No such file or directory\n";
  // -q after the bad -F is never seen.
  expect_result(run(kHkdump, {"-F", missing, "-q"}), 1, "", error);
  expect_result(run(kHkrawdump, {"-p", "-F", missing}), 1, "", error);
  // A second -F is tested in turn, even when the first one was good ...
  const std::string file = put("data", generated_file(1, "5"));
  expect_result(run(kHkdump, {"-F", file, "-p", "-F", missing}), 1, "", error);
  // ... and never reached after a bad first one.
  expect_result(run(kHkdump, {"-F", missing, "-p", "-F", file}), 1, "", error);
}

TEST_F(HkdumpTest, LaterFileReplacesEarlierOne) {
  const std::string empty = put("empty", "");
  const std::string file = put("data", generated_file(1, "5"));
  const ProgramResult r = run(kHkrawdump, {"-F", empty, "-v", "-F", file});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "No data at record 2\n");
  EXPECT_EQ(r.out.size(), 3u * std::string("146f     1 0\ta44 a45 a46 a47\n").size());
}

TEST_F(HkdumpTest, WithoutFileTheOpenFails) {
  expect_result(run(kHkdump, {"-p"}), 1, "", "No such file or directory\n");
  expect_result(run(kHkrawdump, {"-X", "-m", "operand"}), 1, "", "No such file or directory\n");
}

TEST_F(HkdumpTest, OperandsMixedWithOptionsAreIgnored) {
  const std::string file = put("data", generated_file(1, "5"));
  const ProgramResult plain = run(kHkrawdump, {"-v", "-F", file});
  const ProgramResult mixed = run(kHkrawdump, {"first", "-v", "second", "-F", file, "third"});
  expect_result(mixed, 0, plain.out, "No data at record 2\n");
  EXPECT_EQ(plain.out,
            "146f     1 0\ta44 a45 a46 a47\n"
            "146f     1 1\ta44 a45 a46 a47\n"
            "146f     1 2\ta44 a45 a46 a47\n");
}

// ---- End of the data and failures ------------------------------------------

TEST_F(HkdumpTest, EmptyFileEndsAtRecordOne) {
  const std::string file = put("empty", "");
  expect_result(run(kHkdump, {"-p", "-F", file}), 0, "", "No data at record 1\n");
  expect_result(run(kHkrawdump, {"-m", "-F", file}), 0, "", "No data at record 1\n");
}

TEST_F(HkdumpTest, TruncatedLastRecordIsNotPrinted) {
  // Text that is not a number selects channel 0, the sync row itself.
  const std::string file = put("cut", generated_file(2, "5", {"12:0=171"}, 100));
  expect_result(run(kHkdump, {"-g", "abc", "-F", file}), 1,
                "146f     1 0\t171\n146f     1 1\t171\n146f     1 2\t171\n"
                "146f     2 0\t171\n146f     2 1\t171\n146f     2 2\t171\n",
                "0\nMismatch data at record 3\n");
  expect_result(run(kHkdump, {"-X", "-g", "0", "-F", file}), 1,
                "146f     1 0\tab\n146f     1 1\tab\n146f     1 2\tab\n"
                "146f     2 0\tab\n146f     2 1\tab\n146f     2 2\tab\n",
                "0\nMismatch data at record 3\n");
}

TEST_F(HkdumpTest, ReadErrorEndsWithItsMessage) {
  // A directory passes the existence test and opens, but cannot be read.
  expect_result(run(kHkdump, {"-x", "-F", dir_}), 1, "", "Read error at record 1\n");
}

TEST_F(HkdumpTest, RecordsArrivingInPiecesArePutTogether) {
  const std::string data = put("data", generated_file(5, "5,6,-1", {}, 77));
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const ProgramResult direct = run(kHkrawdump, {"-m", "-F", data});
  const ProgramResult r = run_shell(
      kHkrawdump, "(dd if=" + data + " bs=313 2>/dev/null > " + fifo + " &); exec \"$0\" -m -F " + fifo);
  expect_result(r, 1, direct.out, "Mismatch data at record 6\n");
  // Fifteen data lines, each after a new offset report (the row moves
  // at every subframe).
  EXPECT_EQ(std::count(direct.out.begin(), direct.out.end(), '\n'), 30);
}

TEST_F(HkdumpTest, FileVanishingBeforeTheOpenIsReported) {
  const std::string data = put("data", generated_file(2, "5"));
  const ProgramResult r = run_shell(
      kHkdump, "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" VANISH_PRELOAD_PATH " VANISH_PATH=" +
                   data + " exec \"$0\" -p -F " + data);
  expect_result(r, 1, "", data + ": No such file or directory\n");
}

TEST_F(HkdumpTest, StandardOutputComesBeforeEveryMessage) {
  const std::string file = put("data", generated_file(1, "5", {}, 7));
  const ProgramResult r = run_shell(kHkrawdump, "exec \"$0\" -F " + file + " -g 2 -X 2>&1");
  expect_result(r, 1, "2\n146f     1 0\ta02\n146f     1 1\ta02\n146f     1 2\ta02\nMismatch data at record 2\n",
                "");
}

TEST_F(HkdumpTest, FailedWriteIsReportedOnceWithStatusOne) {
  const std::string small = put("small", generated_file(2, "5"));
  expect_result(run_shell(kHkdump, "exec \"$0\" -p -F " + small + " >/dev/full"), 1, "",
                "No data at record 3\nhkdump: standard output: No space left on device\n");
  // Enough records to fill the output buffer: the run stops at the failure.
  const std::string large = put("large", generated_file(2000, "5"));
  expect_result(run_shell(kHkrawdump, "exec \"$0\" -s -F " + large + " >/dev/full"), 1, "",
                "hkrawdump: standard output: No space left on device\n");
}

// ---- Line prefix, sync rows and positions -----------------------------------

TEST_F(HkdumpTest, SteadySyncRowPlacesPositionsOnce) {
  const std::string file = put("data", generated_file(12, "5"));
  const ProgramResult r = run(kHkrawdump, {"-m", "-F", file});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "No data at record 13\n");
  // One report of the offset position before the first line, none after.
  EXPECT_EQ(r.out.rfind("ait affset", std::string::npos), 0u);
  EXPECT_EQ(r.out.substr(0, 15), "ait affset 388\n");
  EXPECT_NE(r.out.find("\n146f    12 2\ta08 a09 a13 a04 a05 a06 a07 a35\n"), std::string::npos);
}

TEST_F(HkdumpTest, MovingSyncRowReplacesPositionsAtEveryChange) {
  // Subframes with sync rows 5, 5, 6 | 5, 5, 5 and no more changes.
  const std::string file = put("data", generated_file(2, "5,5,6,5x3"));
  expect_result(run(kHkrawdump, {"-m", "-F", file}), 0,
                "ait affset 388\n"
                "146f     1 0\ta08 a09 a13 a04 a05 a06 a07 a35\n"
                "146f     1 1\ta08 a09 a13 a04 a05 a06 a07 a35\n"
                "ait affset 404\n"
                "146f     1 2\ta08 a09 a13 a04 a05 a06 a07 a35\n"
                "ait affset 388\n"
                "146f     2 0\ta08 a09 a13 a04 a05 a06 a07 a35\n"
                "146f     2 1\ta08 a09 a13 a04 a05 a06 a07 a35\n"
                "146f     2 2\ta08 a09 a13 a04 a05 a06 a07 a35\n",
                "No data at record 3\n");
}

TEST_F(HkdumpTest, SubframesBeforeTheFirstSyncRowReadInitialPositions) {
  // Four subframes without sync row, then sync row 5.  Until a row is
  // found every position is 0: column 0 of row 0 holds 0x0200.  The prefix
  // word of a subframe without sync row is column 0 of row -1: nothing for
  // subframe 0 (0), the last row of subframe 0 (0x026b) for subframe 1.
  const std::string file = put("data", generated_file(2, "-1x4,5x2"));
  expect_result(run(kHkrawdump, {"-f", "-F", file}), 0,
                "0     1 0\t200 200 200 200 200\n"
                "26b     1 1\t200 200 200 200 200\n"
                "26b     1 2\t200 200 200 200 200\n"
                "0     2 0\t200 200 200 200 200\n"
                "146f     2 1\ta00 a01 a02 a03 a4f\n"
                "146f     2 2\ta00 a01 a02 a03 a4f\n",
                "No data at record 3\n");
  // The engineering fast sap group reads word 192 (column 0 of row 12).
  const ProgramResult r = run(kHkdump, {"-f", "-F", file});
  EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), "0     1 0\t 512\t 0  2  0\t32 32 32 0\n");
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
  // Compare line by line, so that a failure shows the first bad line.
  size_t at = 0;
  int line = 1;
  while (at < expected.size() && at < r.out.size()) {
    const size_t e = expected.find('\n', at);
    const size_t o = r.out.find('\n', at);
    if (expected.compare(at, e - at, r.out, at, o - at) != 0) {
      ADD_FAILURE() << "line " << line << "\nexpected: " << expected.substr(at, e - at)
                    << "\nactual:   " << r.out.substr(at, o == std::string::npos ? o : o - at);
      return;
    }
    at = e + 1;
    ++line;
  }
  EXPECT_EQ(r.out.size(), expected.size());
}

TEST_F(HkdumpTest, EveryGroupMatchesTheReferenceOverAwkwardSyncRows) {
  // Sync rows that put channels and the fast sap rows into the next
  // subframe and into the trailer, alternating and missing rows, and words
  // that make the BCD, flag and difference values visible.
  const std::vector<Sweep> sweeps = {
      {"96,100,105,106,107,-1,0,5,-1,-1,107,96", {}, {}},
      {"100,-1,105x2,6,107,106,0",
       {"12:65=0x1234", "12:66=0x5678", "12:53=0x8000", "12:88=0", "12:92=0xffff",
        "12:15=0", "12:91=0xffff", "4:70=0x0abc", "12:70=0xffff", "12:42=0xffc0"},
       {}},
      {"-1x5,107,-1x2,105", {"12:66=0xffff", "12:65=0x9a9b"}, {}},
      // A second sync word in row 40 of subframe 0 (row 5 wins where it
      // is planned), one only in column 1 of subframe 1, and one in row 0
      // of subframe 2, which does not count for subframe 1.
      {"5,-1,-1,-1,-1,100,5,-1,5", {}, {"0:40:0=0x146f", "1:9:1=0x146f", "2:0:0=0x146f"}},
  };
  const std::vector<std::pair<std::vector<std::string>, ReferenceRun>> runs = {
      {{"-f"}, {false, 'f', 0, false}},  {{"-s"}, {false, 's', 0, false}},
      {{"-p"}, {false, 'p', 0, false}},  {{"-m"}, {false, 'm', 0, false}},
      {{"-v"}, {false, 'v', 0, false}},  {{"-x"}, {false, 'x', 0, false}},
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
    const std::string path = put("sweep" + std::to_string(i), bytes);
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
