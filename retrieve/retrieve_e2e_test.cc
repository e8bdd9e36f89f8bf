// End-to-end runs of the built program in a fresh folder: standard output,
// standard error, exit status and both output files.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

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

std::string progress(const std::string& field) { return " #=" + field + "\n"; }
std::string written(const std::string& field) { return " Written interferogram no.=" + field + "\n"; }

// One entry of a detection file.  The sample and spectrum texts are the
// whole lines of their groups; an entry with one line of each takes
// 16 lines, its spectrum values on line 10.
struct Entry {
  int32_t number = 1;
  std::optional<int32_t> first_header_number;  // the number of group 1
  std::string sample_count = "2";
  std::string samples = "1.5 2.5\n";
  std::string spectrum_count = "3";
  std::string spectrum = "10 20 30\n";
};

Entry make_entry(int32_t number) {
  Entry e;
  e.number = number;
  return e;
}

std::string text_of(const Entry& e) {
  return "1 2 " + std::to_string(e.first_header_number.value_or(e.number)) + "\n" +
         e.sample_count + " 0.6328 0 1\n" + e.samples + "0.1\n0.2\n0.3\n0.4\n" + "1 2 " +
         std::to_string(e.number) + "\n" + e.spectrum_count + " 0.482 0 1\n" + e.spectrum +
         "1\n2\n3\n4\n5\n6\n";
}

std::string entries(std::initializer_list<int32_t> numbers) {
  std::string text;
  for (int32_t n : numbers) text += text_of(make_entry(n));
  return text;
}

class RetrieveTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = make_temp_dir(); }
  void TearDown() override { remove_tree(dir_); }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  bool exists(const std::string& name) const { return std::filesystem::exists(path(name)); }
  std::string file(const std::string& name) const { return read_file(path(name)); }

  ProgramResult run(const std::string& detections, const std::string& answer) {
    write_file(path("all.det"), detections);
    return run_program({RETRIEVE_PATH}, answer, dir_);
  }

  // Names in the folder other than the inputs and outputs: leftovers.
  int stray_files() const {
    int n = 0;
    for (const auto& f : std::filesystem::directory_iterator(dir_)) {
      const std::string name = f.path().filename().string();
      n += name != "all.det" && name != "interferogram.dat" && name != "spectrum.dat";
    }
    return n;
  }

  std::string dir_;
};

TEST_F(RetrieveTest, WritesTheEntryThatCarriesTheNumber) {
  const ProgramResult r = run(entries({5, 7}), "7\n");
  EXPECT_EQ(r.out, kOpening + kProcessing + progress("  5") + progress("  7") +
                       written("   7") + kFinished);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(file("interferogram.dat"), "1.5\n2.5\n");
  EXPECT_EQ(file("spectrum.dat"), "10\n20\n30\n");
  EXPECT_EQ(stray_files(), 0);
}

TEST_F(RetrieveTest, OnlyTheFirstMatchIsWrittenAndNothingAfterItIsRead) {
  Entry second = make_entry(7);
  second.samples = "8 9\n";
  Entry third = make_entry(7);  // a fault that goes unnoticed
  third.spectrum = "10 1.5x 30\n";
  const ProgramResult r =
      run(text_of(make_entry(5)) + text_of(second) + text_of(third) + "junk that is no entry\n",
          "7\n");
  EXPECT_EQ(r.out, kOpening + kProcessing + progress("  5") + progress("  7") +
                       written("   7") + kFinished);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(file("interferogram.dat"), "8\n9\n");
}

TEST_F(RetrieveTest, TheSpectrumHeaderCarriesTheNumber) {
  Entry decoy = make_entry(5);
  decoy.first_header_number = 7;
  Entry match = make_entry(7);
  match.first_header_number = 3;
  match.samples = "4 4\n";
  const ProgramResult r = run(text_of(decoy) + text_of(match), "7\n");
  EXPECT_EQ(r.out, kOpening + kProcessing + progress("  5") + progress("  7") +
                       written("   7") + kFinished);
  EXPECT_EQ(file("interferogram.dat"), "4\n4\n");
}

