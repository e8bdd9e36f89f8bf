// hkmonitor end to end: its command line, its exit statuses on files with
// channels that drift and step, following a FIFO and a file appended in
// pieces, and the board on a terminal.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "format/channels.h"
#include "monitor_main.h"
#include "run_program.h"
#include "telemetry_files.h"
#include "terminal.h"

using namespace tlmframe;

namespace {

const std::string kProgram = HKMONITOR_PATH;

// The bus voltage in volts (top 12 bits of channel 68, 0.01 V a count),
// watched with persistence 2, and a raw pressure word.
const std::string kDictionary =
    "[[channel]]\nname = \"bus\"\ndescription = \"Bus voltage\"\nunits = \"V\"\ncolumn = 12\n"
    "group = \"voltage_monitors\"\nnumber = 68\nform = \"top 12\"\npolynomial = [0.0, 0.01]\n"
    "yellow_high = 30\nred_high = 35\npersistence = 2\n"
    "[[channel]]\nname = \"gauge\"\ndescription = \"Gauge word\"\nunits = \"count\"\n"
    "column = 4\ngroup = \"pressure\"\nnumber = 41\nform = \"raw\"\nred_low = 100\n";

// Records whose bus voltage follows volts (one value per record, in all
// three subframes), with the gauge at 200 and the time counting on from
// noon.
std::string telemetry(const std::vector<double>& volts, size_t tail = 0) {
  std::vector<TelemetryRecord> records;
  for (size_t i = 0; i < volts.size(); ++i) {
    TelemetryRecord r = blank_record(5, 5, 5);
    for (int sub = 0; sub < kSubframeCount; ++sub) {
      set_channel(r, sub, 5, kTimeChannelA, kHousekeepingColumn, 0x12);
      set_channel(r, sub, 5, kTimeChannelB, kHousekeepingColumn,
                  static_cast<uint16_t>(((i / 10) << 4) | (i % 10)));
      set_channel(r, sub, 5, 68, kHousekeepingColumn,
                  static_cast<uint16_t>(static_cast<int>(volts[i] * 100) << 4));
      set_channel(r, sub, 5, 41, kRawHousekeepingColumn, 200);
    }
    records.push_back(r);
  }
  return telemetry_bytes(records, tail);
}

// A drift from 28 V up by 1 V a record, and the same with a step to 36 V.
const std::vector<double> kSteady = {28, 28.5, 29, 29.5, 30};
const std::vector<double> kDrift = {28, 29, 30, 31, 32};
const std::vector<double> kStep = {28, 29, 36, 36, 29};

const std::string kSummaryHead = "#channel\tvalues\tGREEN\tYELLOW\tRED\tworst\tworst_state\n";

class HkmonitorTest : public ::testing::Test {
 protected:
  TempDir dir_;
  std::string dictionary_ = dir_.put("d.toml", kDictionary);
};

TEST_F(HkmonitorTest, CommandLine) {
  const std::string data = dir_.put("data", telemetry(kSteady));
  const std::string missing = dir_.path("missing");
  const ProgramResult usage = run_program({kProgram, "-h"});
  ASSERT_EQ(usage.status, 0);
  ASSERT_EQ(usage.out.rfind("usage: hkmonitor [-h] -D DICTIONARY -F FILE [-f] [-i SECONDS]\n", 0),
            0u);
  const auto refused = [&](const std::string& why) {
    return ProgramResult{"", "hkmonitor: " + why + "\n" + usage.out, 3};
  };
  const auto bad_idle = [&](const std::string& v) {
    return refused("-i wants a number of seconds from 0.001, not '" + v + "'");
  };
  const std::string no_limits =
      dir_.put("names.toml", kDictionary.substr(0, kDictionary.find("polynomial")));
  const std::string listing =
      "#name\tunits\tcolumn\tgroup\tnumber\tform\tplace\tcalibration\tred_low\tyellow_low\t"
      "yellow_high\tred_high\tpersistence\tdescription\n"
      "bus\tV\t12\tvoltage_monitors\t68\ttop 12\t4\t(0.0)+x*((0.01))\t-\t-\t30\t35\t2\tBus "
      "voltage\n"
      "gauge\tcount\t4\tpressure\t41\traw\t0\tx\t100\t-\t-\t-\t1\tGauge word\n";
  expect_cases(
      kProgram,
      {
          {{}, refused("no dictionary (-D)")},
          {{"-D", dictionary_}, refused("no telemetry file (-F)")},
          {{"-D", dictionary_, "-F", data, "-i", "2"}, refused("-i goes with -f")},
          {{"-D", dictionary_, "-F", data, "extra"},
           refused("operands are not taken (the file goes with -F)")},
          {{"-D", dictionary_, "-l", "-F", data}, refused("-l takes the dictionary alone")},
          {{"-D", dictionary_, "-F", data, "-f", "-i", "0"}, bad_idle("0")},
          {{"-D", dictionary_, "-F", data, "-f", "-i", "1x"}, bad_idle("1x")},
          {{"-D", dictionary_, "-F", data, "-f", "-i", "1e-10"}, bad_idle("1e-10")},  // 0 ns: no limit
          {{"-D", dictionary_, "-F", data, "-f", "-i", "0.0009"}, bad_idle("0.0009")},
          {{"-q"}, refused("unknown option -q")},
          {{"-D", dictionary_, "-F"}, refused("option -F needs a value")},
          {{"-D", missing, "-F", data},
           {"", "hkmonitor: " + missing + ": No such file or directory\n", 3}},
          {{"-D", dir_.put("bad.toml", "[[channel]]\nname = 7\n"), "-F", data},
           {"",
            "hkmonitor: " + dir_.path("bad.toml") +
                ":2: channel[1].name: wants a string, not an integer\n",
            3}},
          {{"-D", no_limits, "-F", data},
           {"", "hkmonitor: " + no_limits + ": no channel has limits: nothing to check\n", 3}},
          {{"-D", dictionary_, "-F", missing},
           {"", "hkmonitor: " + missing + ": No such file or directory\n", 3}},
          {{"-D", dictionary_, "-l"}, {listing, "", 0}},
      });
}

TEST_F(HkmonitorTest, ExitStatusSaysWhatWasSeen) {
  const auto summary = [&](const std::string& bus, const std::string& values) {
    return kSummaryHead + "bus\t" + values + "\t" + bus + "\ngauge\t" +
           values.substr(0, values.find('\t')) + "\t" + values.substr(0, values.find('\t')) +
           "\t0\t0\t200 count\tGREEN\n";
  };
  expect_cases(kProgram, {
                             {{"-D", dictionary_, "-F", dir_.put("steady", telemetry(kSteady))},
                              {summary("30 V\tGREEN", "15\t15\t0\t0"), "No data at record 6\n", 0}},
                             {{"-D", dictionary_, "-F", dir_.put("drift", telemetry(kDrift))},
                              {"    4 1\t12:00:03\tbus\t31 V\tYELLOW\tabove yellow_high 30\n" +
                                   summary("32 V\tYELLOW", "15\t10\t5\t0"),
                               "No data at record 6\n", 1}},
                             {{"-D", dictionary_, "-F", dir_.put("step", telemetry(kStep))},
                              {"    3 1\t12:00:02\tbus\t36 V\tRED\tabove red_high 35\n"
                               "    5 1\t12:00:04\tbus\t29 V\tGREEN\tbelow yellow_high 30\n" +
                                   summary("36 V\tRED", "15\t9\t0\t6"),
                               "No data at record 6\n", 2}},
                             // What was read is checked and summed up; a cut input is unknown.
                             {{"-D", dictionary_, "-F", dir_.put("cut", telemetry(kStep, 100))},
                              {"    3 1\t12:00:02\tbus\t36 V\tRED\tabove red_high 35\n"
                               "    5 1\t12:00:04\tbus\t29 V\tGREEN\tbelow yellow_high 30\n" +
                                   summary("36 V\tRED", "15\t9\t0\t6"),
                               "Mismatch data at record 6\n", 3}},
                             {{"-D", dictionary_, "-F", dir_.put("empty", "")},
                              {kSummaryHead + "bus\t0\t0\t0\t0\t-\t-\ngauge\t0\t0\t0\t0\t-\t-\n",
                               "No data at record 1\n", 0}},
                             // A folder opens but cannot be read.
                             {{"-D", dictionary_, "-F", dir_.path()},
                              {kSummaryHead + "bus\t0\t0\t0\t0\t-\t-\ngauge\t0\t0\t0\t0\t-\t-\n",
                               "Read error at record 1\n", 3}},
                         });
  // A full disk is unknown too.
  EXPECT_EQ(
      run_shell(kProgram + " -D " + dictionary_ + " -F " + dir_.path("step") + " >/dev/full"),
      (ProgramResult{
          "", "No data at record 6\nhkmonitor: standard output: No space left on device\n", 3}));
}

TEST_F(HkmonitorTest, GeneratedFilesWithDriftingAndSteppingChannels) {
  // tlmsynth's words: the bus at 28 V (top 12 bits 2800), the gauge word at
  // 2601; then drifting by 0.25 V a record, or stepping to 37 V and 50.
  struct Case {
    std::vector<std::string> synth;
    std::string changes;
    std::string end;
    int status;
  };
  const std::string step_bus = "12:68=44800:0:14400@5", drop_gauge = "4:41=2601:0:-2551@8";
  const std::string stepped =
      "    5 1\t12:00:04\tbus\t37 V\tRED\tabove red_high 35\n"
      "    8 0\t12:00:07\tgauge\t50 count\tRED\tbelow red_low 100\n";
  const std::vector<Case> cases = {
      {{"-H", "12:68=44800:0"}, "", "No data at record 11\n", 0},
      {{"-H", "12:68=44800:400"},
       "   10 1\t12:00:09\tbus\t30.25 V\tYELLOW\tabove yellow_high 30\n",
       "No data at record 11\n",
       1},
      {{"-H", step_bus, "-H", drop_gauge}, stepped, "No data at record 11\n", 2},
      {{"-H", step_bus, "-H", drop_gauge, "-t", "500"}, stepped, "Mismatch data at record 11\n", 3},
      {{"-H", step_bus, "-T", "23:59:58"},
       "    5 1\t00:00:02\tbus\t37 V\tRED\tabove red_high 35\n",
       "No data at record 11\n",
       2},
  };
  for (const Case& c : cases) {
    std::vector<std::string> synth = {TLMSYNTH_PATH, "-n", "10", "-o", dir_.path("generated")};
    synth.insert(synth.end(), c.synth.begin(), c.synth.end());
    ASSERT_EQ(run_program(synth).status, 0);
    const ProgramResult r =
        run_program({kProgram, "-D", dictionary_, "-F", dir_.path("generated")});
    EXPECT_EQ(r.out.substr(0, r.out.find(kSummaryHead)), c.changes) << c.synth.back();
    EXPECT_EQ(r.err, c.end) << c.synth.back();
    EXPECT_EQ(r.status, c.status) << c.synth.back();
  }
}

TEST_F(HkmonitorTest, RunsInProcessAsTheProgramDoes) {
  const std::string step = dir_.put("step", telemetry(kStep));
  const std::string cut = dir_.put("cut", telemetry(kDrift, 7));
  const size_t before = open_descriptor_count();
  for (int round = 0; round < 2; ++round) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"-D", dictionary_, "-F", step},
                                               {"-D", dictionary_, "-F", cut},
                                               {"-D", dictionary_, "-l"},
                                               {"-D", dir_.path("none"), "-F", step}}) {
      std::vector<std::string> argv = {kProgram};
      argv.insert(argv.end(), args.begin(), args.end());
      EXPECT_EQ(run_in_process(hkmonitor_main, argv), run_program(argv)) << args[1];
    }
  }
  EXPECT_EQ(open_descriptor_count(), before);
}

