// tlm2nc's products against the tools themselves: on generated files of
// every kind, every variable of the interferogram, carriage and
// housekeeping groups is what ifgextract, ifgextract -c, hkdump and
// hkrawdump print (every group, and the generic group at every channel),
// and nc2tlm gives the source back byte for byte.
#include <gtest/gtest.h>

#include <netcdf.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "dictionary.h"
#include "dump_loop.h"
#include "extract.h"
#include "format/channels.h"
#include "product_checks.h"
#include "product_layout.h"
#include "run_program.h"
#include "telemetry_files.h"

using namespace tlmframe;

namespace {

const std::string kTlm2nc = TLM2NC_PATH;
const std::string kNc2tlm = NC2TLM_PATH;

int engineering_dump(int argc, char** argv) { return hkdump_main(argc, argv, kEngineeringTable); }
int raw_dump(int argc, char** argv) { return hkdump_main(argc, argv, kRawTable); }

// The six groups: option, variable, and whether the engineering line holds
// a literal 0 after each value (the auxiliary detector's flags).
struct Group {
  const char* option;
  const char* name;
  bool zeros;
};
const Group kGroups[] = {{"-f", "fast_sap", false},         {"-s", "slow_sap", false},
                         {"-p", "pressure", false},         {"-m", "mask_temperature", false},
                         {"-v", "voltage_monitors", false}, {"-x", "auxiliary_detector", true}};

struct Source {
  std::string name;
  std::string bytes;
  std::vector<int> channels;  // the generic channels compared
};

std::vector<int> every_channel() {
  std::vector<int> k(108);
  for (int i = 0; i < 108; ++i) k[i] = i;
  return k;
}

SynthOptions planned(int64_t records, const char* plan, int64_t tail = 0) {
  SynthOptions o = generated_records(records, tail);
  EXPECT_TRUE(parse_sync_plan(plan, o)) << plan;
  return o;
}

// Bytes that are no telemetry at all.
std::string random_bytes(size_t n) {
  std::string s(n, '\0');
  uint64_t x = 0x9E3779B97F4A7C15ull;
  for (char& c : s) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    c = static_cast<char>(x >> 56);
  }
  return s;
}

// Every kind of file the archive must take.
std::vector<Source> sources() {
  SynthOptions notices = planned(30, "5x20,0x10,107x9,-1x6,40");
  notices.status_period = 7;
  notices.records_per_interferogram = 3;
  // Sync rows found late (the dumps read the positions of 0 until then),
  // rows that put channels into the next subframe and the trailer, BCD and
  // flag words that show, and a cut last record.
  SynthOptions late = planned(12, "-1x4,5x2,100,-1,105x3,6,107,106,0,96", 5000);
  for (const char* w : {"12:65=0x1234", "12:66=0x5678", "12:53=0x8000", "12:92=0xffff",
                        "12:91=0xffff", "4:70=0x0abc", "12:42=0xffc0"}) {
    EXPECT_TRUE(parse_chosen_word(w, late.chosen[late.chosen_count++]));
  }
  SynthOptions noisy = planned(20, "5,6,-1");
  noisy.random_detector_words = noisy.random_gain_steps = true;
  noisy.drop_percent = 10;
  SynthOptions carriage = generated_records(10);
  carriage.carriage = true;
  // Past the first chunk of every growing dimension.
  SynthOptions long_run = planned(700, "5x300,7x30,-1x6");
  long_run.status_period = 50;
  const std::vector<int> all = every_channel();
  return {
      {"notices", synth_bytes(notices), all},
      {"late", synth_bytes(late), all},
      {"noisy", synth_bytes(noisy), all},
      {"carriage", synth_bytes(carriage), all},
      {"empty", "", all},
      {"lone partial", synth_bytes(generated_records(0, 3000)), all},
      {"random bytes", random_bytes(3 * kRecordBytes + 777), all},
      {"long", synth_bytes(long_run), {0, 19, 52, 65, 66, 79, 107}},
  };
}

