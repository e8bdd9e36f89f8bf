// End-to-end runs of the built program in a fresh folder: standard output,
// standard error, exit status and both output files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "run_program.h"

namespace {

const std::string kOpening =
    "\n\n\n     PROGRAM RETRIEVE\n"
    " Input ifgram. number (  1)\n";
const std::string kProcessing = " Processing...............\n";
const std::string kFinished = " Finished!\n";
// The output files of an earlier run, which a run that writes nothing keeps.
const std::string kOldSamples = "old\n";
const std::string kOldSpectrum = "older\n";

// The console up to the progress lines of the entries read.
std::string scanned(std::initializer_list<const char*> fields) {
  std::string text = kOpening + kProcessing;
  for (const char* field : fields) text += std::string(" #=") + field + "\n";
  return text;
}
// ... of entries numbered 1 to count: three asterisks from 1000 on.
std::string scanned_up_to(int count) {
  std::string text = scanned({});
  char field[16];
  for (int i = 1; i <= count; ++i) {
    std::snprintf(field, sizeof field, i < 1000 ? "%3d" : "***", i);
    text += std::string(" #=") + field + "\n";
  }
  return text;
}
std::string written(const std::string& field) {
  return " Written interferogram no.=" + field + "\n";
}
std::string no_entry(int number, const std::string& read) {
  return "retrieve: no entry of all.det carries interferogram number " + std::to_string(number) +
         " (" + read + ")\n";
}

// One entry of a detection file.  The sample and spectrum texts are the
// whole lines of their groups; an entry with one line of each takes
// 16 lines, its spectrum values on line 10.
struct Entry {
  int32_t number = 1;
  std::optional<int32_t> first_header_number = std::nullopt;  // the number of group 1
  std::string sample_count = "2";
  std::string samples = "1.5 2.5\n";
  std::string spectrum_count = "3";
  std::string spectrum = "10 20 30\n";
};
const std::string kSamples = "1.5\n2.5\n";  // as written from an entry's samples
const std::string kSpectrum = "10\n20\n30\n";

std::string text_of(const Entry& e) {
  return "1 2 " + std::to_string(e.first_header_number.value_or(e.number)) + "\n" + e.sample_count +
         " 0.6328 0 1\n" + e.samples + "0.1\n0.2\n0.3\n0.4\n" + "1 2 " + std::to_string(e.number) +
         "\n" + e.spectrum_count + " 0.482 0 1\n" + e.spectrum + "1\n2\n3\n4\n5\n6\n";
}

std::string entries(std::initializer_list<int32_t> numbers) {
  std::string text;
  for (int32_t n : numbers) text += text_of({.number = n});
  return text;
}

// The first count lines of text.
std::string first_lines(const std::string& text, size_t count) {
  size_t cut = 0;
  for (size_t i = 0; i < count; ++i) cut = text.find('\n', cut) + 1;
  return text.substr(0, cut);
}

std::string repeated(const std::string& line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += line;
  return text;
}

size_t count_lines(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

// One run as a row of a table: the detection file, the operator's answer,
// what the run gives, and what the output files hold after it.
struct Dialogue {
  std::string detections;
  std::string answer;
  ProgramResult want;
  std::string samples = kOldSamples;
  std::string spectrum = kOldSpectrum;
};

class RetrieveTest : public ::testing::Test {
 protected:
  ProgramResult run(const std::string& detections, const std::string& answer) {
    dir_.put("all.det", detections);
    return run_program({RETRIEVE_PATH}, answer, dir_.path());
  }

  // Each case starts from the files of an earlier run.
  void expect_dialogues(const std::vector<Dialogue>& cases) {
    for (const Dialogue& c : cases) {
      dir_.put("interferogram.dat", kOldSamples);
      dir_.put("spectrum.dat", kOldSpectrum);
      EXPECT_EQ(run(c.detections, c.answer), c.want) << "answer " << c.answer << " to:\n"
                                                     << c.detections.substr(0, 400);
      EXPECT_EQ(dir_.read("interferogram.dat"), c.samples) << c.detections.substr(0, 400);
      EXPECT_EQ(dir_.read("spectrum.dat"), c.spectrum) << c.detections.substr(0, 400);
    }
    // Nothing but the input and the outputs is left in the folder.
    for (const auto& f : std::filesystem::directory_iterator(dir_.path())) {
      const std::string name = f.path().filename().string();
      EXPECT_TRUE(name == "all.det" || name == "interferogram.dat" || name == "spectrum.dat")
          << name;
    }
  }

  TempDir dir_;
};

TEST_F(RetrieveTest, TheFirstEntryThatCarriesTheNumberIsWritten) {
  const std::string found_7 = scanned({"  5", "  7"}) + written("   7") + kFinished;
  std::string crlf;
  for (char c : entries({3, 9})) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::vector<Dialogue> cases = {
      {entries({5, 7}), "7\n", {found_7, "", 0}, kSamples, kSpectrum},
      // Only the first match is written, and nothing after it is read: the
      // fault in the third entry goes unnoticed.
      {text_of({.number = 5}) + text_of({.number = 7, .samples = "8 9\n"}) +
           text_of({.number = 7, .spectrum = "10 1.5x 30\n"}) + "junk that is no entry\n",
       "7\n",
       {found_7, "", 0},
       "8\n9\n",
       kSpectrum},
      // The spectrum header carries the number.
      {text_of({.number = 5, .first_header_number = 7}) +
           text_of({.number = 7, .first_header_number = 3, .samples = "4 4\n"}),
       "7\n",
       {found_7, "", 0},
       "4\n4\n",
       kSpectrum},
      // Counts of zero or less take one line and empty the file.
      {text_of({.number = 4,
                .sample_count = "0",
                .samples = "whatever this line holds 1.5x\n",
                .spectrum_count = "-3",
                .spectrum = "\n"}),
       "4\n",
       {scanned({"  4"}) + written("   4") + kFinished, "", 0},
       "",
       ""},
      {text_of({.number = 4,
                .sample_count = "-1",
                .samples = "\n",
                .spectrum_count = "0",
                .spectrum = "text in place of the spectrum 1.5x\n"}),
       "4\n",
       {scanned({"  4"}) + written("   4") + kFinished, "", 0},
       "",
       ""},
      // Values may spread over lines with any separator; more than four
      // values on the count line.
      {text_of({.number = 2,
                .sample_count = "5 0.6328 0 1 77 88 and words",
                .samples = "1.5,2.5\n\n  3.5 ,\t4.5\n5.5 extra ignored\n"}),
       "\n   \n2 and then some\n",
       {scanned({"  2"}) + written("   2") + kFinished, "", 0},
       "1.5\n2.5\n3.5\n4.5\n5.5\n",
       kSpectrum},
      // Carriage returns before the line ends read like plain line ends.
      {crlf,
       "9\r\n",
       {scanned({"  3", "  9"}) + written("   9") + kFinished, "", 0},
       kSamples,
       kSpectrum},
      // Repeat counts, and null values that keep the previous entry's values
      // (the sample count of entry 1 stands).
      {text_of({.number = 1, .spectrum_count = "4", .spectrum = "1 2 3 4\n"}) +
           text_of({.number = 2,
                    .sample_count = "1*",
                    .samples = "2*0.5, 7\n",
                    .spectrum_count = ",",
                    .spectrum = "9,,9 /\n"}),
       "2\n",
       {scanned({"  1", "  2"}) + written("   2") + kFinished, "", 0},
       "0.5\n0.5\n",
       "9\n2\n9\n4\n"},
      // Values are written in the shortest form that reads back.
      {text_of({.number = 1,
                .sample_count = "9",
                .samples =
                    "0.1 1.0000000596046447753906251 1e-50 -0.0 3.4028235e38 1D3 2*0.5 1.4e-45\n"}),
       "1\n",
       {scanned({"  1"}) + written("   1") + kFinished, "", 0},
       "0.1\n1.0000001\n0\n-0\n3.4028235e+38\n1000\n0.5\n0.5\n1e-45\n",
       kSpectrum},
  };
  // The stores fill to their last place.
  cases.push_back({text_of({.number = 1,
                            .sample_count = "500",
                            .samples = "500*0.25\n",
                            .spectrum_count = "25000",
                            .spectrum = "24999*1 2\n"}),
                   "1\n",
                   {scanned({"  1"}) + written("   1") + kFinished, "", 0},
                   repeated("0.25\n", 500),
                   repeated("1\n", 24999) + "2\n"});
  // Numbers too wide for their field print as asterisks, but still match.
  const struct {
    int32_t number;
    const char* progress_field;
    const char* written_field;
  } wide[] = {{999, "999", " 999"},  {-99, "-99", " -99"},   {1000, "***", "1000"},
              {-100, "***", "-100"}, {10000, "***", "****"}, {-1000, "***", "****"}};
  for (const auto& w : wide) {
    cases.push_back({entries({w.number}),
                     std::to_string(w.number) + "\n",
                     {scanned({w.progress_field}) + written(w.written_field) + kFinished, "", 0},
                     kSamples,
                     kSpectrum});
  }
  expect_dialogues(cases);
}

TEST_F(RetrieveTest, NoEntryCarriesTheNumber) {
  const std::string nothing = scanned({}) + kFinished;
  std::string thousand;
  for (int i = 1; i <= 1000; ++i) thousand += text_of({.number = i});
  const std::string thousand_read = scanned_up_to(1000) + kFinished;
  expect_dialogues({
      {"", "3\n", {nothing, no_entry(3, "0 entries read"), 1}},
      {"\n  \n\r\n", "3\n", {nothing, no_entry(3, "0 entries read"), 1}},
      // The file ends inside group 1.
      {entries({1, 2}) + "1 2",
       "3\n",
       {scanned({"  1", "  2"}) + kFinished, no_entry(3, "2 entries read"), 1}},
      // The scan stops at the thousandth entry, and says whether more follow.
      {thousand + text_of({.number = 1001}),
       "1001\n",
       {thousand_read,
        no_entry(1001,
                 "1000 entries read; the scan stops at the limit of 1000 entries and the file "
                 "holds more"),
        1}},
      {thousand + "\n \n", "1001\n", {thousand_read, no_entry(1001, "1000 entries read"), 1}},
  });
}

// Every fault stops the run with one line that says where and what, and
// leaves the files of an earlier run alone.
TEST_F(RetrieveTest, FaultsStopTheRunWithTheirPlace) {
  const std::string answer = "retrieve: standard input:";
  const std::string number = " in the interferogram number\n";
  const std::string file = "retrieve: all.det:";
  const std::string whole = entries({1});
  std::vector<Dialogue> cases = {
      // The operator's answer must be an integer.
      {entries({7}),
       "",
       {kOpening, answer + "1: end of file where an integer was expected" + number, 2}},
      {entries({7}),
       "\n\n",
       {kOpening, answer + "3: end of file where an integer was expected" + number, 2}},
      {entries({7}), "seven\n", {kOpening, answer + "1: bad integer \"seven\"" + number, 2}},
      {entries({7}), "7.0\n", {kOpening, answer + "1: bad integer \"7.0\"" + number, 2}},
      {entries({7}),
       "99999999999\n",
       {kOpening, answer + "1: bad integer \"99999999999\" (beyond 32 bits)" + number, 2}},
      {entries({7}),
       ",\n",
       {kOpening, "retrieve: standard input: no interferogram number given\n", 2}},
      // The file ending inside an entry.
      {first_lines(whole, 2),
       "1\n",
       {scanned({}),
        file + "3: end of file where a real was expected in the interferogram samples of entry 1\n",
        2}},
      {first_lines(whole, 7),
       "1\n",
       {scanned({}),
        file + "8: end of file where an integer was expected in the spectrum header of entry 1\n",
        2}},
      {first_lines(whole, 15),
       "1\n",
       {scanned({"  1"}),
        file + "16: end of file where a real was expected in the spectrum tail of entry 1\n", 2}},
      {first_lines(text_of({.number = 1, .sample_count = "0"}), 2),
       "1\n",
       {scanned({}),
        file + "3: end of file where a line was expected in the interferogram samples of entry 1\n",
        2}},
      // A bad value, with its place.
      {entries({1, 2}) + text_of({.number = 3, .spectrum = "10 1.5x 30\n"}),
       "3\n",
       {scanned({"  1", "  2", "  3"}),
        file + "42: bad real \"1.5x\" in the spectrum values of entry 3\n", 2}},
      // Values that are not used are checked too.
      {"1 2.5 4\n" + entries({9}),
       "9\n",
       {scanned({}), file + "1: bad integer \"2.5\" in the interferogram header of entry 1\n", 2}},
      {"1 3000000000 4\n" + entries({9}),
       "9\n",
       {scanned({}),
        file + "1: bad integer \"3000000000\" (beyond 32 bits) in the interferogram header of "
               "entry 1\n",
        2}},
      {"1 2 4\n2 0.6 zero 1\n" + entries({9}),
       "9\n",
       {scanned({}), file + "2: bad real \"zero\" in the sample count line of entry 1\n", 2}},
      {"1 2 4\n1 0.6 0 1\n5\n1e39\n" + entries({9}),
       "9\n",
       {scanned({}),
        file +
            "4: bad real \"1e39\" (beyond single precision) in the interferogram tail of entry 1\n",
        2}},
      // A count beyond its store stops the run before its values.
      {text_of({.number = 1, .sample_count = "501"}),
       "1\n",
       {scanned({}),
        file + "2: sample count 501 of entry 1 is more than the 500 values that can be held\n", 2}},
      // A count line that runs over two lines is named by the line of its count.
      {text_of({.number = 1, .sample_count = "501\n0.6328"}),
       "1\n",
       {scanned({}),
        file + "2: sample count 501 of entry 1 is more than the 500 values that can be held\n", 2}},
      {text_of({.number = 1, .sample_count = "2\n0.6328", .samples = "1.5 2.5x\n"}),
       "1\n",
       {scanned({}), file + "4: bad real \"2.5x\" in the interferogram samples of entry 1\n", 2}},
      {text_of({.number = 1, .spectrum_count = "25001"}),
       "1\n",
       {scanned({"  1"}),
        file + "9: spectrum value count 25001 of entry 1 is more than the 25000 values that can be "
               "held\n",
        2}},
  };
  expect_dialogues(cases);
}

TEST_F(RetrieveTest, EveryFormOfAGeneratedFileGivesTheSameEntry) {
  std::string first_samples, first_spectrum;
  for (const char* form : {"plain", "commas", "crlf", "fortran", "fortran-d"}) {
    const ProgramResult made = run_program({DETSYNTH_PATH, "-n", "3", "-s", "500", "-c", "25000",
                                            "-p", "7", "-F", form, "-o", dir_.path("all.det")});
    ASSERT_EQ(made.status, 0) << made.err;
    const ProgramResult r = run_program({RETRIEVE_PATH}, "2\n", dir_.path());
    ASSERT_EQ(r.status, 0) << form << ": " << r.err;
    EXPECT_EQ(count_lines(dir_.read("interferogram.dat")), 500u);
    EXPECT_EQ(count_lines(dir_.read("spectrum.dat")), 25000u);
    if (std::string(form) == "plain") {
      // The plain form writes the shortest form too: the samples of entry
      // 2 come back as their own text, one to a line.
      const std::string text = dir_.read("all.det");
      const size_t header = text.find("\n1 2 2\n") + 7;
      const size_t begin = text.find('\n', header) + 1;
      size_t end = begin;
      for (int line = 0; line < (500 + 6) / 7; ++line) end = text.find('\n', end) + 1;
      std::string samples = text.substr(begin, end - begin);
      for (char& c : samples) {
        if (c == ' ') c = '\n';
      }
      EXPECT_EQ(dir_.read("interferogram.dat"), samples);
    }
    if (std::string(form) == "plain" || std::string(form) == "fortran") {
      first_samples = dir_.read("interferogram.dat");
      first_spectrum = dir_.read("spectrum.dat");
    } else {  // the same values as the form before it
      EXPECT_EQ(dir_.read("interferogram.dat"), first_samples) << form;
      EXPECT_EQ(dir_.read("spectrum.dat"), first_spectrum) << form;
    }
  }
}

TEST_F(RetrieveTest, TheSampleDetectionFile) {
  const ProgramResult r = run(read_file(SAMPLE_DETECTION_FILE), "103\n");
  EXPECT_EQ(r,
            (ProgramResult{scanned({"101", "102", "103"}) + written(" 103") + kFinished, "", 0}));
  EXPECT_EQ(count_lines(dir_.read("interferogram.dat")), 256u);
  EXPECT_EQ(count_lines(dir_.read("spectrum.dat")), 2048u);
}

// What stands at a name: the text of a file, "<folder>", "<missing>", or
// for a symbolic link "-> target" on a line and what stands at the target.
std::string describe(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return "<missing>";
  if (S_ISDIR(st.st_mode)) return "<folder>";
  if (!S_ISLNK(st.st_mode)) return read_file(path);
  const std::filesystem::path target = std::filesystem::read_symlink(path);
  return "-> " + target.string() + "\n" +
         describe(std::filesystem::path(path).parent_path() / target);
}

void folder_at(const std::string& path) {
  unlink(path.c_str());
  mkdir(path.c_str(), 0755);
}
void give_to_nobody(const std::string& path) { (void)!chown(path.c_str(), 65534, 65534); }

// A detection file that is missing or no file is a fault.  The output files
// are opened by their names and written in place, the interferogram file
// in full before the spectrum file is opened.  Every case starts from a
// folder with all.det and the files of an earlier run, changed by its
// stage; the unprivileged cases run the program as nobody in a folder of
// root's.
TEST_F(RetrieveTest, FilesAreOpenedByTheirNamesAndWrittenInPlace) {
  // Under a file size limit of 1024 bytes the samples fit and the spectrum
  // does not; under 512 bytes the samples do not either.
  const Entry e = {.number = 6,
                   .sample_count = "150",
                   .samples = "150*0.25\n",
                   .spectrum_count = "1000",
                   .spectrum = "1000*0.125\n"};
  const std::string samples = repeated("0.25\n", 150);
  const std::string spectrum = repeated("0.125\n", 1000);
  const std::string read = scanned({"  6"});
  const std::string opened = read + written("   6");
  const std::string whole = opened + kFinished;
  const struct {
    const char* name;
    void (*stage)(const std::string& dir);
    bool unprivileged;
    const char* shell;  // run before the program
    ProgramResult want;
    std::string interferogram;
    std::string spectrum;
  } cases[] = {
      {"all.det is missing",
       [](const std::string& d) { unlink((d + "/all.det").c_str()); },
       false,
       "",
       {scanned({}), "retrieve: all.det: No such file or directory\n", 2},
       "old\n",
       "older\n"},
      {"all.det is a folder",
       [](const std::string& d) { folder_at(d + "/all.det"); },
       false,
       "",
       {scanned({}),
        "retrieve: all.det:1: read error (Is a directory) in the interferogram header of entry 1\n",
        2},
       "old\n",
       "older\n"},
      {"interferogram.dat is a folder",
       [](const std::string& d) { folder_at(d + "/interferogram.dat"); },
       false,
       "",
       {read, "retrieve: interferogram.dat: Is a directory\n", 2},
       "<folder>",
       "older\n"},
      {"spectrum.dat is a folder",
       [](const std::string& d) { folder_at(d + "/spectrum.dat"); },
       false,
       "",
       {opened, "retrieve: spectrum.dat: Is a directory\n", 2},
       samples,
       "<folder>"},
      {"interferogram.dat may not be written",
       [](const std::string& d) { chmod(d.c_str(), 0777); },
       true,
       "",
       {read, "retrieve: interferogram.dat: Permission denied\n", 2},
       "old\n",
       "older\n"},
      {"spectrum.dat may not be written",
       [](const std::string& d) {
         chmod(d.c_str(), 0777);
         give_to_nobody(d + "/interferogram.dat");
       },
       true,
       "",
       {opened, "retrieve: spectrum.dat: Permission denied\n", 2},
       samples,
       "older\n"},
      {"interferogram.dat cannot be created",
       [](const std::string& d) {
         chmod(d.c_str(), 0755);
         unlink((d + "/interferogram.dat").c_str());
       },
       true,
       "",
       {read, "retrieve: interferogram.dat: Permission denied\n", 2},
       "<missing>",
       "older\n"},
      {"spectrum.dat cannot be created",
       [](const std::string& d) {
         chmod(d.c_str(), 0755);
         give_to_nobody(d + "/interferogram.dat");
         unlink((d + "/spectrum.dat").c_str());
       },
       true,
       "",
       {opened, "retrieve: spectrum.dat: Permission denied\n", 2},
       samples,
       "<missing>"},
      {"files of nobody's in a folder closed to nobody",
       [](const std::string& d) {
         chmod(d.c_str(), 0755);
         give_to_nobody(d + "/interferogram.dat");
         give_to_nobody(d + "/spectrum.dat");
       },
       true,
       "",
       {whole, "", 0},
       samples,
       spectrum},
      {"symbolic links, to a file and to none yet",
       [](const std::string& d) {
         std::filesystem::rename(d + "/interferogram.dat", d + "/kept-samples");
         (void)!symlink("kept-samples", (d + "/interferogram.dat").c_str());
         unlink((d + "/spectrum.dat").c_str());
         (void)!symlink("kept-spectrum", (d + "/spectrum.dat").c_str());
       },
       false,
       "",
       {whole, "", 0},
       "-> kept-samples\n" + samples,
       "-> kept-spectrum\n" + spectrum},
      {"writing interferogram.dat fails",
       [](const std::string&) {},
       false,
       "trap '' XFSZ; ulimit -f 1;",
       {opened, "retrieve: interferogram.dat: File too large; the file is incomplete\n", 2},
       samples.substr(0, 512),
       "older\n"},
      {"writing spectrum.dat fails",
       [](const std::string&) {},
       false,
       "trap '' XFSZ; ulimit -f 2;",
       {opened, "retrieve: spectrum.dat: File too large; the file is incomplete\n", 2},
       samples,
       spectrum.substr(0, 1024)},
      {"writing standard output fails",
       [](const std::string&) {},
       false,
       "exec > /dev/full;",
       {"", "retrieve: standard output: No space left on device\n", 2},
       samples,
       spectrum},
  };
  int cases_without_nobody = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    dir_.clear();
    dir_.put("all.det", text_of(e));
    dir_.put("interferogram.dat", kOldSamples);
    dir_.put("spectrum.dat", kOldSpectrum);
    c.stage(dir_.path());
    const std::optional<ProgramResult> r =
        c.unprivileged
            ? run_unprivileged(RETRIEVE_PATH, "6\n", dir_.path())
            : run_shell(std::string(c.shell) + " exec " RETRIEVE_PATH, "6\n", dir_.path());
    if (!r) {
      ++cases_without_nobody;
      continue;
    }
    EXPECT_EQ(*r, c.want);
    EXPECT_EQ(describe(dir_.path("interferogram.dat")), c.interferogram);
    EXPECT_EQ(describe(dir_.path("spectrum.dat")), c.spectrum);
  }
  if (cases_without_nobody > 0) {
    GTEST_SKIP() << cases_without_nobody << " cases could not run as nobody (no setpriv, or the "
                 << "build is closed to nobody)";
  }
}

TEST_F(RetrieveTest, AnExistingFileKeepsItsModeOwnerAndLinks) {
  chmod(dir_.put("interferogram.dat", kOldSamples).c_str(), 0640);
  give_to_nobody(dir_.put("spectrum.dat", kOldSpectrum));
  ASSERT_EQ(link(dir_.path("interferogram.dat").c_str(), dir_.path("samples").c_str()), 0);
  EXPECT_EQ(run(entries({6}), "6\n"),
            (ProgramResult{scanned({"  6"}) + written("   6") + kFinished, "", 0}));
  EXPECT_EQ(dir_.read("samples"), kSamples);
  EXPECT_EQ(dir_.read("spectrum.dat"), kSpectrum);
  struct stat samples, spectrum;
  ASSERT_EQ(stat(dir_.path("interferogram.dat").c_str(), &samples), 0);
  ASSERT_EQ(stat(dir_.path("spectrum.dat").c_str(), &spectrum), 0);
  EXPECT_EQ(samples.st_mode & 07777, 0640u);
  EXPECT_EQ(samples.st_nlink, 2u);
  EXPECT_EQ(spectrum.st_uid, 65534u);
}

}  // namespace