// The output of a run on the whole file, which following must give too.
ProgramResult whole_run(const std::string& dictionary, const std::string& file) {
  return run_program({kProgram, "-D", dictionary, "-F", file});
}

TEST_F(HkmonitorTest, FollowsAFifoAndAFileThatGrows) {
  const std::string bytes = telemetry(kStep);
  const ProgramResult want = whole_run(dictionary_, dir_.put("whole", bytes));
  ASSERT_EQ(want.status, 2);
  // A FIFO fed in pieces that end inside records, with pauses between.
  const std::string fifo = dir_.path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string feed = dir_.put(
      "feed.sh",
      "dd bs=7000 count=2 2>/dev/null; sleep 0.3; dd bs=20000 count=1 2>/dev/null; sleep 0.3; cat");
  EXPECT_EQ(run_shell("(sh " + feed + " <" + dir_.path("whole") + " >" + fifo + " &); exec " +
                      kProgram + " -f -i 1 -D " + dictionary_ + " -F " + fifo),
            want);
  // A file appended in pieces while it is followed; -i ends the run.
  const std::string growing = dir_.put("growing", "");
  std::thread writer([&] {
    for (size_t at = 0; at < bytes.size(); at += 9000) {
      usleep(150000);
      FILE* f = std::fopen(growing.c_str(), "ab");
      std::fwrite(bytes.data() + at, 1, std::min<size_t>(9000, bytes.size() - at), f);
      std::fclose(f);
    }
  });
  const ProgramResult followed =
      run_program({kProgram, "-f", "-i", "0.8", "-D", dictionary_, "-F", growing});
  writer.join();
  EXPECT_EQ(followed, want);
  // A record left unfinished when the wait runs out makes the input cut
  // (the shortest wait -i takes).
  write_file(growing, bytes.substr(0, bytes.size() - 10));
  const ProgramResult cut =
      run_program({kProgram, "-f", "-i", "0.001", "-D", dictionary_, "-F", growing});
  EXPECT_EQ(cut.err, "Mismatch data at record 5\n");
  EXPECT_EQ(cut.status, 3);
}

