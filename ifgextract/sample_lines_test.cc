#include "sample_lines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string printf_lines(const char* fmt2, int64_t record, int sub, unsigned ifg, unsigned status,
                         const std::vector<int32_t>& a, const std::vector<int32_t>& b) {
  std::string s;
  char line[128];
  for (size_t i = 0; i < a.size(); ++i) {
    if (b.empty())
      std::snprintf(line, sizeof line, fmt2, static_cast<int>(record), sub, ifg, status, a[i]);
    else
      std::snprintf(line, sizeof line, fmt2, static_cast<int>(record), sub, ifg, status, a[i],
                    b[i]);
    s += line;
  }
  return s;
}

TEST(SampleLines, MatchThePrintfFormatsForEveryWidth) {
  const std::vector<int32_t> d1 = {0,      -1,     9,        -9999,     99999,
                                   -16385, 131056, -1048640, INT32_MIN, INT32_MAX};
  const std::vector<int32_t> d2 = {5,      12345,   -12345,  7,         0,
                                   131056, -131080, 1048640, INT32_MAX, INT32_MIN};
  std::vector<char> buf(max_sample_lines_bytes(static_cast<int>(d1.size())));
  for (int64_t record : {2, 99999, 100000, 2147483647}) {
    for (unsigned ifg : {0u, 7u, 65535u}) {
      for (unsigned status : {0u, 0x20u}) {
        LinePrefix prefix;
        make_line_prefix(prefix, record, 2, ifg, status);
        char* end = write_detector_lines(buf.data(), prefix, d1.data(), d2.data(),
                                         static_cast<int>(d1.size()));
        EXPECT_EQ(std::string(buf.data(), end),
                  printf_lines("%5d %1d %5d %x %5d %5d\n", record, 2, ifg, status, d1, d2));
      }
    }
  }
}

TEST(SampleLines, CarriageLinesCoverTheWholeTwelveBitRange) {
  std::vector<int32_t> values;
  for (int v = 0; v < 4096; v += 7) values.push_back(v);
  values.push_back(4095);
  std::vector<char> buf(max_sample_lines_bytes(static_cast<int>(values.size())));
  LinePrefix prefix;
  make_line_prefix(prefix, 12, 1, 300, 0x20);
  char* end =
      write_carriage_lines(buf.data(), prefix, values.data(), static_cast<int>(values.size()));
  EXPECT_EQ(std::string(buf.data(), end),
            printf_lines("%5d %1d %5d %x %5d\n", 12, 1, 300, 0x20, values, {}));
}

}  // namespace
