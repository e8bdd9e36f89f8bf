// The dictionary: the file the package ships, every fault of a file as a
// table of texts and the one message each must give, and the catalogue's
// places checked against the lines the dumps decode.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "dictionary.h"
#include "dump_run.h"
#include "format/channels.h"
#include "telemetry_files.h"
#include "temp_dir.h"

using namespace tlmframe;

namespace {

// One good entry, a key per line (lines 1 to 8).
const std::vector<std::string> kEntry = {
    "[[channel]]",   "name = \"bus\"",    "description = \"Bus voltage\"",
    "units = \"V\"", "column = 12",       "group = \"voltage_monitors\"",
    "number = 68",   "form = \"top 12\"",
};

// The entry with the line of key replaced (removed when line is empty),
// then the extra lines.
std::string entry(const std::string& key = "", const std::string& line = "",
                  const std::vector<std::string>& extra = {}) {
  std::string text;
  for (const std::string& l : kEntry) {
    if (!key.empty() && l.rfind(key + " =", 0) == 0) {
      if (!line.empty()) text += line + "\n";
    } else {
      text += l + "\n";
    }
  }
  for (const std::string& l : extra) text += l + "\n";
  return text;
}

std::string with(const std::vector<std::string>& extra) { return entry("", "", extra); }

std::unique_ptr<Dictionary> g_dictionary = std::make_unique<Dictionary>();

// The message of reading text as d.toml, or "" when it reads well.
std::string fault_of(const std::string& text) {
  DictionaryFault fault;
  if (parse_dictionary(text, "d.toml", *g_dictionary, fault)) return "";
  EXPECT_EQ(g_dictionary->count, 0);
  return fault.message;
}

TEST(Dictionary, EveryFaultGivesOneMessageWithFileLineAndKey) {
  struct Case {
    std::string text;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"title = \"x\"\n" + entry(),
       "d.toml:1: title: unknown key (the file holds [[channel]] tables only)"},
      {"channel = 3\n", "d.toml:1: channel: wants [[channel]] tables, not an integer"},
      {entry("name", ""), "d.toml:1: channel[1].name: missing"},
      {entry("name", "name = \"9volts\""),
       "d.toml:2: channel[1].name: \"9volts\" is not an identifier (letters, digits and _, not "
       "starting with a digit)"},
      {entry("name", "name = 9"), "d.toml:2: channel[1].name: wants a string, not an integer"},
      {with({"yelow_high = 3.0"}), "d.toml:9: bus.yelow_high: unknown key"},
      {entry("description", ""), "d.toml:1: bus.description: missing"},
      {entry("units", "units = 5"), "d.toml:4: bus.units: wants a string, not an integer"},
      {entry("units", "units = \"V\\tDC\""), "d.toml:4: bus.units: holds a tab, line break or NUL"},
      {entry("units", "units = \"V\\u0000DC\""), "d.toml:4: bus.units: holds a tab, line break or NUL"},
      {entry("units", "units = \"" + std::string(32, 'u') + "\""),
       "d.toml:4: bus.units: longer than 31 bytes"},
      {entry("column", "column = 12.0"),
       "d.toml:5: bus.column: wants an integer, not a floating-point number"},
      {entry("column", "column = 5"),
       "d.toml:5: bus.column: 5 is not a housekeeping column (12: engineering words, 4: raw check "
       "words)"},
      {entry("group", "group = \"volts\""),
       "d.toml:6: bus.group: unknown group \"volts\" (time, fast_sap, slow_sap, pressure, "
       "mask_temperature, voltage_monitors, auxiliary_detector or generic)"},
      {entry("number", "number = 72"),
       "d.toml:7: bus.number: group voltage_monitors has no channel 72 in column 12 (its channels "
       "there: 68, 69, 70, 71)"},
      {entry("number", "number = 4294967364"),
       "d.toml:7: bus.number: group voltage_monitors has no channel 4294967364 in column 12 (its "
       "channels there: 68, 69, 70, 71)"},
      {entry("group", "group = \"time\""),
       "d.toml:7: bus.number: group time has no channel 68 in column 12 (its channels there: 52, "
       "65, 66)"},
      {entry("column", "column = 4"),
       "d.toml:8: bus.form: channel 68 of group voltage_monitors in column 4 is decoded as raw, "
       "not \"top 12\""},
      {entry("form", "form = \"top 10\""),
       "d.toml:8: bus.form: channel 68 of group voltage_monitors in column 12 is decoded as top "
       "12, not \"top 10\""},
      {entry("form", "form = \"top 11\""),
       "d.toml:8: bus.form: unknown form \"top 11\" (raw, top 12, top 10, flag, difference, BCD "
       "high or BCD low)"},
      {entry("group", "group = \"generic\"", {}),
       "d.toml:8: bus.form: channel 68 of group generic in column 12 is decoded as raw, not \"top "
       "12\""},
      {entry("number", "number = 108"),
       "d.toml:7: bus.number: group voltage_monitors has no channel 108 in column 12 (its channels "
       "there: 68, 69, 70, 71)"},
      // Names and values are each named once.
      {entry() + entry("number", "number = 69"),
       "d.toml:9: bus.name: \"bus\" is the name of the entry at line 1 too"},
      {entry() + entry("name", "name = \"other\""),
       "d.toml:9: other: names the same value as \"bus\" at line 1"},
      // Calibrations.
      {with({"polynomial = [1.0]", "table = [[0, 1], [1, 2]]"}),
       "d.toml:10: bus.table: a polynomial is given too: one calibration only"},
      {with({"polynomial = []"}), "d.toml:9: bus.polynomial: wants 1 to 8 coefficients, not 0"},
      {with({"polynomial = [1,2,3,4,5,6,7,8,9]"}),
       "d.toml:9: bus.polynomial: wants 1 to 8 coefficients, not 9"},
      {with({"polynomial = [1.0, \"2\"]"}),
       "d.toml:9: bus.polynomial: wants a number, not a string"},
      {with({"polynomial = [1.0, inf]"}), "d.toml:9: bus.polynomial: not a finite number"},
      {with({"polynomial = 1.5"}),
       "d.toml:9: bus.polynomial: wants an array, not a floating-point number"},
      {with({"polynomial = [0, 0, 0, 0, 0, 0, 0, 1e290]"}),
       "d.toml:9: bus.polynomial: gives values beyond the range of numbers for decoded values 0 "
       "to 4095"},
      {with({"table = [[0, 1]]"}), "d.toml:9: bus.table: wants 2 to 64 points, not 1"},
      {with({"table = [[0, 1], [10, 2], [10, 3]]"}),
       "d.toml:9: bus.table: not monotonic: point 3's decoded value 10 does not follow 10"},
      {with({"table = [[0, 1], [10, 2], [5, 3]]"}),
       "d.toml:9: bus.table: not monotonic: point 3's decoded value 5 does not follow 10"},
      {with({"table = [[0, 1], [10, 2, 3]]"}),
       "d.toml:9: bus.table: point 2 wants two numbers, [decoded value, physical value]"},
      {with({"table = [[0, 1], [4096, 2]]"}),
       "d.toml:9: bus.table: point 2: decoded value 4096 lies outside what the form gives (0 to "
       "4095)"},
      // Limits.
      {with({"red_high = \"29\""}), "d.toml:9: bus.red_high: wants a number, not a string"},
      {with({"red_low = 5", "yellow_low = 4.5"}),
       "d.toml:10: bus.yellow_low: 4.5 lies outside its red_low 5"},
      {with({"yellow_high = 30", "red_high = 29.5"}),
       "d.toml:9: bus.yellow_high: 30 lies outside its red_high 29.5"},
      {with({"yellow_low = 30", "yellow_high = 29.5"}),
       "d.toml:9: bus.yellow_low: 30 lies above yellow_high 29.5"},
      {with({"red_low = 30", "red_high = 29.5"}),
       "d.toml:9: bus.red_low: 30 lies above red_high 29.5"},
      {with({"persistence = 3"}), "d.toml:9: bus.persistence: given without any limit"},
      {with({"red_high = 29", "persistence = 0"}),
       "d.toml:10: bus.persistence: 0 lies outside 1 to 1000000"},
      {with({"red_high = 29", "persistence = 2.0"}),
       "d.toml:10: bus.persistence: wants an integer, not a floating-point number"},
      // What the TOML parser itself finds.
      {"[[channel]]\nname = \n", "d.toml:2: "},
      // Non-ASCII characters where toml++ looks for whitespace (undefined
      // behaviour in its tables until compiled otherwise here); in strings
      // they are text.
      {"[[channel]]\nname = \xc3\xa9\n", "d.toml:2: "},
      {"[[channel]]\nname \xc2\xa1= \"x\"\n", "d.toml:2: "},
      {entry("units", "units = \"\xc2\xb0" "C\""), ""},
  };
  for (const Case& c : cases) {
    const std::string message = fault_of(c.text);
    if (c.message.ends_with(": ") && !message.empty()) {
      EXPECT_EQ(message.substr(0, c.message.size()), c.message) << c.text;
    } else {
      EXPECT_EQ(message, c.message) << c.text;
    }
  }
}