TEST_F(HkmonitorTest, InterruptEndsFollowingWithTheSummary) {
  const std::string fifo = dir_.path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  dir_.put("step", telemetry(kStep));
  // The writer keeps the FIFO open; the interrupt comes after the data.
  const ProgramResult r = run_shell("(cat " + dir_.path("step") + "; sleep 5) >" + fifo + " & " +
                                    kProgram + " -f -D " + dictionary_ + " -F " + fifo +
                                    " & monitor=$!; sleep 1; kill -INT $monitor; wait $monitor");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Interrupted at record 6\n");
  EXPECT_NE(r.out.find("bus\t15\t9\t0\t6\t36 V\tRED\n"), std::string::npos) << r.out;
}

TEST_F(HkmonitorTest, BoardOnATerminal) {
  Terminal t;
  ASSERT_TRUE(
      t.start({kProgram, "-f", "-i", "1", "-D", dictionary_, "-F", "/dev/stdin"}, "", true));
  const std::string bytes = telemetry(kStep);
  // The first two records: the bus still green, in green.
  t.send(bytes.substr(0, 2 * kRecordBytes));
  EXPECT_TRUE(t.wait_for("record 2  12:00:01"));
  EXPECT_TRUE(t.wait_for(" 29 V          \033[32mGREEN ")) << t.screen();
  // The step: red, in red, with the change below the channels.
  t.send(bytes.substr(2 * kRecordBytes, kRecordBytes));
  EXPECT_TRUE(t.wait_for(" 36 V          \033[1;31mRED   ")) << t.screen();
  EXPECT_TRUE(
      t.wait_for("last changes:\033[K\n    3 1\t12:00:02\tbus\t36 V\tRED\tabove red_high 35"));
  EXPECT_EQ(t.finish(), 2);
  // The summary stands below the last board.
  EXPECT_NE(t.screen().find("\033[J" + kSummaryHead + "bus\t9\t7\t0\t2\t36 V\tRED\n"),
            std::string::npos)
      << t.screen();
}

}  // namespace
