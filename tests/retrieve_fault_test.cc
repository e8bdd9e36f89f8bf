// Faults from outside retrieve that its end-to-end tests do not stage: the
// detection file arriving in pieces, cut short while it is read, vanishing
// before the open or closed to the user; a folder the user may not write
// in; a disk that fills while the interferogram file is written.  Each
// fault ends with one line on standard error and status 2; the files of an
// earlier run stay as they were unless the fault came while one of them
// was written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "run_program.h"

namespace {

const std::string kRetrieve = RETRIEVE_PATH;
const std::string kPreload = "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=" VANISH_PRELOAD_PATH;
const std::string kOpening =
    "\n\n\n     PROGRAM RETRIEVE\n"
    " Input ifgram. number (  1)\n"
    " Processing...............\n";

class RetrieveFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir();
    write_file(path("interferogram.dat"), "older samples\n");
    write_file(path("spectrum.dat"), "older spectrum\n");
  }
  void TearDown() override { remove_tree(dir_); }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }

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
    return run_program({"/bin/sh", "-c", prefix + " exec " + kRetrieve}, answer, dir_);
  }

  void expect_earlier_files_kept(bool samples_too = true) const {
    if (samples_too) {
      EXPECT_EQ(read_file(path("interferogram.dat")), "older samples\n");
    }
    EXPECT_EQ(read_file(path("spectrum.dat")), "older spectrum\n");
    for (const auto& f : std::filesystem::directory_iterator(dir_)) {
      const std::string name = f.path().filename().string();
      EXPECT_TRUE(name == "all.det" || name == "interferogram.dat" || name == "spectrum.dat")
          << "left behind: " << name;
    }
  }

  std::string dir_;
};

TEST_F(RetrieveFaultTest, DetectionFileFedInSmallPiecesReadsWhole) {
  detections("source", 4, 300, 2000);
  std::filesystem::copy_file(path("source"), path("all.det"));
  const ProgramResult direct = retrieve("", "3\n");
  ASSERT_EQ(direct.status, 0) << direct.err;
  const std::string samples = read_file(path("interferogram.dat"));
  const std::string spectrum = read_file(path("spectrum.dat"));
  std::filesystem::remove(path("all.det"));
  std::filesystem::remove(path("interferogram.dat"));
  std::filesystem::remove(path("spectrum.dat"));
  ASSERT_EQ(mkfifo(path("all.det").c_str(), 0600), 0);
  const ProgramResult r = retrieve("(dd if=source bs=313 2>/dev/null > all.det &);", "3\n");
  EXPECT_EQ(r.out, direct.out);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(path("interferogram.dat")), samples);
  EXPECT_EQ(read_file(path("spectrum.dat")), spectrum);
}

// The file is cut inside an early entry just after the first read: the
// scan reads on to the new end and stops there, exactly as a scan of the
// shorter file does, and no output file is touched.
TEST_F(RetrieveFaultTest, DetectionFileTruncatedWhileBeingRead) {
  constexpr size_t kKept = 100000;
  detections("all.det", 20, 500, 2000);
  ASSERT_GT(std::filesystem::file_size(path("all.det")), 2 * kKept);
  write_file(path("shorter"), read_file(path("all.det")).substr(0, kKept));
  const ProgramResult r =
      retrieve(kPreload + " SHRINK_PATH=all.det SHRINK_SIZE=" + std::to_string(kKept), "20\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out.find(" Finished!"), std::string::npos);
  EXPECT_NE(r.err.find("end of file"), std::string::npos) << r.err;
  std::filesystem::rename(path("shorter"), path("all.det"));
  const ProgramResult expected = retrieve("", "20\n");
  EXPECT_EQ(r.out, expected.out);
  EXPECT_EQ(r.err, expected.err);
  expect_earlier_files_kept();
}

TEST_F(RetrieveFaultTest, DetectionFileVanishingBeforeTheOpen) {
  detections("all.det", 2, 10, 10);
  const ProgramResult r = retrieve(kPreload + " VANISH_PATH=all.det", "1\n");
  EXPECT_EQ(r.out, kOpening);
  EXPECT_EQ(r.err, "retrieve: all.det: No such file or directory\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_FALSE(std::filesystem::exists(path("all.det")));
  expect_earlier_files_kept();
}

TEST_F(RetrieveFaultTest, UnreadableDetectionFileAndUnwritableFolder) {
  detections("all.det", 2, 10, 10);
  chmod(dir_.c_str(), 0755);
  const std::string command = as_unprivileged(kRetrieve);
  if (command.empty()) GTEST_SKIP() << "no setpriv to drop root";

  // The folder and the files in it belong to root: nobody may read the
  // readable files and write none, nor create any.
  ProgramResult r = run_program({"/bin/sh", "-c", command}, "2\n", dir_);
  if (unprivileged_run_impossible(r)) GTEST_SKIP() << "nobody cannot run the build: " << r.err;
  EXPECT_EQ(r.out, kOpening + " #=  1\n #=  2\n");
  EXPECT_EQ(r.err, "retrieve: interferogram.dat: Permission denied\n");
  EXPECT_EQ(r.status, 2);
  expect_earlier_files_kept();

  chmod(path("all.det").c_str(), 0);
  r = run_program({"/bin/sh", "-c", command}, "2\n", dir_);
  EXPECT_EQ(r.out, kOpening);
  EXPECT_EQ(r.err, "retrieve: all.det: Permission denied\n");
  EXPECT_EQ(r.status, 2);
  expect_earlier_files_kept();
}

TEST_F(RetrieveFaultTest, DiskFillingWhileTheInterferogramIsWritten) {
  // A limit of 1024 bytes stands in for a full disk: 500 samples take more.
  detections("all.det", 2, 500, 100);
  const ProgramResult r = retrieve("trap '' XFSZ; ulimit -f 2;", "2\n");
  EXPECT_EQ(r.out, kOpening + " #=  1\n #=  2\n Written interferogram no.=   2\n");
  EXPECT_EQ(r.err, "retrieve: interferogram.dat: File too large; the file is incomplete\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(std::filesystem::file_size(path("interferogram.dat")), 1024u);
  expect_earlier_files_kept(/*samples_too=*/false);
}

}  // namespace
