// The run over records: state changes and summaries on hand-made records,
// and the run's shortcuts (stretches of settled counts, the zone cache)
// against handing every value to the limit state.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dump_run.h"
#include "format/channels.h"
#include "monitor_run.h"
#include "monitor_text.h"
#include "telemetry_files.h"

using namespace tlmframe;

namespace {

constexpr int kSync = 5;

// A [[channel]] table.
std::string channel(const std::string& name, const std::string& units, int column,
                    const std::string& group, int number, const std::string& form,
                    const std::string& rest) {
  return "[[channel]]\nname = \"" + name + "\"\ndescription = \"\"\nunits = \"" + units +
         "\"\ncolumn = " + std::to_string(column) + "\ngroup = \"" + group +
         "\"\nnumber = " + std::to_string(number) + "\nform = \"" + form + "\"\n" + rest + "\n";
}

// A dictionary and a run over it, both large: made once per test.
struct Monitoring {
  std::unique_ptr<Dictionary> dictionary = std::make_unique<Dictionary>();
  std::unique_ptr<MonitorRun> run = std::make_unique<MonitorRun>();
  std::string lines;  // the state changes as hkmonitor writes them

  explicit Monitoring(const std::string& text) {
    DictionaryFault fault;
    EXPECT_TRUE(parse_dictionary(text, "t.toml", *dictionary, fault)) << fault.message;
    monitor_run_init(*run, *dictionary);
  }

  void take(const TelemetryRecord& record) {
    monitor_record(*run, stored_record(record));
    char line[kMaxMonitorLineBytes];
    for (int i = 0; i < run->transition_count; ++i) {
      lines.append(line, format_transition(*dictionary, run->transitions[i], line, sizeof line));
    }
  }