TEST_F(RetrieveTest, NumbersTooWideForTheirFieldPrintAsAsterisksButStillMatch) {
  const struct {
    int32_t number;
    const char* progress_field;
    const char* written_field;
  } cases[] = {{999, "999", " 999"},   {-99, "-99", " -99"},  {1000, "***", "1000"},
               {-100, "***", "-100"}, {10000, "***", "****"}, {-1000, "***", "****"}};
  for (const auto& c : cases) {
    const ProgramResult r = run(entries({c.number}), std::to_string(c.number) + "\n");
    EXPECT_EQ(r.out, kOpening + kProcessing + progress(c.progress_field) +
                         written(c.written_field) + kFinished)
        << c.number;
    EXPECT_EQ(r.status, 0);
  }
}

TEST_F(RetrieveTest, AnEmptyDetectionFileFindsNothing) {
  for (const char* text : {"", "\n  \n\r\n"}) {
    const ProgramResult r = run(text, "3\n");
    EXPECT_EQ(r.out, kOpening + kProcessing + kFinished);
    EXPECT_EQ(r.err, "retrieve: no entry of all.det carries interferogram number 3 (0 entries read)\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(exists("interferogram.dat"));
    EXPECT_FALSE(exists("spectrum.dat"));
  }
}

TEST_F(RetrieveTest, NoMatchLeavesEarlierFilesAlone) {
  write_file(path("interferogram.dat"), "old\n");
  write_file(path("spectrum.dat"), "older\n");
  const ProgramResult r = run(entries({1, 2}) + "1 2", "3\n");  // ends inside group 1
  EXPECT_EQ(r.out, kOpening + kProcessing + progress("  1") + progress("  2") + kFinished);
  EXPECT_EQ(r.err, "retrieve: no entry of all.det carries interferogram number 3 (2 entries read)\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(file("interferogram.dat"), "old\n");
  EXPECT_EQ(file("spectrum.dat"), "older\n");
}

TEST_F(RetrieveTest, TheScanStopsAtTheThousandthEntry) {
  std::string text;
  for (int i = 1; i <= 1000; ++i) text += text_of(make_entry(i));
  const ProgramResult r = run(text + text_of(make_entry(1001)), "1001\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.substr(r.out.size() - 18), progress("***") + kFinished);
  EXPECT_EQ(r.out.find("Written"), std::string::npos);
  size_t progress_lines = 0;
  for (size_t at = 0; (at = r.out.find(" #=", at)) != std::string::npos; ++at) ++progress_lines;
  EXPECT_EQ(progress_lines, 1000u);
  EXPECT_EQ(r.err,
            "retrieve: no entry of all.det carries interferogram number 1001 (1000 entries "
            "read; the scan stops at the limit of 1000 entries and the file holds more)\n");
  EXPECT_FALSE(exists("interferogram.dat"));

  const ProgramResult exact = run(text + "\n \n", "1001\n");  // only blank lines after
  EXPECT_EQ(exact.err, "retrieve: no entry of all.det carries interferogram number 1001 (1000 entries read)\n");
  EXPECT_EQ(exact.status, 1);
}

TEST_F(RetrieveTest, CountsOfZeroOrLessTakeOneLineAndEmptyTheFile) {
  const struct {
    const char* sample_count;
    const char* samples;
    const char* spectrum_count;
    const char* spectrum;
  } cases[] = {
      {"0", "whatever this line holds 1.5x\n", "-3", "\n"},
      {"-1", "\n", "0", "text in place of the spectrum 1.5x\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sample_count);
    write_file(path("interferogram.dat"), "old\n");
    write_file(path("spectrum.dat"), "older\n");
    Entry e = make_entry(4);
    e.sample_count = c.sample_count;
    e.samples = c.samples;
    e.spectrum_count = c.spectrum_count;
    e.spectrum = c.spectrum;
    const ProgramResult r = run(text_of(e), "4\n");
    EXPECT_EQ(r.out, kOpening + kProcessing + progress("  4") + written("   4") + kFinished);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(file("interferogram.dat"), "");
    EXPECT_EQ(file("spectrum.dat"), "");
  }
}

TEST_F(RetrieveTest, ValuesMaySpreadOverLinesWithAnySeparator) {
  Entry e = make_entry(2);
  e.sample_count = "5 0.6328 0 1 77 88 and words";  // more than four values on the count line
  e.samples = "1.5,2.5\n\n  3.5 ,\t4.5\n5.5 extra ignored\n";
  const ProgramResult r = run(text_of(e), "\n   \n2 and then some\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file("interferogram.dat"), "1.5\n2.5\n3.5\n4.5\n5.5\n");
}

TEST_F(RetrieveTest, CrLfLineEndsReadLikeLineFeeds) {
  std::string text = entries({3, 9});
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const ProgramResult r = run(crlf, "9\r\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file("spectrum.dat"), "10\n20\n30\n");
}

TEST_F(RetrieveTest, RepeatCountsAndNullValuesKeepThePreviousEntrysValues) {
  Entry first = make_entry(1);
  first.spectrum_count = "4";
  first.spectrum = "1 2 3 4\n";
  Entry second = make_entry(2);
  second.sample_count = "1*";  // null: the sample count of entry 1 stands
  second.samples = "2*0.5, 7\n";
  second.spectrum_count = ",";
  second.spectrum = "9,,9 /\n";
  const ProgramResult r = run(text_of(first) + text_of(second), "2\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file("interferogram.dat"), "0.5\n0.5\n");
  EXPECT_EQ(file("spectrum.dat"), "9\n2\n9\n4\n");
}

TEST_F(RetrieveTest, ValuesAreWrittenInTheShortestFormThatReadsBack) {
  Entry e = make_entry(1);
  e.sample_count = "9";
  e.samples = "0.1 1.0000000596046447753906251 1e-50 -0.0 3.4028235e38 1D3 2*0.5 1.4e-45\n";
  const ProgramResult r = run(text_of(e), "1\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file("interferogram.dat"),
            "0.1\n1.0000001\n0\n-0\n3.4028235e+38\n1000\n0.5\n0.5\n1e-45\n");
}

TEST_F(RetrieveTest, TheOperatorsAnswerMustBeAnInteger) {
  const struct {
    const char* answer;
    const char* err;
  } cases[] = {
      {"", "retrieve: standard input:1: end of file where an integer was expected in the interferogram number\n"},
      {"\n\n", "retrieve: standard input:3: end of file where an integer was expected in the interferogram number\n"},
      {"seven\n", "retrieve: standard input:1: bad integer \"seven\" in the interferogram number\n"},
      {"7.0\n", "retrieve: standard input:1: bad integer \"7.0\" in the interferogram number\n"},
      {"99999999999\n", "retrieve: standard input:1: bad integer \"99999999999\" (beyond 32 bits) in the interferogram number\n"},
      {",\n", "retrieve: standard input: no interferogram number given\n"},
  };
  for (const auto& c : cases) {
    const ProgramResult r = run(entries({7}), c.answer);
    EXPECT_EQ(r.out, kOpening) << c.answer;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, 2);
  }
  EXPECT_FALSE(exists("interferogram.dat"));
}

TEST_F(RetrieveTest, AMissingOrUnreadableDetectionFileIsAFault) {
  ProgramResult r = run_program({RETRIEVE_PATH}, "7\n", dir_);
  EXPECT_EQ(r.out, kOpening + kProcessing);
  EXPECT_EQ(r.err, "retrieve: all.det: No such file or directory\n");
  EXPECT_EQ(r.status, 2);
  mkdir(path("all.det").c_str(), 0755);
  r = run_program({RETRIEVE_PATH}, "7\n", dir_);
  EXPECT_EQ(r.out, kOpening + kProcessing);
  EXPECT_EQ(r.err, "retrieve: all.det:1: read error (Is a directory) in the interferogram header of entry 1\n");
  EXPECT_EQ(r.status, 2);
}

TEST_F(RetrieveTest, TheFileEndingInsideAnEntryIsAFault) {
  const std::string whole = entries({1});
  const struct {
    size_t lines;  // of the entry that are kept
    const char* out_tail;
    const char* err;
  } cases[] = {
      {2, "", "retrieve: all.det:3: end of file where a real was expected in the interferogram samples of entry 1\n"},
      {7, "", "retrieve: all.det:8: end of file where an integer was expected in the spectrum header of entry 1\n"},
      {15, " #=  1\n", "retrieve: all.det:16: end of file where a real was expected in the spectrum tail of entry 1\n"},
  };
  for (const auto& c : cases) {
    size_t cut = 0;
    for (size_t i = 0; i < c.lines; ++i) cut = whole.find('\n', cut) + 1;
    const ProgramResult r = run(whole.substr(0, cut), "1\n");
    EXPECT_EQ(r.out, kOpening + kProcessing + c.out_tail);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, 2);
  }
  Entry no_samples = make_entry(1);
  no_samples.sample_count = "0";
  const std::string text = text_of(no_samples);
  const ProgramResult r = run(text.substr(0, text.find('\n', text.find('\n') + 1) + 1), "1\n");
  EXPECT_EQ(r.err, "retrieve: all.det:3: end of file where a line was expected in the interferogram samples of entry 1\n");
}

TEST_F(RetrieveTest, ABadValueStopsTheRunWithItsPlace) {
  Entry bad = make_entry(3);
  bad.spectrum = "10 1.5x 30\n";
  const ProgramResult r = run(entries({1, 2}) + text_of(bad), "3\n");
  EXPECT_EQ(r.out, kOpening + kProcessing + progress("  1") + progress("  2") + progress("  3"));
  EXPECT_EQ(r.err, "retrieve: all.det:42: bad real \"1.5x\" in the spectrum values of entry 3\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_FALSE(exists("interferogram.dat"));
}

TEST_F(RetrieveTest, ValuesThatAreNotUsedAreCheckedToo) {
  const struct {
    std::string text;
    const char* err;
  } cases[] = {
      {"1 2.5 4\n", "retrieve: all.det:1: bad integer \"2.5\" in the interferogram header of entry 1\n"},
      {"1 3000000000 4\n", "retrieve: all.det:1: bad integer \"3000000000\" (beyond 32 bits) in the interferogram header of entry 1\n"},
      {"1 2 4\n2 0.6 zero 1\n", "retrieve: all.det:2: bad real \"zero\" in the sample count line of entry 1\n"},
      {"1 2 4\n1 0.6 0 1\n5\n1e39\n", "retrieve: all.det:4: bad real \"1e39\" (beyond single precision) in the interferogram tail of entry 1\n"},
  };
  for (const auto& c : cases) {
    const ProgramResult r = run(c.text + entries({9}), "9\n");
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, 2);
  }
}

TEST_F(RetrieveTest, ACountBeyondItsStoreStopsBeforeItsValues) {
  write_file(path("interferogram.dat"), "old\n");
  Entry samples = make_entry(1);
  samples.sample_count = "501";
  ProgramResult r = run(text_of(samples), "1\n");
  EXPECT_EQ(r.out, kOpening + kProcessing);
  EXPECT_EQ(r.err, "retrieve: all.det:2: sample count 501 of entry 1 is more than the 500 values that can be held\n");
  EXPECT_EQ(r.status, 2);
  Entry spectrum = make_entry(1);
  spectrum.spectrum_count = "25001";
  r = run(text_of(spectrum), "1\n");
  EXPECT_EQ(r.out, kOpening + kProcessing + progress("  1"));
  EXPECT_EQ(r.err, "retrieve: all.det:9: spectrum value count 25001 of entry 1 is more than the 25000 values that can be held\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(file("interferogram.dat"), "old\n");
  EXPECT_FALSE(exists("spectrum.dat"));

  Entry full = make_entry(1);  // the stores themselves fill to the last place
  full.sample_count = "500";
  full.samples = "500*0.25\n";
  full.spectrum_count = "25000";
  full.spectrum = "24999*1 2\n";
  r = run(text_of(full), "1\n");
  EXPECT_EQ(r.status, 0) << r.err;
  std::string spectrum_lines;
  for (int i = 0; i < 24999; ++i) spectrum_lines += "1\n";
  EXPECT_EQ(file("spectrum.dat"), spectrum_lines + "2\n");
  EXPECT_EQ(file("interferogram.dat").size(), 500u * 5);
}

size_t count_lines(const std::string& text) {
  size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

TEST_F(RetrieveTest, EveryFormOfAGeneratedFileGivesTheSameEntry) {
  std::string first_samples, first_spectrum;
  for (const char* form : {"plain", "commas", "crlf", "fortran", "fortran-d"}) {
    const ProgramResult made =
        run_program({DETSYNTH_PATH, "-n", "3", "-s", "500", "-c", "25000", "-p", "7", "-F", form,
                     "-o", path("all.det")});
    ASSERT_EQ(made.status, 0) << made.err;
    const ProgramResult r = run_program({RETRIEVE_PATH}, "2\n", dir_);
    ASSERT_EQ(r.status, 0) << form << ": " << r.err;
    EXPECT_EQ(count_lines(file("interferogram.dat")), 500u);
    EXPECT_EQ(count_lines(file("spectrum.dat")), 25000u);
    if (std::string(form) == "plain") {
      // The plain form writes the shortest form too: the samples of entry
      // 2 come back as their own text, one to a line.
      const std::string text = file("all.det");
      const size_t header = text.find("\n1 2 2\n") + 7;
      const size_t begin = text.find('\n', header) + 1;
      size_t end = begin;
      for (int line = 0; line < (500 + 6) / 7; ++line) end = text.find('\n', end) + 1;
      std::string samples = text.substr(begin, end - begin);
      for (char& c : samples) {
        if (c == ' ') c = '\n';
      }
      EXPECT_EQ(file("interferogram.dat"), samples);
    }
    if (std::string(form) == "plain" || std::string(form) == "fortran") {
      first_samples = file("interferogram.dat");
      first_spectrum = file("spectrum.dat");
    } else {  // the same values as the form before it
      EXPECT_EQ(file("interferogram.dat"), first_samples) << form;
      EXPECT_EQ(file("spectrum.dat"), first_spectrum) << form;
    }
  }
}

TEST_F(RetrieveTest, TheSampleDetectionFile) {
  write_file(path("all.det"), read_file(SAMPLE_DETECTION_FILE));
  const ProgramResult r = run_program({RETRIEVE_PATH}, "103\n", dir_);
  EXPECT_EQ(r.out, kOpening + kProcessing + progress("101") + progress("102") +
                       progress("103") + written(" 103") + kFinished);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(count_lines(file("interferogram.dat")), 256u);
  EXPECT_EQ(count_lines(file("spectrum.dat")), 2048u);
}

std::string repeated(const std::string& line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += line;
  return text;
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

// The output files are opened by their names and written in place, the
// interferogram file in full before the spectrum file is opened.  Every
// case starts from a folder with all.det and the files of an earlier run,
// changed by its stage; the unprivileged cases run the program as nobody
// in a folder of root's.
TEST_F(RetrieveTest, OutputFilesAreOpenedByTheirNamesAndWrittenInPlace) {
  // Under a file size limit of 1024 bytes the samples fit and the spectrum
  // does not; under 512 bytes the samples do not either.
  Entry e = make_entry(6);
  e.sample_count = "150";
  e.samples = "150*0.25\n";
  e.spectrum_count = "1000";
  e.spectrum = "1000*0.125\n";
  const std::string samples = repeated("0.25\n", 150);
  const std::string spectrum = repeated("0.125\n", 1000);
  const std::string read = kOpening + kProcessing + progress("  6");
  const std::string opened = read + written("   6");
  const std::string whole = opened + kFinished;
  const struct {
    const char* name;
    void (*stage)(const std::string& dir);
    bool unprivileged;
    const char* shell;  // run before the program
    std::string out;
    std::string err;
    int status;
    std::string interferogram;
    std::string spectrum;
  } cases[] = {
      {"interferogram.dat is a folder", [](const std::string& d) { folder_at(d + "/interferogram.dat"); },
       false, "", read, "retrieve: interferogram.dat: Is a directory\n", 2, "<folder>", "older\n"},
      {"spectrum.dat is a folder", [](const std::string& d) { folder_at(d + "/spectrum.dat"); },
       false, "", opened, "retrieve: spectrum.dat: Is a directory\n", 2, samples, "<folder>"},
      {"interferogram.dat may not be written", [](const std::string& d) { chmod(d.c_str(), 0777); },
       true, "", read, "retrieve: interferogram.dat: Permission denied\n", 2, "old\n", "older\n"},
      {"spectrum.dat may not be written",
       [](const std::string& d) {
         chmod(d.c_str(), 0777);
         give_to_nobody(d + "/interferogram.dat");
       },
       true, "", opened, "retrieve: spectrum.dat: Permission denied\n", 2, samples, "older\n"},
      {"interferogram.dat cannot be created",
       [](const std::string& d) {
         chmod(d.c_str(), 0755);
         unlink((d + "/interferogram.dat").c_str());
       },
       true, "", read, "retrieve: interferogram.dat: Permission denied\n", 2, "<missing>", "older\n"},
      {"spectrum.dat cannot be created",
       [](const std::string& d) {
         chmod(d.c_str(), 0755);
         give_to_nobody(d + "/interferogram.dat");
         unlink((d + "/spectrum.dat").c_str());
       },
       true, "", opened, "retrieve: spectrum.dat: Permission denied\n", 2, samples, "<missing>"},
      {"files of nobody's in a folder closed to nobody",
       [](const std::string& d) {
         chmod(d.c_str(), 0755);
         give_to_nobody(d + "/interferogram.dat");
         give_to_nobody(d + "/spectrum.dat");
       },
       true, "", whole, "", 0, samples, spectrum},
      {"symbolic links, to a file and to none yet",
       [](const std::string& d) {
         std::filesystem::rename(d + "/interferogram.dat", d + "/kept-samples");
         (void)!symlink("kept-samples", (d + "/interferogram.dat").c_str());
         unlink((d + "/spectrum.dat").c_str());
         (void)!symlink("kept-spectrum", (d + "/spectrum.dat").c_str());
       },
       false, "", whole, "", 0, "-> kept-samples\n" + samples, "-> kept-spectrum\n" + spectrum},
      {"writing interferogram.dat fails", [](const std::string&) {}, false,
       "trap '' XFSZ; ulimit -f 1;", opened,
       "retrieve: interferogram.dat: File too large; the file is incomplete\n", 2,
       samples.substr(0, 512), "older\n"},
      {"writing spectrum.dat fails", [](const std::string&) {}, false,
       "trap '' XFSZ; ulimit -f 2;", opened,
       "retrieve: spectrum.dat: File too large; the file is incomplete\n", 2, samples,
       spectrum.substr(0, 1024)},
      {"writing standard output fails", [](const std::string&) {}, false, "exec > /dev/full;", "",
       "retrieve: standard output: No space left on device\n", 2, samples, spectrum},
  };
  int cases_without_nobody = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    remove_tree(dir_);
    mkdir(dir_.c_str(), 0700);
    write_file(path("all.det"), text_of(e));
    write_file(path("interferogram.dat"), "old\n");
    write_file(path("spectrum.dat"), "older\n");
    c.stage(dir_);
    const std::string program = c.unprivileged ? as_unprivileged(RETRIEVE_PATH) : RETRIEVE_PATH;
    const ProgramResult r =  // an empty program (no setpriv) runs nothing
        run_program({"/bin/sh", "-c", std::string(c.shell) + " exec " + program}, "6\n", dir_);
    if (c.unprivileged && (program.empty() || unprivileged_run_impossible(r))) {
      ++cases_without_nobody;
      continue;
    }
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(describe(path("interferogram.dat")), c.interferogram);
    EXPECT_EQ(describe(path("spectrum.dat")), c.spectrum);
  }
  if (cases_without_nobody > 0) {
    GTEST_SKIP() << cases_without_nobody << " cases could not run as nobody (no setpriv, or the "
                 << "build is closed to nobody)";
  }
}

TEST_F(RetrieveTest, AnExistingFileKeepsItsModeOwnerAndLinks) {
  write_file(path("interferogram.dat"), "old\n");
  write_file(path("spectrum.dat"), "older\n");
  chmod(path("interferogram.dat").c_str(), 0640);
  ASSERT_EQ(link(path("interferogram.dat").c_str(), path("samples").c_str()), 0);
  give_to_nobody(path("spectrum.dat"));
  const ProgramResult r = run(entries({6}), "6\n");
  EXPECT_EQ(r.out, kOpening + kProcessing + progress("  6") + written("   6") + kFinished);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file("samples"), "1.5\n2.5\n");
  EXPECT_EQ(file("spectrum.dat"), "10\n20\n30\n");
  struct stat samples, spectrum;
  ASSERT_EQ(stat(path("interferogram.dat").c_str(), &samples), 0);
  ASSERT_EQ(stat(path("spectrum.dat").c_str(), &spectrum), 0);
  EXPECT_EQ(samples.st_mode & 07777, 0640u);
  EXPECT_EQ(samples.st_nlink, 2u);
  EXPECT_EQ(spectrum.st_uid, 65534u);
}

}  // namespace