class Tlm2ncTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

// Every line of a dump against the product: the line prefix, the time
// prefix of the engineering lines and the group's values.
void expect_group(const OpenProduct& p, const std::string& path, bool raw, const Group& g) {
  const std::string name = std::string(raw ? "raw_" : "") + g.name;
  const ProgramResult tool =
      run_in_process(raw ? raw_dump : engineering_dump, {"hkdump", g.option, "-F", path});
  const auto lines = dump_numbers(tool.out, raw);
  const size_t n = p.length("housekeeping", name + "_channel");
  std::vector<int64_t> want, got;
  for (const auto& line : lines) {
    const size_t first = raw ? 3 : 7;  // after the prefix, and the time prefix
    for (size_t i = first; i < line.size(); i += g.zeros && !raw ? 2 : 1) want.push_back(line[i]);
  }
  if (raw) {
    for (uint16_t v : p.values<uint16_t>("housekeeping", name)) got.push_back(v);
  } else {
    for (int32_t v : p.values<int32_t>("housekeeping", name)) got.push_back(v);
  }
  EXPECT_EQ(got, want) << name;
  EXPECT_EQ(got.size(), n * lines.size()) << name;
  if (raw) return;
  const auto sync_word = p.values<uint16_t>("housekeeping", "sync_word");
  const auto record = p.values<int32_t>("housekeeping", "record");
  const auto subframe = p.values<uint8_t>("housekeeping", "subframe");
  const auto number = p.values<uint16_t>("housekeeping", "interferogram");
  const auto hour = p.values<uint8_t>("housekeeping", "hour");
  const auto minute = p.values<uint8_t>("housekeeping", "minute");
  const auto second = p.values<uint8_t>("housekeeping", "second");
  std::vector<std::vector<int64_t>> prefixes;
  for (size_t i = 0; i < record.size(); ++i) {
    prefixes.push_back(
        {sync_word[i], record[i], subframe[i], number[i], hour[i], minute[i], second[i]});
  }
  std::vector<std::vector<int64_t>> tool_prefixes;
  for (const auto& line : lines) tool_prefixes.emplace_back(line.begin(), line.begin() + 7);
  EXPECT_EQ(prefixes, tool_prefixes) << name;
}

// Channel k of both columns against the generic group at k.
void expect_channel(const OpenProduct& p, const std::string& path, int k) {
  for (const bool raw : {false, true}) {
    const auto words = p.values<uint16_t>("housekeeping", raw ? "raw_channels" : "channels");
    const auto lines = dump_numbers(run_in_process(raw ? raw_dump : engineering_dump,
                                                   {"hkdump", "-g", std::to_string(k), "-F", path})
                                        .out,
                                    false);
    std::vector<int64_t> want, got;
    for (const auto& line : lines) want.push_back(line[3]);
    for (size_t i = k; i < words.size(); i += 108) got.push_back(words[i]);
    EXPECT_EQ(got, want) << (raw ? "raw_channels " : "channels ") << k;
  }
}

