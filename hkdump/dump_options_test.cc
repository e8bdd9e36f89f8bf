#include "dump_options.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(FormatOffset, ReadsLikeAtoi) {
  EXPECT_EQ(parse_format_offset("52"), 52);
  EXPECT_EQ(parse_format_offset(" \t\n-12abc"), -12);
  EXPECT_EQ(parse_format_offset("+7"), 7);
  EXPECT_EQ(parse_format_offset("007"), 7);
  EXPECT_EQ(parse_format_offset("abc"), 0);
  EXPECT_EQ(parse_format_offset(""), 0);
  EXPECT_EQ(parse_format_offset("-"), 0);
  EXPECT_EQ(parse_format_offset("- 5"), 0);
  EXPECT_EQ(parse_format_offset("3 4"), 3);
}

TEST(FormatOffset, HoldsAtTheIntLimits) {
  EXPECT_EQ(parse_format_offset("2147483647"), INT_MAX);
  EXPECT_EQ(parse_format_offset("-2147483648"), INT_MIN);
  EXPECT_EQ(parse_format_offset("2147483648"), INT_MAX);
  EXPECT_EQ(parse_format_offset("-2147483649"), INT_MIN);
  EXPECT_EQ(parse_format_offset("-21474836470"), INT_MIN);  // one digit more than INT_MAX has
  EXPECT_EQ(parse_format_offset("99999999999999999999999999999"), INT_MAX);
  EXPECT_EQ(parse_format_offset("-00000000000000000000000000012"), -12);
  EXPECT_EQ(parse_format_offset("-99999999999999999999999999999x"), INT_MIN);
  // Numbers of 20 digits and more pass 2^64, where an unheld value wraps.
  EXPECT_EQ(parse_format_offset("18446744073709551616"), INT_MAX);
  EXPECT_EQ(parse_format_offset("-18446744073709551621"), INT_MIN);
}

}  // namespace
