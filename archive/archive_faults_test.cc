// The archive programs' faults: a bad command line (status 2), inputs that
// cannot be read, outputs that cannot be written, a file-size limit,
// signals, and products that were altered or are none.  Each ends with a
// message naming the file and status 1, and leaves no output (and no
// temporary file) behind; an existing output stays as it was.
#include <gtest/gtest.h>

#include <netcdf.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "run_program.h"
#include "telemetry_files.h"

namespace {

const std::string kTlm2nc = TLM2NC_PATH;
const std::string kNc2tlm = NC2TLM_PATH;
const std::string kDet2nc = DET2NC_PATH;

std::string usage_of(const std::string& program) { return run_program({program, "-h"}).out; }

class ArchiveFaultTest : public ::testing::Test {
 protected:
  // The names in the folder, to show that nothing was left behind.
  std::string listing() { return run_shell("ls -A " + dir_.path()).out; }

  TempDir dir_;
};

TEST_F(ArchiveFaultTest, CommandLines) {
  const std::string data = dir_.put("data", synth_bytes(generated_records(2)));
  const std::string missing = dir_.path("missing");
  const std::string tlm2nc_usage = usage_of(kTlm2nc);
  const std::string nc2tlm_usage = usage_of(kNc2tlm);
  const std::string det2nc_usage = usage_of(kDet2nc);
  ASSERT_NE(tlm2nc_usage.find("usage: tlm2nc"), std::string::npos);
  const std::string not_regular = " is not a regular file: name the product with -o\n";
  // Named as output, a FIFO is refused by the programs that rename a whole
  // product onto it (nc2tlm writes into it: see Nc2tlmWritesIntoAFifoAsItIs).
  const std::string fifo = dir_.path("fifo");
  ASSERT_EQ(run_shell("mkfifo " + fifo).status, 0);
  const std::string no_fifo = fifo + ": not a regular file: a product is only written to one\n";
  expect_cases(
      kTlm2nc,
      {
          {{}, {"", "tlm2nc: no input: -F INPUT is needed\n" + tlm2nc_usage, 2}},
          {{"-F", data, "-d", "2026-02-29"},
           {"", "tlm2nc: bad date: 2026-02-29\n" + tlm2nc_usage, 2}},
          {{"-F", data, "-d", "2026-1-01"},
           {"", "tlm2nc: bad date: 2026-1-01\n" + tlm2nc_usage, 2}},
          {{"-F", data, "-z", "10"}, {"", "tlm2nc: bad deflate level: 10\n" + tlm2nc_usage, 2}},
          {{"-F", data, "more"}, {"", "tlm2nc: bad operand: more\n" + tlm2nc_usage, 2}},
          {{"-F", data, "-q"}, {"", "tlm2nc: unknown option -q\n" + tlm2nc_usage, 2}},
          {{"-F", data, "-z"}, {"", "tlm2nc: option -z needs a value\n" + tlm2nc_usage, 2}},

          {{"-F", data, "-o", fifo}, {"", "tlm2nc: " + no_fifo + tlm2nc_usage, 2}},
          {{"-F", "/dev/null"}, {"", "tlm2nc: /dev/null" + not_regular + tlm2nc_usage, 2}},
          {{"-F", dir_.path()}, {"", "tlm2nc: " + dir_.path() + not_regular + tlm2nc_usage, 2}},
          {{"-F", data, "-o", data},
           {"", "tlm2nc: " + data + ": the product would replace its own input\n" + tlm2nc_usage,
            2}},
          {{"-F", missing}, {"", "tlm2nc: " + missing + ": No such file or directory\n", 1}},
          {{"-F", data, "-o", missing + "/data.nc"},
           {"", "tlm2nc: " + missing + "/data.nc: cannot write there: No such file or directory\n",
            1}},
          // A folder opens, but cannot be read.
          {{"-F", dir_.path(), "-o", dir_.path("folder.nc")},
           {"", "tlm2nc: " + dir_.path() + ": Is a directory\n", 1}},
      });
  expect_cases(
      kNc2tlm,
      {
          {{}, {"", "nc2tlm: no product: -F PRODUCT is needed\n" + nc2tlm_usage, 2}},
          {{"-F", data, "more"}, {"", "nc2tlm: bad operand: more\n" + nc2tlm_usage, 2}},
          {{"-F", data, "-q"}, {"", "nc2tlm: unknown option -q\n" + nc2tlm_usage, 2}},
          {{"-F", data, "-o", data},
           {"",
            "nc2tlm: " + data + ": the source's bytes would replace the product itself\n" +
                nc2tlm_usage,
            2}},
          {{"-F", missing},
           {"", "nc2tlm: " + missing + ": opening: No such file or directory\n", 1}},
          {{"-F", data}, {"", "nc2tlm: " + data + ": opening: NetCDF: Unknown file format\n", 1}},
      });
  expect_cases(
      kDet2nc,
      {
          {{}, {"", "det2nc: no input: -F DETECTION is needed\n" + det2nc_usage, 2}},
          {{"-F", missing}, {"", "det2nc: " + missing + ": No such file or directory\n", 1}},
          {{"-F", "/dev/null"}, {"", "det2nc: /dev/null" + not_regular + det2nc_usage, 2}},
          {{"-F", data, "-o"}, {"", "det2nc: option -o needs a value\n" + det2nc_usage, 2}},
          {{"-F", data, "-o", fifo}, {"", "det2nc: " + no_fifo + det2nc_usage, 2}},
      });
  // A regular file behind a system name would give a product in /dev.
  EXPECT_EQ(run_shell(kTlm2nc + " -F /dev/stdin < " + data),
            (ProgramResult{"",
                           "tlm2nc: /dev/stdin is a system name: name the product with -o\n" +
                               tlm2nc_usage,
                           2}));
  EXPECT_EQ(listing(), "data\nfifo\n");
}

// A dictionary that the checker refuses, that cannot be read, or that
// names a value as one of the product's own variables: a usage error, and
// nothing written.
TEST_F(ArchiveFaultTest, DictionaryFaultsAreUsageErrors) {
  const std::string data = dir_.put("data", synth_bytes(generated_records(2)));
  const std::string entry =
      "[[channel]]\nname = \"bus\"\ndescription = \"bus\"\nunits = \"V\"\ncolumn = 12\n"
      "group = \"voltage_monitors\"\nnumber = 68\nform = \"top 12\"\n";
  const std::string limits = dir_.put("limits.toml", entry + "yellow_high = 30\nred_high = 29.5\n");
  std::string clash_text = entry;
  clash_text.replace(clash_text.find("\"bus\""), 5, "\"pressure\"");
  const std::string clash = dir_.put("clash.toml", clash_text);
  const std::string missing = dir_.path("missing.toml");
  expect_cases(
      kTlm2nc,
      {
          {{"-D", limits, "-F", data},
           {"", "tlm2nc: " + limits + ":9: bus.yellow_high: 30 lies outside its red_high 29.5\n",
            2}},
          {{"-D", clash, "-F", data},
           {"",
            "tlm2nc: " + clash +
                ":1: pressure.name: the product's housekeeping group has a variable or dimension "
                "of that name already\n",
            2}},
          {{"-D", missing, "-F", data},
           {"", "tlm2nc: " + missing + ": No such file or directory\n", 2}},
      });
  EXPECT_EQ(listing(), "clash.toml\ndata\nlimits.toml\n");
}

// A file-size limit stands in for a full disk: the product fails midway,
// or at its last chunks, and an earlier product of the same name stays.
// The source's bytes go into a FIFO named with -o, which stays a FIFO
// (renaming a whole file onto it would leave its reader waiting).
TEST_F(ArchiveFaultTest, Nc2tlmWritesIntoAFifoAsItIs) {
  const std::string data = dir_.put("data", synth_bytes(generated_records(2, 7)));
  ASSERT_EQ(run_program({kTlm2nc, "-F", data}).status, 0);
  const std::string fifo = dir_.path("fifo"), got = dir_.path("got");
  EXPECT_EQ(run_shell("mkfifo " + fifo + " && { cat " + fifo + " > " + got + " & } && " + kNc2tlm +
                      " -F " + data + ".nc -o " + fifo + " && wait && test -p " + fifo),
            (ProgramResult{"", "", 0}));
  EXPECT_EQ(dir_.read("got"), dir_.read("data"));
}

TEST_F(ArchiveFaultTest, FileSizeLimitLeavesTheOldOutput) {
  const std::string data = dir_.put("data", synth_bytes(generated_records(300)));
  const std::string product = dir_.put("data.nc", "an earlier product");
  const std::string restored = dir_.put("restored", "an earlier file");
  ASSERT_EQ(run_program({kTlm2nc, "-F", data, "-o", dir_.path("whole.nc")}).status, 0);
  const std::string limited = "trap '' XFSZ; ulimit -f ";
  for (const char* limit : {"100", "3000"}) {
    const ProgramResult r = run_shell(limited + limit + "; exec " + kTlm2nc + " -F " + data);
    EXPECT_EQ(r.status, 1) << limit;
    EXPECT_EQ(r.err.rfind("tlm2nc: " + product + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_EQ(run_shell(limited + "100; exec " + kNc2tlm + " -F " + dir_.path("whole.nc") + " -o " +
                      restored),
            (ProgramResult{"", "nc2tlm: " + restored + ": File too large\n", 1}));
  // On standard output too, without the shell's help.
  EXPECT_EQ(run_shell("ulimit -f 100; exec " + kNc2tlm + " -F " + dir_.path("whole.nc") + " > " +
                      dir_.path("out")),
            (ProgramResult{"", "nc2tlm: standard output: File too large\n", 1}));
  EXPECT_EQ(dir_.read("out").size(), 100u * 512);  // dash counts 512-byte blocks
  std::remove(dir_.path("out").c_str());
  EXPECT_EQ(dir_.read("data.nc"), "an earlier product");
  EXPECT_EQ(dir_.read("restored"), "an earlier file");
  EXPECT_EQ(listing(), "data\ndata.nc\nrestored\nwhole.nc\n");
}

TEST_F(ArchiveFaultTest, FilesTheUserMayNotReadOrWrite) {
  const std::string data = dir_.put("data", synth_bytes(generated_records(2)));
  const std::string closed = dir_.path("closed");
  mkdir(closed.c_str(), 0555);
  const std::string secret = dir_.put("secret", "x");
  chmod(secret.c_str(), 0);
  chmod(dir_.path().c_str(), 0755);
  const auto unwritable = run_unprivileged(kTlm2nc + " -F " + data + " -o " + closed + "/data.nc");
  if (!unwritable) GTEST_SKIP() << "cannot run the build as nobody here";
  EXPECT_EQ(*unwritable,
            (ProgramResult{
                "", "tlm2nc: " + closed + "/data.nc: cannot write there: Permission denied\n", 1}));
  EXPECT_EQ(*run_unprivileged(kTlm2nc + " -F " + secret + " -o " + dir_.path("s.nc")),
            (ProgramResult{"", "tlm2nc: " + secret + ": Permission denied\n", 1}));
  EXPECT_EQ(*run_unprivileged(kDet2nc + " -F " + secret + " -o " + dir_.path("s.nc")),
            (ProgramResult{"", "det2nc: " + secret + ": Permission denied\n", 1}));
}

// The program is stopped while it waits for more of its input: it removes
// its temporary file and says that nothing was written.
TEST_F(ArchiveFaultTest, SignalsLeaveNothingBehind) {
  const std::string data = dir_.put("data", synth_bytes(generated_records(5)));
  const std::string fifo = dir_.path("fifo"), product = dir_.path("out.nc");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const char* signal : {"TERM", "INT", "HUP"}) {
    const std::string script =
        "{ head -c 30000 " + data + "; exec sleep 60; } > " + fifo + " & writer=$!; " + kTlm2nc +
        " -F " + fifo + " -o " + product + " & tool=$!; " + "while ! ls " + product +
        ".tmp.* >/dev/null 2>&1; do sleep 0.02; done; sleep 0.2; " + "kill -" + signal +
        " $tool; wait $tool; status=$?; kill $writer; exit $status";
    EXPECT_EQ(
        run_shell(script),
        (ProgramResult{"", "tlm2nc: " + product + ": interrupted; nothing written there\n", 1}))
        << signal;
  }
  EXPECT_EQ(listing(), "data\nfifo\n");
}

// A product whose words, or whose size, is no longer its source's; and
// files that are no telemetry products.
TEST_F(ArchiveFaultTest, AlteredProductsAndOtherFiles) {
  const std::string data = dir_.put("data", synth_bytes(generated_records(3, 100)));
  const std::string product = dir_.path("data.nc");
  ASSERT_EQ(run_program({kTlm2nc, "-F", data}).status, 0);
  const std::string words = dir_.path("words.nc"), size = dir_.path("size.nc");
  // One word changed, and a source size that is not the product's.
  ASSERT_EQ(run_shell("cp " + product + " " + words + " && cp " + product + " " + size).status, 0);
  {
    int ncid, raw, var;
    ASSERT_EQ(nc_open(words.c_str(), NC_WRITE, &ncid), NC_NOERR);
    ASSERT_EQ(nc_inq_grp_ncid(ncid, "raw", &raw), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(raw, "words", &var), NC_NOERR);
    const size_t at[] = {1, 2, 3, 4};
    const unsigned short w = 0x1234;
    ASSERT_EQ(nc_put_var1_ushort(raw, var, at, &w), NC_NOERR);
    ASSERT_EQ(nc_close(ncid), NC_NOERR);
    ASSERT_EQ(nc_open(size.c_str(), NC_WRITE, &ncid), NC_NOERR);
    const long long bytes = 3 * 10752 + 101;
    ASSERT_EQ(nc_put_att_longlong(ncid, NC_GLOBAL, "source_bytes", NC_INT64, 1, &bytes), NC_NOERR);
    ASSERT_EQ(nc_close(ncid), NC_NOERR);
  }
  const std::string detection = dir_.put("all.det",
                                         "1 2 3\n0 1.0 2.0 0\n\n1\n2\n3\n4\n"
                                         "1 2 7\n0 1.0 2.0 0\n\n1\n2\n3\n4\n5\n6\n");
  ASSERT_EQ(run_program({kDet2nc, "-F", detection}).status, 0);
  // On standard output every byte has gone out before the check fails.
  const ProgramResult altered = run_program({kNc2tlm, "-F", words});
  EXPECT_EQ(altered.status, 1);
  EXPECT_EQ(altered.out.size(), 3u * 10752 + 100);
  EXPECT_EQ(altered.err.rfind("nc2tlm: " + words +
                                  ": altered: its bytes are not those of its "
                                  "source (SHA-256 ",
                              0),
            0u)
      << altered.err;
  const std::string out = dir_.path("restored");
  EXPECT_EQ(run_program({kNc2tlm, "-F", words, "-o", out}).status, 1);
  // Records counted past what a file can hold (the file stays small: its
  // chunks are not written).
  const std::string huge = dir_.path("huge.nc");
  ASSERT_EQ(run_shell("cp " + product + " " + huge).status, 0);
  {
    int ncid, raw, var;
    ASSERT_EQ(nc_open(huge.c_str(), NC_WRITE, &ncid), NC_NOERR);
    ASSERT_EQ(nc_inq_grp_ncid(ncid, "raw", &raw), NC_NOERR);
    const size_t far = size_t{1} << 50;
    const size_t word_at[] = {far, 0, 0, 0}, byte_at[] = {far, 0};
    const unsigned short w = 1;
    const unsigned char b = 1;
    ASSERT_EQ(nc_inq_varid(raw, "words", &var), NC_NOERR);
    ASSERT_EQ(nc_put_var1_ushort(raw, var, word_at, &w), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(raw, "trailer", &var), NC_NOERR);
    ASSERT_EQ(nc_put_var1_uchar(raw, var, byte_at, &b), NC_NOERR);
    ASSERT_EQ(nc_close(ncid), NC_NOERR);
  }
  expect_cases(
      kNc2tlm,
      {
          {{"-F", size},
           {"",
            "nc2tlm: " + size + ": altered: it holds 32356 bytes, not the 32357 of its source\n",
            1}},
          {{"-F", huge},
           {"",
            "nc2tlm: " + huge +
                ": not a telemetry product: raw/words of more records than a file can hold\n",
            1}},
          {{"-F", detection + ".nc"},
           {"",
            "nc2tlm: " + detection +
                ".nc: not a telemetry product: no source_bytes and source_sha256 attributes\n",
            1}},
      });
  EXPECT_EQ(listing(), "all.det\nall.det.nc\ndata\ndata.nc\nhuge.nc\nsize.nc\nwords.nc\n");
}

}  // namespace
