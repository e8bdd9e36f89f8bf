// Faults from outside retrieve that its end-to-end tests do not stage: the
// detection file arriving in pieces, cut short while it is read, vanishing
// before the open or closed to the user; a folder the user may not write
// in; a disk that fills while the interferogram file is written.  Each
// fault ends with one line on standard error and status 2; the files of an
// earlier run stay as they were unless the fault came while one of them
// was written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "run_program.h"

namespace {

const std::string kRetrieve = RETRIEVE_PATH;
const std::string kPreload =
    "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" VANISH_PRELOAD_PATH;
const std::string kOpening =
    "\n\n\n     PROGRAM RETRIEVE\n"
    " Input ifgram. number (  1)\n"
    " Processing...............\n";

class RetrieveFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.put("interferogram.dat", "older samples\n");
    dir_.put("spectrum.dat", "older spectrum\n");
  }

  std::string path(const std::string& name) const { return dir_.path(name); }

  // A generated detection file of entries numbered from 1.
  void detections(const std::string& name, int entries, int samples, int spectrum) {
    const ProgramResult made =
        run_program({DETSYNTH_PATH, "-n", std::to_string(entries), "-s", std::to_string(samples),
                     "-c", std::to_string(spectrum), "-o", path(name)});
    ASSERT_EQ(made.status, 0) << made.err;
  }

  // retrieve started by the shell in the folder, after the given prefix of
  // variables or commands.
  ProgramResult retrieve(const std::string& prefix, const std::string& answer) {
    return run_shell(prefix + " exec " + kRetrieve, answer, dir_.path());
  }

  void expect_earlier_files_kept(bool samples_too = true) const {
    if (samples_too) {
      EXPECT_EQ(dir_.read("interferogram.dat"), "older samples\n");
    }
    EXPECT_EQ(dir_.read("spectrum.dat"), "older spectrum\n");
    for (const auto& f : std::filesystem::directory_iterator(dir_.path())) {
      const std::string name = f.path().filename().string();
      EXPECT_TRUE(name == "all.det" || name == "interferogram.dat" || name == "spectrum.dat")
          << "left behind: " << name;
    }
  }

  TempDir dir_;
};

// In small pieces, or in two with a pause between them while a signal
// handler without SA_RESTART interrupts every wait.
TEST_F(RetrieveFaultTest, DetectionFileFedInPiecesReadsWhole) {
  detections("source", 4, 300, 2000);
  std::filesystem::copy_file(path("source"), path("all.det"));
  const ProgramResult direct = retrieve("", "3\n");
  ASSERT_EQ(direct.status, 0) << direct.err;
  const std::string samples = dir_.read("interferogram.dat");
  const std::string spectrum = dir_.read("spectrum.dat");
  std::filesystem::remove(path("all.det"));
  ASSERT_EQ(mkfifo(path("all.det").c_str(), 0600), 0);
  const std::string feeds[] = {
      "(dd if=source bs=313 2>/dev/null > all.det &);",
      "(dd if=source bs=20000 count=1; sleep 0.05; dd if=source bs=20000 skip=1) 2>/dev/null "
      "> all.det & " +
          kPreload + " SIGNALS_PATH=all.det"};
  for (const std::string& feed : feeds) {
    std::filesystem::remove(path("interferogram.dat"));
    std::filesystem::remove(path("spectrum.dat"));
    EXPECT_EQ(retrieve(feed, "3\n"), direct) << feed;
    EXPECT_EQ(dir_.read("interferogram.dat"), samples);
    EXPECT_EQ(dir_.read("spectrum.dat"), spectrum);
  }
}

// The file is cut inside an early entry just after the first read: the
// scan reads on to the new end and stops there, exactly as a scan of the
// shorter file does, and no output file is touched.
TEST_F(RetrieveFaultTest, DetectionFileTruncatedWhileBeingRead) {
  constexpr size_t kKept = 100000;
  detections("all.det", 20, 500, 2000);
  ASSERT_GT(std::filesystem::file_size(path("all.det")), 2 * kKept);
  dir_.put("shorter", dir_.read("all.det").substr(0, kKept));
  const ProgramResult r =
      retrieve(kPreload + " SHRINK_PATH=all.det SHRINK_SIZE=" + std::to_string(kKept), "20\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out.find(" Finished!"), std::string::npos);
  EXPECT_NE(r.err.find("end of file"), std::string::npos) << r.err;
  std::filesystem::rename(path("shorter"), path("all.det"));
  EXPECT_EQ(r, retrieve("", "20\n"));
  expect_earlier_files_kept();
}

TEST_F(RetrieveFaultTest, DetectionFileVanishingBeforeTheOpen) {
  detections("all.det", 2, 10, 10);
  EXPECT_EQ(retrieve(kPreload + " VANISH_PATH=all.det", "1\n"),
            (ProgramResult{kOpening, "retrieve: all.det: No such file or directory\n", 2}));
  EXPECT_FALSE(std::filesystem::exists(path("all.det")));
  expect_earlier_files_kept();
}

TEST_F(RetrieveFaultTest, UnreadableDetectionFileAndUnwritableFolder) {
  detections("all.det", 2, 10, 10);
  chmod(dir_.path().c_str(), 0755);
  // The folder and the files in it belong to root: nobody may read the
  // readable files and write none, nor create any.
  const auto r = run_unprivileged(kRetrieve, "2\n", dir_.path());
  if (!r) GTEST_SKIP() << "cannot run the build as nobody here";
  EXPECT_EQ(*r, (ProgramResult{kOpening + " #=  1\n #=  2\n",
                               "retrieve: interferogram.dat: Permission denied\n", 2}));
  expect_earlier_files_kept();

  chmod(path("all.det").c_str(), 0);
  EXPECT_EQ(run_unprivileged(kRetrieve, "2\n", dir_.path()),
            (ProgramResult{kOpening, "retrieve: all.det: Permission denied\n", 2}));
  expect_earlier_files_kept();
}

// A close that fails (a file system that writes back late) leaves the file
// in doubt: the run stops there, as for a failed write.
TEST_F(RetrieveFaultTest, FailedCloseOfAnOutputFile) {
  detections("all.det", 2, 10, 10);
  const std::string written = kOpening + " #=  1\n #=  2\n Written interferogram no.=   2\n";
  for (const std::string name : {"interferogram.dat", "spectrum.dat"}) {
    EXPECT_EQ(
        retrieve(kPreload + " CLOSE_FAIL_PATH=" + name, "2\n"),
        (ProgramResult{written,
                       "retrieve: " + name + ": Input/output error; the file is incomplete\n", 2}));
  }
  const std::string spectrum = dir_.read("spectrum.dat");
  EXPECT_EQ(std::count(spectrum.begin(), spectrum.end(), '\n'), 10);
}

TEST_F(RetrieveFaultTest, DiskFillingWhileTheInterferogramIsWritten) {
  // A limit of 1024 bytes stands in for a full disk: 500 samples take more.
  detections("all.det", 2, 500, 100);
  EXPECT_EQ(
      retrieve("trap '' XFSZ; ulimit -f 2;", "2\n"),
      (ProgramResult{kOpening + " #=  1\n #=  2\n Written interferogram no.=   2\n",
                     "retrieve: interferogram.dat: File too large; the file is incomplete\n", 2}));
  EXPECT_EQ(std::filesystem::file_size(path("interferogram.dat")), 1024u);
  expect_earlier_files_kept(/*samples_too=*/false);
}

}  // namespace
