#include "int_format.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <string>

namespace {

std::string text(char* begin, char* end) { return std::string(begin, end); }

// Values around every digit-count boundary, both signs, and the extremes.
std::vector<int64_t> awkward_values() {
  std::vector<int64_t> v = {0, INT64_MIN, INT64_MAX, INT32_MIN, INT32_MAX, -131080, 131056, 65535};
  int64_t p = 1;
  for (int i = 0; i < 18; ++i, p *= 10) {
    for (int64_t d : {-1, 0, 1}) {
      v.push_back(p + d);
      v.push_back(-(p + d));
    }
  }
  return v;
}

TEST(IntFormat, MatchesPrintfForDecimalWithAndWithoutWidth) {
  char buf[64], want[64];
  for (int64_t v : awkward_values()) {
    std::snprintf(want, sizeof want, "%" PRId64, v);
    EXPECT_EQ(text(buf, format_int(buf, v)), want) << v;
    for (int width : {1, 2, 4, 5, 12}) {
      std::snprintf(want, sizeof want, "%*" PRId64, width, v);
      EXPECT_EQ(text(buf, format_int_width(buf, v, width)), want) << v << " width " << width;
    }
  }
}

TEST(IntFormat, ShortFieldsMatchPrintfForEveryValueOfSixDigitsAndEveryBoundary) {
  char buf[64], want[64];
  std::vector<int32_t> values;
  for (int32_t v = -1048640; v <= 1048640; v += (v > -200000 && v < 200000) ? 1 : 97)
    values.push_back(v);
  for (int64_t v : awkward_values()) {
    if (v >= INT32_MIN && v <= INT32_MAX) values.push_back(static_cast<int32_t>(v));
  }
  for (int32_t v : values) {
    // 0 and 9 lie outside the table of field lengths and take the general path.
    for (int width : {0, 1, 2, 3, 4, 5, 8, 9}) {
      const int n = std::snprintf(want, sizeof want, "%*d", width, v);
      ASSERT_EQ(text(buf, format_short_width(buf, v, width)), std::string(want, n))
          << v << " width " << width;
    }
  }
}

TEST(IntFormat, MatchesPrintfForHexadecimal) {
  char buf[64], want[64];
  for (uint64_t v : {0ull, 1ull, 0xFull, 0x10ull, 0x146Full, 0xABCDull, 0xFFFFull, ~0ull}) {
    std::snprintf(want, sizeof want, "%" PRIx64, v);
    EXPECT_EQ(text(buf, format_hex(buf, v)), want);
  }
}

TEST(IntFormat, FixedFieldFillsWithAsterisksWhenTheNumberDoesNotFit) {
  char buf[32];
  EXPECT_EQ(text(buf, format_fixed_field(buf, 7, 3)), "  7");
  EXPECT_EQ(text(buf, format_fixed_field(buf, 999, 3)), "999");
  EXPECT_EQ(text(buf, format_fixed_field(buf, -99, 3)), "-99");
  EXPECT_EQ(text(buf, format_fixed_field(buf, 1000, 3)), "***");
  EXPECT_EQ(text(buf, format_fixed_field(buf, -100, 3)), "***");
  EXPECT_EQ(text(buf, format_fixed_field(buf, 1000, 4)), "1000");
  EXPECT_EQ(text(buf, format_fixed_field(buf, INT64_MIN, 4)), "****");
}

}  // namespace
