#include "free_form_value.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "short_real.h"

namespace {

ValueStatus integer_of(std::string text, int32_t& v) {
  return parse_integer(text.data(), text.data() + text.size(), v);
}

ValueStatus real_of(std::string& text, float& v) {
  return parse_real(text.data(), text.data() + text.size(), v);
}

ValueStatus real_of(const char* text, float& v) {
  std::string s(text);
  return real_of(s, v);
}

TEST(FreeFormValue, IntegersTakeSignsAndTheWhole32BitRange) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {{"0", 0},
               {"+5", 5},
               {"-0", 0},
               {"007", 7},
               {"2147483647", INT32_MAX},
               {"-2147483648", INT32_MIN}};
  for (const auto& c : cases) {
    int32_t v = 99;
    EXPECT_EQ(integer_of(c.text, v), ValueStatus::ok) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

TEST(FreeFormValue, IntegersRefuseFractionsWordsAndOverflow) {
  for (const char* text : {"", "+", "-", "1.0", "1.", "1e2", "5x", "-+5", "+-5", " 5", "0x1F"}) {
    int32_t v = 99;
    EXPECT_EQ(integer_of(text, v), ValueStatus::bad_syntax) << '"' << text << '"';
    EXPECT_EQ(v, 99) << text;
  }
  int32_t v = 99;
  EXPECT_EQ(integer_of("2147483648", v), ValueStatus::out_of_range);
  EXPECT_EQ(integer_of("-2147483649", v), ValueStatus::out_of_range);
  EXPECT_EQ(integer_of("99999999999999999999999", v), ValueStatus::out_of_range);
  EXPECT_EQ(v, 99);
}

TEST(FreeFormValue, RealsInEveryWrittenForm) {
  const struct {
    const char* text;
    float value;
  } cases[] = {{"1", 1.0f},
               {"1.", 1.0f},
               {".5", 0.5f},
               {"-.5", -0.5f},
               {"+2.5E3", 2500.0f},
               {"2.5e+3", 2500.0f},
               {"1d2", 100.0f},
               {"1D-2", 0.01f},
               {"-0.1234567D+01", -1.234567f},
               {"0.6328000E+00", 0.6328f},
               {"1e0", 1.0f}};
  for (const auto& c : cases) {
    float v = -7;
    EXPECT_EQ(real_of(c.text, v), ValueStatus::ok) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

TEST(FreeFormValue, RealsRefuseWhatIsNotANumber) {
  for (const char* text : {"", ".", "-", "+.", "e5", "1e", "1e+", "1.5x", "inf", "-inf", "nan",
                           "infinity", "0x10", "1.5+3", "+-1", "1d", "1.2.3", "1q5", "1E5.0"}) {
    float v = -7;
    EXPECT_EQ(real_of(text, v), ValueStatus::bad_syntax) << '"' << text << '"';
    EXPECT_EQ(v, -7) << text;
  }
}

TEST(FreeFormValue, RealsAreRoundedOnceToTheNearestFloat) {
  // Just above the midpoint between 1 and the next float.  Rounded to a
  // double first, it lands on the midpoint and then ties down to 1.
  float v = 0;
  ASSERT_EQ(real_of("1.0000000596046447753906251", v), ValueStatus::ok);
  EXPECT_EQ(v, std::nextafter(1.0f, 2.0f));
  ASSERT_EQ(real_of("1.000000059604644775390625", v), ValueStatus::ok);  // the midpoint: even
  EXPECT_EQ(v, 1.0f);
  ASSERT_EQ(real_of("1.0000000596046447753906251D0", v), ValueStatus::ok);
  EXPECT_EQ(v, std::nextafter(1.0f, 2.0f));
}

TEST(FreeFormValue, RealsBeyondTheLargestFloatAreOutOfRangeTinyOnesAreZero) {
  float v = -7;
  EXPECT_EQ(real_of("3.4028235e38", v), ValueStatus::ok);
  EXPECT_EQ(v, FLT_MAX);
  for (const char* text : {"3.4028236e38", "1e39", "-1e39", "1D39", "1e99999999999"}) {
    v = -7;
    EXPECT_EQ(real_of(text, v), ValueStatus::out_of_range) << text;
    EXPECT_EQ(v, -7) << text;
  }
  EXPECT_EQ(real_of("1.4e-45", v), ValueStatus::ok);
  EXPECT_EQ(v, std::numeric_limits<float>::denorm_min());
  for (const char* text : {"1e-50", "0.00001e-41", "7e-46", "1d-99999999999"}) {
    v = -7;
    EXPECT_EQ(real_of(text, v), ValueStatus::ok) << text;
    EXPECT_EQ(v, 0.0f) << text;
    EXPECT_FALSE(std::signbit(v)) << text;
  }
  EXPECT_EQ(real_of("-1e-50", v), ValueStatus::ok);
  EXPECT_TRUE(std::signbit(v));
}

// A real as the general conversion reads it: from_chars on the text with
// a D exponent as e and without a plus; false unless that takes it all.
bool general_real(std::string text, float& v) {
  for (char& c : text) {
    if (c == 'D' || c == 'd') c = 'e';
  }
  const char* begin = text.c_str() + (text[0] == '+');
  const auto [ptr, ec] = std::from_chars(begin, text.c_str() + text.size(), v);
  return ec == std::errc() && ptr == text.c_str() + text.size();
}

// Checks the quick conversion of text, where it takes the whole text,
// against the general one, to the bit; counts the takings.  The text is
// tried bare and followed by blanks, which open the road of eight
// characters at a time.
void expect_short_real_exact(const std::string& text, int& taken) {
  for (const std::string& written : {text, text + std::string(16, ' ')}) {
    float quick = -7, general = -7;
    const char* stop = convert_short_real(written.data(), written.data() + written.size(), quick);
    if (stop != written.data() + text.size()) continue;
    ++taken;
    ASSERT_TRUE(general_real(text, general)) << text;
    ASSERT_EQ(std::bit_cast<uint32_t>(quick), std::bit_cast<uint32_t>(general)) << text;
  }
}

TEST(FreeFormValue, ShortRealsAreExactlyThoseOfTheGeneralConversion) {
  std::mt19937_64 random(7);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint64_t>(n)); };
  const char* const signs[] = {"", "-", "+"};
  int taken = 0;
  // Every width of mantissa up to 20 digits, the point anywhere or nowhere,
  // exponents of every letter, sign and width.
  for (int i = 0; i < 200000; ++i) {
    std::string text = signs[pick(3)];
    const int digits = 1 + pick(20), point = pick(digits + 2);
    for (int d = 0; d < digits; ++d) {
      if (d == point) text += '.';
      text += static_cast<char>('0' + pick(10));
    }
    if (point == digits) text += '.';
    if (pick(3) > 0) {
      text += "EeDd"[pick(4)];
      text += signs[pick(3)];
      char exponent[8];
      std::snprintf(exponent, sizeof exponent, "%0*d", 1 + pick(3), pick(40));
      text += exponent;
    }
    ASSERT_NO_FATAL_FAILURE(expect_short_real_exact(text, taken));
  }
  // Just below, on and just above the midpoints between neighbouring
  // floats, in as many digits as a double holds: where a second rounding
  // would show.
  for (int i = 0; i < 100000; ++i) {
    const float f = std::ldexp(static_cast<float>(1 + pick(1 << 23)), pick(60) - 60);
    const double mid = (static_cast<double>(f) + std::nextafter(f, 2 * f)) / 2;
    for (double x : {std::nextafter(mid, 0.0), mid, std::nextafter(mid, 2 * mid)}) {
      char text[40];
      std::snprintf(text, sizeof text, "%.*e", 6 + pick(11), x);
      ASSERT_NO_FATAL_FAILURE(expect_short_real_exact(text, taken));
    }
  }
  for (const char* text : {"-0.0000000E+00", "0e99999", "16777217", "8388608.5", "1.6777219e7",
                           "0.1483091E-04", "-2780.396", "1.4830908e-05", "9007199254740991e-12",
                           ".", "-.", "+-6", "1e", "e5", ".e5", "-", "1.5e+", "12345678.9e"}) {
    ASSERT_NO_FATAL_FAILURE(expect_short_real_exact(text, taken));
  }
  EXPECT_GT(taken, 300000);
}

TEST(FreeFormValue, DExponentTextIsLeftAsItWas) {
  std::string text = "1.5D3";
  float v = 0;
  EXPECT_EQ(real_of(text, v), ValueStatus::ok);
  EXPECT_EQ(text, "1.5D3");
  text = "1.5D3x";
  EXPECT_EQ(real_of(text, v), ValueStatus::bad_syntax);
  EXPECT_EQ(text, "1.5D3x");
}

TEST(FreeFormValue, RepeatCounts) {
  std::string text = "3*1.5";
  int32_t count = 0;
  char* value = nullptr;
  ASSERT_TRUE(parse_repeat(text.data(), text.data() + text.size(), count, value));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(std::string(value), "1.5");
  text = "12*";
  ASSERT_TRUE(parse_repeat(text.data(), text.data() + text.size(), count, value));
  EXPECT_EQ(count, 12);
  EXPECT_EQ(value, text.data() + text.size());
  for (const char* bad : {"0*5", "*5", "+3*5", "-3*5", "3", "3.0*1", "99999999999*1", "3x*1"}) {
    std::string t(bad);
    EXPECT_FALSE(parse_repeat(t.data(), t.data() + t.size(), count, value)) << bad;
  }
}

}  // namespace