TEST(Dictionary, EntriesAreReadWhole) {
  ASSERT_EQ(fault_of(with({"polynomial = [0.5, 2]", "yellow_low = -1", "red_high = 9000",
                           "persistence = 4"}) +
                     "[[channel]]\nname = \"hours\"\ndescription = \"\"\nunits = \"h\"\n"
                     "column = 12\ngroup = \"time\"\nnumber = 65\nform = \"BCD low\"\n"
                     "table = [[0, 0.0], [165, 16.5]]\n"),
            "");
  ASSERT_EQ(g_dictionary->count, 2);
  const DictionaryEntry& bus = g_dictionary->entries[0];
  EXPECT_STREQ(bus.name, "bus");
  EXPECT_STREQ(bus.description, "Bus voltage");
  EXPECT_STREQ(bus.units, "V");
  EXPECT_EQ(bus.line, 1);
  EXPECT_EQ(bus.value.position, 4);  // after the time prefix
  EXPECT_EQ(bus.calibration.kind, CalibrationKind::kPolynomial);
  EXPECT_DOUBLE_EQ(calibrate(bus.calibration, 100), 200.5);
  const bool present[] = {false, true, false, true};
  for (int i = 0; i < kLimitCount; ++i) EXPECT_EQ(bus.limits.present[i], present[i]) << i;
  EXPECT_EQ(bus.limits.value[kYellowLowLimit], -1);
  EXPECT_EQ(bus.limits.persistence, 4);
  const DictionaryEntry& hours = g_dictionary->entries[1];
  EXPECT_EQ(hours.line, 13);
  EXPECT_EQ(hours.value.position, 1);
  EXPECT_FALSE(has_limits(hours.limits));
  EXPECT_EQ(find_entry(*g_dictionary, "hours"), 1);
  EXPECT_EQ(find_entry(*g_dictionary, "bu"), -1);
}