  std::string summary() const {
    std::string text;
    char line[kMaxMonitorLineBytes];
    for (int i = 0; i < run->watch_count; ++i) {
      text.append(line, format_summary(*run, run->watches[i], line, sizeof line));
    }
    return text;
  }
};

// A record at second `second` past noon with the given words in each
// subframe: {column, channel} -> three words.
struct Word {
  int column, channel;
  std::vector<uint16_t> words;
};

TelemetryRecord record_at(int second, const std::vector<Word>& words) {
  TelemetryRecord r = blank_record(kSync, kSync, kSync);
  for (int sub = 0; sub < kSubframeCount; ++sub) {
    set_channel(r, sub, kSync, kTimeChannelA, kHousekeepingColumn, 0x12);
    set_channel(r, sub, kSync, kTimeChannelB, kHousekeepingColumn,
                static_cast<uint16_t>(((second / 10) << 4) | (second % 10)));
    for (const Word& w : words) set_channel(r, sub, kSync, w.channel, w.column, w.words[sub]);
  }
  return r;
}

TEST(MonitorRun, StateChangesAndSummaries) {
  Monitoring m(
      channel("volts", "V", 12, "voltage_monitors", 68, "top 12",
              "polynomial = [0.0, 0.01]\nyellow_high = 30\nred_high = 35\npersistence = 2") +
      channel("press_raw", "count", 4, "pressure", 22, "raw", "red_low = 100") +
      channel("flags", "", 12, "generic", 58, "raw", "yellow_high = 0") +
      channel("seconds", "s", 12, "time", 66, "BCD low", ""));
  EXPECT_EQ(m.run->watch_count, 3);  // the seconds are named, not checked
  const auto volts = [](uint16_t a, uint16_t b, uint16_t c) {
    return Word{kHousekeepingColumn, 68, {uint16_t(a << 4), uint16_t(b << 4), uint16_t(c << 4)}};
  };
  m.take(record_at(1, {volts(2900, 3100, 3100), {4, 22, {200, 200, 200}}, {12, 58, {0, 0, 0}}}));
  m.take(record_at(2, {volts(3600, 3600, 2000), {4, 22, {200, 200, 50}}, {12, 58, {0, 0x20, 0}}}));
  m.take(record_at(3, {volts(2000, 2000, 2000), {4, 22, {200, 200, 200}}, {12, 58, {0, 0, 0}}}));
  EXPECT_EQ(m.lines,
            "    1 2\t12:00:01\tvolts\t31 V\tYELLOW\tabove yellow_high 30\n"
            "    2 1\t12:00:02\tvolts\t36 V\tRED\tabove red_high 35\n"
            "    2 1\t12:00:02\tflags\t32\tYELLOW\tabove yellow_high 0\n"
            "    2 2\t12:00:02\tpress_raw\t50 count\tRED\tbelow red_low 100\n"
            "    2 2\t12:00:02\tflags\t0\tGREEN\tbelow yellow_high 0\n"
            "    3 0\t12:00:03\tvolts\t20 V\tGREEN\tbelow yellow_high 30\n"
            "    3 0\t12:00:03\tpress_raw\t200 count\tGREEN\tabove red_low 100\n");
  EXPECT_EQ(m.summary(),
            "volts\t9\t5\t2\t2\t36 V\tRED\n"
            "press_raw\t9\t8\t0\t1\t50 count\tRED\n"
            "flags\t9\t8\t1\t0\t32\tYELLOW\n");
  EXPECT_EQ(m.run->worst_severity, 2);
  EXPECT_EQ(m.run->records, 3);
  EXPECT_EQ(latest_value(*m.run, m.run->watches[0]), 20);
}

TEST(MonitorRun, TheTimeOfDayComesWithoutAnyEngineeringChannel) {
  // Only a raw channel is limited: the time is read all the same.
  Monitoring m(channel("raw", "count", 4, "slow_sap", 76, "raw", "red_high = 10"));
  m.take(record_at(42, {{4, 76, {11, 11, 11}}}));
  EXPECT_EQ(m.lines, "    1 0\t12:00:42\traw\t11 count\tRED\tabove red_high 10\n");
}

TEST(MonitorRun, EveryPlaceOfALineAndTheTimeReadOnce) {
  // Channels in each group of four places of their lines (the auxiliary
  // flag of channel 93 is the last of sixteen, the mask heater flag the
  // twelfth) in four engineering groups, the time prefix read on the
  // first one's line only (not the pressure group's), a limited time value,
  // and a fast sap difference below 0 (its words are read twelve rows on).
  Monitoring m(channel("slow", "count", 12, "slow_sap", 102, "top 12", "red_low = 5") +
               channel("gauge", "count", 12, "pressure", 22, "top 12", "yellow_high = 100") +
               channel("seconds", "s", 12, "time", 66, "BCD low", "yellow_high = 2") +
               channel("aux", "", 12, "auxiliary_detector", 93, "flag", "yellow_high = 0") +
               channel("heater", "", 12, "mask_temperature", 53, "flag", "red_high = 0") +
               channel("diff", "count", 12, "fast_sap", 3, "difference", "red_low = -100"));
  EXPECT_EQ(m.run->source_count, 5);
  const Word gauge{12, 22, {0x0500, 0x0700, 0x0500}}, slow{12, 102, {0x0060, 0x0060, 0x0060}};
  m.take(record_at(2, {gauge, slow}));
  m.take(record_at(3, {gauge,
                       {12, 102, {0x0060, 0x0060, 0x0030}},
                       {12, 93, {0, 1, 0}},
                       {12, 53, {0, 0, 8}},
                       {12, 79 + 12, {50, 200, 50}}}));
  EXPECT_EQ(m.lines,
            "    1 1\t12:00:02\tgauge\t112 count\tYELLOW\tabove yellow_high 100\n"
            "    1 2\t12:00:02\tgauge\t80 count\tGREEN\tbelow yellow_high 100\n"
            "    2 0\t12:00:03\tseconds\t3 s\tYELLOW\tabove yellow_high 2\n"
            "    2 1\t12:00:03\tgauge\t112 count\tYELLOW\tabove yellow_high 100\n"
            "    2 1\t12:00:03\taux\t1\tYELLOW\tabove yellow_high 0\n"
            "    2 1\t12:00:03\tdiff\t-200 count\tRED\tbelow red_low -100\n"
            "    2 2\t12:00:03\tslow\t3 count\tRED\tbelow red_low 5\n"
            "    2 2\t12:00:03\tgauge\t80 count\tGREEN\tbelow yellow_high 100\n"
            "    2 2\t12:00:03\taux\t0\tGREEN\tbelow yellow_high 0\n"
            "    2 2\t12:00:03\theater\t1\tRED\tabove red_high 0\n"
            "    2 2\t12:00:03\tdiff\t-50 count\tGREEN\tabove red_low -100\n");
}

// What the run must give, worked out by handing every value to the limit
// state and weighing every value for the worst.
struct Reference {
  std::string lines;
  std::vector<int> worst;  // decoded, per watch
  std::vector<std::vector<int64_t>> in_state;
};

Reference reference(const Dictionary& d, const std::vector<std::vector<int>>& values) {
  Reference r;
  const size_t channels = values.empty() ? 0 : values[0].size();
  std::vector<LimitState> states(channels);
  std::vector<int> worst_zone(channels), entered(channels, 0);
  std::vector<double> worst_excess(channels);
  r.worst.assign(channels, 0);
  r.in_state.assign(channels, std::vector<int64_t>(3, 0));
  for (LimitState& s : states) limit_state_init(s);
  for (size_t n = 0; n < values.size(); ++n) {
    for (size_t c = 0; c < channels; ++c) {
      const DictionaryEntry& e = d.entries[c];
      const double v = calibrate(e.calibration, values[n][c]);
      const int zone = zone_of(e.limits, v);
      const double excess = limit_excess(e.limits, v);
      if (n == 0 || severity(zone) > severity(worst_zone[c]) ||
          (severity(zone) == severity(worst_zone[c]) && excess > worst_excess[c])) {
        r.worst[c] = values[n][c];
        worst_zone[c] = zone;
        worst_excess[c] = excess;
      }
      LimitChange change;
      const int from = states[c].state;
      if (limit_step(states[c], e.limits, zone, change)) {
        r.in_state[c][severity(from)] += static_cast<int64_t>(n) - entered[c];
        entered[c] = static_cast<int>(n);
        r.lines += std::to_string(n) + " " + e.name + " " + std::to_string(change.to) + " " +
                   limit_text(change.limit) + "\n";
      }
    }
  }
  for (size_t c = 0; c < channels; ++c) {
    r.in_state[c][severity(states[c].state)] += static_cast<int64_t>(values.size()) - entered[c];
  }
  return r;
}

TEST(MonitorRun, ShortcutsGiveWhatEveryValueGives) {
  // Generic channels of every kind of calibration, one going up and down
  // over its limits (a table and a polynomial that turn back on themselves
  // among them, and straight lines that need no walk), with noise, drift,
  // steps and jumps.
  const std::string limits = "red_low = 10\nyellow_low = 20\nyellow_high = 80\nred_high = 90\n";
  const std::vector<std::string> calibrations = {
      "",
      "polynomial = [-10.0, 0.0025]",
      "polynomial = [100.0, -0.0025]",
      "polynomial = [0.0, 0.0, 1e-7]",
      "polynomial = [100.0, -0.006, 1e-7]",  // turning at 30000
      "table = [[0, 0.0], [16000, 100.0], [32000, 0.0], [48000, 100.0], [65535, 0.0]]",
      "table = [[0, 50.0], [65535, 50.0]]",
  };
  std::string text;
  for (size_t i = 0; i < calibrations.size(); ++i) {
    const std::string persistence = "persistence = " + std::to_string(1 + i % 3) + "\n";
    text += channel("c" + std::to_string(i), "u", 12, "generic", 30 + static_cast<int>(i), "raw",
                    calibrations[i] + "\n" + limits + persistence);
  }
  std::mt19937 random(11);
  for (int round = 0; round < 20; ++round) {
    Monitoring m(text);
    std::vector<std::vector<int>> values;
    std::vector<int> level(calibrations.size());
    for (int& l : level) l = static_cast<int>(random() % 65536);
    std::string lines;
    for (int r = 0; r < 200; ++r) {
      std::vector<Word> words;
      for (size_t c = 0; c < calibrations.size(); ++c) words.push_back({12, 30 + int(c), {}});
      for (int sub = 0; sub < kSubframeCount; ++sub) {
        std::vector<int> row;
        for (size_t c = 0; c < calibrations.size(); ++c) {
          const int kind = static_cast<int>(random() % 50);
          if (kind == 0) level[c] = static_cast<int>(random() % 65536);            // a jump
          else if (kind < 10) level[c] += static_cast<int>(random() % 801) - 400;  // a step
          else level[c] += 16 * (round % 3) - 16;                                  // a drift
          level[c] = std::clamp(level[c], 0, 65535);
          const int word = std::clamp(level[c] + static_cast<int>(random() % 8) * 16, 0, 65535);
          words[c].words.push_back(static_cast<uint16_t>(word));
          row.push_back(word);
        }
        values.push_back(row);
      }
      monitor_record(*m.run, stored_record(record_at(0, words)));
      for (int i = 0; i < m.run->transition_count; ++i) {
        const MonitorTransition& t = m.run->transitions[i];
        lines += std::to_string((t.record - 1) * 3 + t.subframe) + " " +
                 m.dictionary->entries[t.entry].name + " " + std::to_string(t.change.to) + " " +
                 limit_text(t.change.limit) + "\n";
      }
    }
    const Reference want = reference(*m.dictionary, values);
    ASSERT_EQ(lines, want.lines) << "round " << round;
    for (int c = 0; c < m.run->watch_count; ++c) {
      WatchSummary s;
      watch_summary(*m.run, m.run->watches[c], s);
      EXPECT_EQ(s.worst_decoded, want.worst[c]) << "round " << round << " channel " << c;
      for (int k = 0; k < 3; ++k) EXPECT_EQ(s.in_state[k], want.in_state[c][k]) << c;
    }
  }
}

// Random words in every place of a record, a quarter of them 0 (for the
// flags); column 0 never the sync word but in the given rows (-1: none).
TelemetryRecord random_record(std::mt19937& random, const std::array<int, 3>& sync_rows) {
  TelemetryRecord r = blank_record(sync_rows[0], sync_rows[1], sync_rows[2]);
  for (int i = 0; i < kRecordWords; ++i) {
    const bool column_0 = i < kSwappedWords && i % kWordsPerRow == 0;
    if (column_0 && i % kSubframeWords / kWordsPerRow == sync_rows[i / kSubframeWords]) continue;
    uint16_t word = random() % 4 == 0 ? 0 : static_cast<uint16_t>(random());
    if (column_0 && word == kSyncWord) ++word;
    r.words[i] = word;
  }
  return r;
}

TEST(MonitorRun, GatheredValuesAreTheDumpRunsValues) {
  // Every value the groups decode, each form and the time prefix among
  // them, and generic channels of both columns, limited at the middle of
  // their forms' ranges, on random words under sync rows that move, wrap
  // and go missing before and after the first one.  Each subframe's value
  // of each channel must be the one its group's dump run reads, and the
  // changes those that every value handed to the limit state gives.
  DecodedValue catalogue[kMaxGroupValues];
  const int catalogued = group_values(catalogue);
  std::vector<DecodedValue> values(catalogue, catalogue + catalogued);
  for (int column : {12, 4}) {
    for (int number : {0, 53, 107}) {
      values.push_back({column, HousekeepingGroup::kGeneric, number, DecodedForm::kRaw, 0});
    }
  }
  std::string text;
  std::vector<DumpRun> runs(values.size());
  for (size_t c = 0; c < values.size(); ++c) {
    const DecodedValue& v = values[c];
    const FormRange range = form_range(v.form);
    const std::string middle = std::to_string((range.low + range.high) / 2);
    std::string name = "v";
    name += std::to_string(c);
    text += channel(name, "u", v.column, group_text(v.group), v.number, form_text(v.form),
                    "yellow_high = " + middle);
    const GroupTable& table = v.column == kHousekeepingColumn ? kEngineeringTable : kRawTable;
    const bool generic = v.group == HousekeepingGroup::kGeneric;
    dump_run_init(runs[c], table, *find_group(table, group_option(v.group)), generic ? v.number : 0,
                  false);
  }
  Monitoring m(text);
  ASSERT_EQ(m.run->watch_count, static_cast<int>(values.size()));
  const std::vector<std::array<int, 3>> sync_rows = {
      {-1, -1, -1},   // before the first row: every position 0
      {-1, 5, 5},     // the first row
      {5, 6, -1},     // moved, then none: placed for no row
      {-1, -1, 107},  // the last row: the fast sap words lie past the subframe
      {107, 0, 3},    // moved in every subframe
      {3, 3, -1},
  };
  std::mt19937 random(16);
  std::vector<std::vector<int>> seen;
  std::string lines;
  for (int pass = 0; pass < 3; ++pass) {
    for (const std::array<int, 3>& rows : sync_rows) {
      const TelemetryRecord record = random_record(random, rows);
      const unsigned char* stored = stored_record(record);
      DumpLine line;
      for (int sub = 0; sub < kSubframeCount; ++sub) {
        seen.emplace_back();
        for (size_t c = 0; c < values.size(); ++c) {
          dump_subframe(runs[c], stored, sub, line);
          seen.back().push_back(line.values[values[c].position]);
        }
      }
      monitor_record(*m.run, stored);
      for (int i = 0; i < m.run->transition_count; ++i) {
        const MonitorTransition& t = m.run->transitions[i];
        lines += std::to_string((t.record - 1) * 3 + t.subframe) + " " +
                 m.dictionary->entries[t.entry].name + " " + std::to_string(t.change.to) + " " +
                 limit_text(t.change.limit) + "\n";
      }
      for (size_t c = 0; c < values.size(); ++c) {
        ASSERT_EQ(*m.run->watches[c].decoded, seen.back()[c])
            << "record " << m.run->records << " value " << c << ": " << group_text(values[c].group)
            << " " << values[c].number << " " << form_text(values[c].form);
      }
    }
  }
  EXPECT_EQ(lines, reference(*m.dictionary, seen).lines);
}

}  // namespace
