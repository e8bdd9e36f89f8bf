// det2nc's products: every value of every entry as retrieve's reader reads
// it (null values keeping what the entry before left, counts of zero),
// NaN beyond each entry's count, every entry however many, and the
// reader's own messages on a fault.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "product_checks.h"
#include "run_program.h"

namespace {

const std::string kDet2nc = DET2NC_PATH;
const std::string kDetsynth = DETSYNTH_PATH;

// Three entries.  The samples widen from the first entry to the second
// and stop in the third; the spectrum starts with none and narrows.  A
// group of no values takes one line, whatever it holds; the null value in
// the second entry's first trailer group keeps the first entry's value; the
// number is the third value of group 8, whatever group 1 says.
const char kEntries[] =
    "1 2 101\n3 0.5 -1.5 7\n1.0 2.0 3.0\n0.125\n0.25\n0.375\n0.5\n"
    "11 12 101\n0 10.0 20.0 9\nanything\n1\n2\n3\n4\n5\n6\n"
    "5 6 7\n4 1.0 1.0 0\n4,5\n6 7\n,\n0.75\n0.875\n1.0\n"
    "8 9 102\n2 3.0 4.0 1\n9.5 10.5\n-1\n-2\n-3\n-4\n-5\n-6\n"
    "7 8 9\n0 2 2 2\nx\n1\n1\n1\n1\n"
    "9 9 103\n1 5 6 7\n8.5\n1\n1\n1\n1\n1\n1\n";

// NaN shown as a word, so that vectors of floats compare.
std::vector<std::string> shown(const std::vector<float>& values) {
  std::vector<std::string> out;
  for (float v : values) out.push_back(std::isnan(v) ? "NaN" : std::to_string(v));
  return out;
}

std::vector<std::string> shown(std::initializer_list<double> values) {
  std::vector<float> f;
  for (double v : values) f.push_back(static_cast<float>(v));
  return shown(f);
}

TEST(Det2nc, EveryValueOfEveryEntry) {
  const TempDir dir;
  const std::string path = dir.put("all.det", kEntries);
  ASSERT_EQ(run_program({kDet2nc, "-F", path}), (ProgramResult{"", "", 0}));
  const OpenProduct p(path + ".nc");
  const double nan = std::nan("");
  const std::pair<const char*, std::vector<int32_t>> integers[] = {
      {"number", {101, 102, 103}},
      {"first", {1, 2, 101, 5, 6, 7, 7, 8, 9}},
      {"spectrum_header", {11, 12, 101, 8, 9, 102, 9, 9, 103}},
      {"sample_count", {3, 4, 0}},
      {"sample_code", {7, 0, 2}},
      {"spectrum_count", {0, 2, 1}},
      {"spectrum_code", {9, 1, 7}},
  };
  for (const auto& [name, values] : integers)
    EXPECT_EQ(p.values<int32_t>("", name), values) << name;
  const std::pair<const char*, std::vector<std::string>> reals[] = {
      {"sample_axis", shown({0.5, -1.5, 1, 1, 2, 2})},
      {"spectral_axis", shown({10, 20, 3, 4, 5, 6})},
      {"samples", shown({1, 2, 3, nan, 4, 5, 6, 7, nan, nan, nan, nan})},
      {"spectrum", shown({nan, nan, 9.5, 10.5, 8.5, nan})},
      {"interferogram_trailer",
       shown({0.125, 0.25, 0.375, 0.5, 0.125, 0.75, 0.875, 1, 1, 1, 1, 1})},
      {"spectrum_trailer", shown({1, 2, 3, 4, 5, 6, -1, -2, -3, -4, -5, -6, 1, 1, 1, 1, 1, 1})},
  };
  for (const auto& [name, values] : reals)
    EXPECT_EQ(shown(p.values<float>("", name)), values) << name;
  for (const char* dimension : {"entry", "sample", "spectral_point", "header_value", "axis_value",
                                "interferogram_trailer_value", "spectrum_trailer_value"}) {
    EXPECT_NE(p.length("", dimension), SIZE_MAX) << dimension;
  }
  EXPECT_EQ(p.text("", "source"), "all.det");
}

// retrieve stops at its thousandth entry; the product holds them all.
TEST(Det2nc, MoreEntriesThanRetrieveLooksAt) {
  const TempDir dir;
  const std::string path = dir.path("many.det");
  ASSERT_EQ(run_program({kDetsynth, "-n", "1003", "-s", "2", "-c", "3", "-o", path}).status, 0);
  ASSERT_EQ(run_program({kDet2nc, "-F", path}).status, 0);
  const auto numbers = OpenProduct(path + ".nc").values<int32_t>("", "number");
  ASSERT_EQ(numbers.size(), 1003u);
  EXPECT_EQ(numbers.back(), 1003);
}

TEST(Det2nc, FaultsOfTheFileEndWithTheReadersMessage) {
  const TempDir dir;
  const std::string bad = dir.put("bad.det", "1 2 3\n2 1.0 1.0 0\n1.5x 2\n");
  const std::string cut = dir.put("cut.det", "1 2 3\n2 1.0 1.0 0\n");
  expect_cases(
      kDet2nc,
      {
          {{"-F", bad},
           {"",
            "det2nc: " + bad + ":3: bad real \"1.5x\" in the interferogram samples of entry 1\n",
            1}},
          {{"-F", cut},
           {"",
            "det2nc: " + cut +
                ":3: end of file where a real was expected in the interferogram samples of entry "
                "1\n",
            1}},
      });
  EXPECT_FALSE(dir.has("bad.det.nc"));
  EXPECT_FALSE(dir.has("cut.det.nc"));
}

}  // namespace