TEST(Dictionary, FileThatCannotBeRead) {
  const TempDir dir;
  DictionaryFault fault;
  EXPECT_FALSE(read_dictionary(dir.path("none.toml").c_str(), *g_dictionary, fault));
  EXPECT_EQ(fault.error, ENOENT);
  EXPECT_EQ(std::string(fault.message), dir.path("none.toml") + ": No such file or directory");
  EXPECT_FALSE(read_dictionary(dir.path().c_str(), *g_dictionary, fault));
  EXPECT_EQ(fault.error, EISDIR);
  EXPECT_TRUE(read_dictionary(dir.put("one.toml", entry()).c_str(), *g_dictionary, fault));
  EXPECT_EQ(g_dictionary->count, 1);
}

TEST(Dictionary, ShippedFileNamesEveryValueOfTheGroupsInCounts) {
  DictionaryFault fault;
  ASSERT_TRUE(read_dictionary(DEFAULT_DICTIONARY, *g_dictionary, fault)) << fault.message;
  DecodedValue values[kMaxGroupValues];
  const int count = group_values(values);
  int generic = 0;
  for (int i = 0; i < g_dictionary->count; ++i) {
    const DictionaryEntry& e = g_dictionary->entries[i];
    EXPECT_STREQ(e.units, "count") << e.name;
    EXPECT_EQ(e.calibration.kind, CalibrationKind::kNone) << e.name;
    EXPECT_FALSE(has_limits(e.limits)) << e.name;
    generic += e.value.group == HousekeepingGroup::kGeneric;
  }
  // Every value of the groups once (the reader refuses a value named
  // twice), and a few single channels.
  EXPECT_EQ(count, 69);
  EXPECT_EQ(g_dictionary->count, count + generic);
  for (int i = 0; i < count; ++i) {
    bool named = false;
    for (int j = 0; j < g_dictionary->count; ++j) {
      const DecodedValue& v = g_dictionary->entries[j].value;
      named = named || (v.column == values[i].column && v.group == values[i].group &&
                        v.number == values[i].number && v.form == values[i].form);
    }
    EXPECT_TRUE(named) << values[i].column << " " << group_text(values[i].group) << " "
                       << values[i].number << " " << form_text(values[i].form);
  }
}