// The raw group's sync rows, and what the product says of its source.
void expect_source(const OpenProduct& p, const std::string& path, const std::string& bytes) {
  std::vector<int16_t> rows;
  const size_t records = bytes.size() / kRecordBytes;
  for (size_t r = 0; r < records; ++r) {
    const auto* record = reinterpret_cast<const unsigned char*>(bytes.data()) + r * kRecordBytes;
    for (int i = 0; i < kSubframeCount; ++i) {
      rows.push_back(static_cast<int16_t>(find_sync_row(stored_subframe(record, i))));
    }
  }
  EXPECT_EQ(p.values<int16_t>("raw", "sync_row"), rows);
  const size_t partial = bytes.size() % kRecordBytes;
  EXPECT_EQ(p.length("raw", "partial_byte"), partial);
  EXPECT_EQ(p.number("", "partial_bytes"), static_cast<int64_t>(partial));
  EXPECT_EQ(p.number("", "source_bytes"), static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(p.text("", "end"), partial > 0 ? "truncated" : "end of data");
  const std::string sum = run_shell("sha256sum < '" + path + "'").out;
  EXPECT_EQ(p.text("", "source_sha256"), sum.substr(0, 64));
}

TEST_F(Tlm2ncTest, ProductsHoldWhatTheToolsPrintAndGiveTheSourceBack) {
  for (const Source& source : sources()) {
    SCOPED_TRACE(source.name);
    const std::string path = dir_.put(source.name, source.bytes);
    ASSERT_EQ(run_program({kTlm2nc, "-F", path}), (ProgramResult{"", "", 0}));
    const OpenProduct p(path + ".nc");
    ASSERT_TRUE(p.ok());
    for (const bool carriage : {false, true}) {
      std::vector<std::string> args = {"ifgextract", "-F", path};
      if (carriage) args.push_back("-c");
      EXPECT_EQ(extractor_text(p, carriage), run_in_process(ifgextract_main, args).out)
          << (carriage ? "carriage" : "two detectors");
    }
    for (const Group& g : kGroups) {
      expect_group(p, path, false, g);
      expect_group(p, path, true, g);
    }
    for (int k : source.channels) expect_channel(p, path, k);
    expect_source(p, path, source.bytes);
    EXPECT_EQ(run_program({kNc2tlm, "-F", path + ".nc"}), (ProgramResult{source.bytes, "", 0}));
  }
}

// Three records whose nine subframes carry, in order: 23:59:58, 23:59:59,
// a BCD digit above 9, 00:00:00 (back by more than 12 hours: the next
// day), an hour of 24, 11:59:59, 23:59:59, 11:59:59 (back by exactly 12
// hours: the same day) and 00:00:00.
std::string clock_records() {
  const uint16_t hours[9] = {0x23, 0x23, 0x23, 0x00, 0x24, 0x11, 0x23, 0x11, 0x00};
  const uint16_t rest[9] = {0x5958, 0x5959, 0x595A, 0x0000, 0x0000, 0x5959, 0x5959, 0x5959, 0x0000};
  std::vector<TelemetryRecord> records;
  for (int r = 0; r < 3; ++r) {
    TelemetryRecord record = blank_record(5, 5, 5);
    for (int sub = 0; sub < 3; ++sub) {
      set_channel(record, sub, 5, kTimeChannelA, kHousekeepingColumn, hours[3 * r + sub]);
      set_channel(record, sub, 5, kTimeChannelB, kHousekeepingColumn, rest[3 * r + sub]);
    }
    records.push_back(record);
  }
  return telemetry_bytes(records);
}

TEST_F(Tlm2ncTest, TimeOfEachSubframeAndOfItsSamples) {
  const std::string clock = dir_.put("clock", clock_records());
  // Hours that are no BCD at all: no time anywhere, and so no coverage.
  SynthOptions no_hours = generated_records(3);
  EXPECT_TRUE(parse_chosen_word("12:65=0x00ff", no_hours.chosen[no_hours.chosen_count++]));
  const std::string none = dir_.put("none", synth_bytes(no_hours));
  const int32_t no = -2147483647;  // the fill value
  const std::vector<int32_t> nothing(9, no);
  const struct {
    std::string path;
    std::vector<std::string> args;
    std::string name, units, start, end;
    std::vector<int32_t> times;
  } cases[] = {
      {clock, {}, "time_of_day", "s", "", "", {86398, 86399, no, 0, no, 43199, 86399, 43199, 0}},
      {clock,
       {"-d", "2026-12-31"},
       "time",
       "seconds since 2026-12-31 00:00:00 UTC",
       "2026-12-31T23:59:58Z",
       "2027-01-01T23:59:59Z",
       {86398, 86399, no, 86400, no, 129599, 172799, 129599, 86400}},
      {none,
       {"-d", "2026-12-31"},
       "time",
       "seconds since 2026-12-31 00:00:00 UTC",
       "",
       "",
       nothing},
  };
  for (const auto& c : cases) {
    const std::string& path = c.path;
    std::vector<std::string> args = {kTlm2nc, "-F", path, "-o", path + ".nc"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ASSERT_EQ(run_program(args), (ProgramResult{"", "", 0}));
    const OpenProduct p(path + ".nc");
    EXPECT_EQ(p.values<int32_t>("housekeeping", c.name), c.times) << c.name;
    EXPECT_EQ(p.text("housekeeping", "units", c.name), c.units);
    EXPECT_EQ(p.text("", "time_coverage_start"), c.start);
    EXPECT_EQ(p.text("", "time_coverage_end"), c.end);
    // Each carriage sample carries the time of its subframe (records 2 and 3).
    std::vector<int32_t> samples;
    for (int i = 3; i < 9; ++i) samples.insert(samples.end(), 432, c.times[i]);
    EXPECT_EQ(p.values<int32_t>("carriage", c.name), samples) << c.name;
  }
}

TEST_F(Tlm2ncTest, PipesAreReadOnceAsTheFileIs) {
  const std::string bytes = synth_bytes(planned(9, "5,6,-1", 333));
  const std::string path = dir_.put("data", bytes);
  ASSERT_EQ(run_program({kTlm2nc, "-F", path}).status, 0);
  const std::string text = extractor_text(OpenProduct(path + ".nc"), false);
  const std::string piped = dir_.path("piped.nc"), substituted = dir_.path("substituted.nc");
  expect_cases("/bin/bash",
               {
                   {{"-c", "dd if=" + path + " bs=999 2>/dev/null | " + kTlm2nc +
                               " -F /dev/stdin -o " + piped},
                    {"", "", 0}},
                   {{"-c", kTlm2nc + " -F <(cat " + path + ") -o " + substituted}, {"", "", 0}},
               });
  for (const std::string& product : {piped, substituted}) {
    EXPECT_EQ(extractor_text(OpenProduct(product), false), text) << product;
    EXPECT_EQ(run_program({kNc2tlm, "-F", product}).out, bytes) << product;
  }
}

// Chunks stored as they are (-z 0) and deflated at the slowest level read
// back as those of the default level.
TEST_F(Tlm2ncTest, EveryDeflateLevelGivesTheSameProduct) {
  const std::string bytes = synth_bytes(planned(600, "5x300,-1x3,7", 99));
  const std::string path = dir_.put("data", bytes);
  ASSERT_EQ(run_program({kTlm2nc, "-F", path}).status, 0);
  const std::string text = extractor_text(OpenProduct(path + ".nc"), true);
  for (const char* level : {"0", "9"}) {
    const std::string product = path + "-" + level + ".nc";
    ASSERT_EQ(run_program({kTlm2nc, "-z", level, "-F", path, "-o", product}).status, 0);
    EXPECT_EQ(extractor_text(OpenProduct(product), true), text) << level;
    EXPECT_EQ(run_program({kNc2tlm, "-F", product}), (ProgramResult{bytes, "", 0})) << level;
  }
}

TEST_F(Tlm2ncTest, NcdumpListsTheGroupsAndAttributes) {
  if (run_shell("command -v ncdump").status != 0) GTEST_SKIP() << "no ncdump (netcdf-bin)";
  const std::string path = dir_.put("data file", synth_bytes(generated_records(4)));
  ASSERT_EQ(run_program({kTlm2nc, "-d", "2026-12-08", "-F", path}).status, 0);
  const std::string header = run_program({"/bin/sh", "-c", "ncdump -h '" + path + ".nc'"}).out;
  EXPECT_NE(header.find(" tlm2nc -d 2026-12-08 -F \\'" + path + "\\'\" ;"), std::string::npos)
      << header;
  // Made under a private temporary name, the product has a new file's mode.
  const mode_t mask = umask(022);
  umask(mask);
  struct stat st;
  ASSERT_EQ(stat((path + ".nc").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  for (const char* text : {"group: raw {",
                           "group: interferogram {",
                           "group: carriage {",
                           "group: housekeeping {",
                           ":Conventions = \"CF-1.10 ACDD-1.3\"",
                           ":processing_level = \"L1A\"",
                           ":source = \"data file\"",
                           ":source_bytes = 43008",
                           ":source_sha256 = ",
                           ":end = \"end of data\"",
                           ":partial_bytes = 0",
                           ":history = ",
                           ":date_created = ",
                           ":product_version = ",
                           ":time_coverage_start = \"2026-12-08T12:00:00Z\"",
                           ":time_coverage_end = \"2026-12-08T12:00:03Z\"",
                           "ushort words(record, subframe, row, column)",
                           "notice_kind:flag_meanings = \"lost_lock status_changed\"",
                           "time:units = \"seconds since 2026-12-08 00:00:00 UTC\"",
                           "int time(sample)",
                           "time:_FillValue = -2147483647",
                           "ushort channels(line, channel)",
                           "pressure:value_forms = \"top_12 top_12 top_10 top_10\""}) {
    EXPECT_NE(header.find(text), std::string::npos) << text;
  }
}

// The names of a group's variables and dimensions.
std::vector<std::string> names_in(int group) {
  int n = 0, dims[NC_MAX_DIMS], vars[NC_MAX_VARS];
  std::vector<std::string> names;
  char name[NC_MAX_NAME + 1];
  nc_inq_dimids(group, &n, dims, 0);
  for (int i = 0; i < n; ++i) names.push_back(nc_inq_dimname(group, dims[i], name) ? "" : name);
  nc_inq_varids(group, &n, vars);
  for (int i = 0; i < n; ++i) names.push_back(nc_inq_varname(group, vars[i], name) ? "" : name);
  return names;
}

// A dictionary may give a value any name but those of the housekeeping
// group's own variables and dimensions, dated or not: the shipped
// dictionary's names are all free, and with it each value is added under
// its name.
TEST_F(Tlm2ncTest, DictionaryNamesAreAddedBesideTheGroupsOwn) {
  Dictionary shipped;
  DictionaryFault fault;
  ASSERT_TRUE(read_dictionary(DEFAULT_DICTIONARY, shipped, fault)) << fault.message;
  const std::string path = dir_.put("data", synth_bytes(generated_records(2)));
  for (const bool dated : {false, true}) {
    std::vector<std::string> args = {kTlm2nc, "-F", path, "-o", path + ".nc"};
    if (dated) args.insert(args.end(), {"-d", "2026-12-08"});
    ASSERT_EQ(run_program(args), (ProgramResult{"", "", 0}));
    std::vector<std::string> own = names_in(OpenProduct(path + ".nc").group("housekeeping"));
    for (const std::string& name : own) EXPECT_TRUE(housekeeping_name_taken(name.c_str())) << name;
    args.insert(args.end(), {"-D", DEFAULT_DICTIONARY});
    ASSERT_EQ(run_program(args), (ProgramResult{"", "", 0}));
    for (int i = 0; i < shipped.count; ++i) {
      EXPECT_FALSE(housekeeping_name_taken(shipped.entries[i].name)) << shipped.entries[i].name;
      own.push_back(shipped.entries[i].name);
    }
    const OpenProduct named(path + ".nc");
    EXPECT_EQ(names_in(named.group("housekeeping")), own);
    EXPECT_EQ(named.text("housekeeping", "coordinates", shipped.entries[0].name),
              dated ? "time" : "time_of_day");
  }
}

}  // namespace