// The decoded value of a word in a form, from the definitions of the
// forms (the difference and BCD forms are checked with their groups).
int decoded(DecodedForm form, uint16_t word) {
  switch (form) {
    case DecodedForm::kTop12: return word / 16;
    case DecodedForm::kTop10: return word / 64;
    case DecodedForm::kFlag: return word != 0;
    case DecodedForm::kBcdHigh: return (word >> 12) * 10 + ((word >> 8) & 15);
    case DecodedForm::kBcdLow: return ((word >> 4) & 15) * 10 + (word & 15);
    default: return word;
  }
}

TEST(Dictionary, CataloguePlacesMatchTheDumpLines) {
  // Every channel row of both columns holds a word of its own; each value
  // of the catalogue must stand at its place on its group's line as its
  // form gives it.  The fast sap words of hkdump come twelve rows later.
  constexpr int kSync = 5;
  TelemetryRecord record = blank_record(kSync, kSync, kSync);
  const auto word = [](int column, int row) {
    return static_cast<uint16_t>(0x1357 * (row + 1) + column * 0x111 + (row % 3 == 0 ? 0x9000 : 0));
  };
  for (int row = 0; row < 2 * kRowsPerSubframe; ++row) {
    for (int column : {kHousekeepingColumn, kRawHousekeepingColumn}) {
      set_word(record, 0, row, column, word(column, row));
    }
  }
  DecodedValue values[kMaxGroupValues];
  const int count = group_values(values);
  for (int i = 0; i < count; ++i) {
    const DecodedValue& v = values[i];
    const GroupTable& table = v.column == kHousekeepingColumn ? kEngineeringTable : kRawTable;
    DumpRun run;
    dump_run_init(run, table, *find_group(table, group_option(v.group)), 0, false);
    dump_run_record(run);
    DumpLine line;
    dump_subframe(run, stored_record(record), 0, line);
    const bool lagged = v.group == HousekeepingGroup::kFastSap && v.column == kHousekeepingColumn;
    const int row = channel_row(kSync, v.number) + (lagged ? 12 : 0);
    int want = decoded(v.form, word(v.column, row));
    if (v.form == DecodedForm::kDifference) {
      want =
          word(v.column, row) - word(v.column, channel_row(kSync, kFastSapReferenceChannel) + 12);
    }
    EXPECT_EQ(line.values[v.position], want)
        << v.column << " " << group_text(v.group) << " " << v.number << " " << form_text(v.form);
  }
}

}  // namespace
