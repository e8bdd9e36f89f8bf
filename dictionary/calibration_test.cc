// Calibration against values worked out by hand, and its expression as awk
// evaluates it.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdio>
#include <string>
#include <vector>

#include "calibration.h"

namespace {

Calibration polynomial(std::vector<double> c) {
  Calibration cal{};
  cal.kind = CalibrationKind::kPolynomial;
  cal.count = static_cast<int>(c.size());
  for (size_t i = 0; i < c.size(); ++i) cal.x[i] = c[i];
  return cal;
}

Calibration table(std::vector<std::pair<double, double>> points) {
  Calibration cal{};
  cal.kind = CalibrationKind::kTable;
  cal.count = static_cast<int>(points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    cal.x[i] = points[i].first;
    cal.y[i] = points[i].second;
  }
  return cal;
}

const Calibration kLine = polynomial({-2.5, 0.5});
const Calibration kCubic = polynomial({1, -2, 0, 0.25});
const Calibration kThermistor = table({{0, -60}, {1200, -20}, {2800, 20}, {4095, 70}});

struct Point {
  const Calibration* calibration;
  int decoded;
  double want;
};

TEST(Calibration, HandComputedValues) {
  const Calibration none{};
  const std::vector<Point> points = {
      {&none, -65535, -65535},
      {&none, 4095, 4095},
      {&kLine, 0, -2.5},
      {&kLine, 4095, 2045},
      {&kLine, -3, -4},
      {&kCubic, 2, -1},        // 1 - 4 + 0.25 * 8
      {&kCubic, -4, -7},       // 1 + 8 - 16
      {&kCubic, 100, 249801},  // 1 - 200 + 250000
      // The table: each point's own value, both ends included ...
      {&kThermistor, 0, -60},
      {&kThermistor, 1200, -20},
      {&kThermistor, 2800, 20},
      {&kThermistor, 4095, 70},
      // ... straight lines between them ...
      {&kThermistor, 600, -40},
      {&kThermistor, 2000, 0},
      {&kThermistor, 3000, 20 + 200 * 50.0 / 1295},
      // ... and the end lines carried on beyond the ends.
      {&kThermistor, -300, -70},
      {&kThermistor, 5390, 120},
  };
  for (const Point& p : points) {
    EXPECT_DOUBLE_EQ(calibrate(*p.calibration, p.decoded), p.want) << p.decoded;
  }
}

// A point's value exactly as written, so that a count on a point whose
// value equals a limit is at the limit, not one ulp past it.
TEST(Calibration, TablePointsGiveTheirOwnValueExactly) {
  const Calibration tenths = table({{0, 0.0}, {1, 0.1}, {4, 1.0}});  // 0.1 * 3 / 3 != 0.1
  const std::vector<Point> points = {
      {&tenths, 0, 0.0}, {&tenths, 1, 0.1}, {&tenths, 4, 1.0},
      {&kThermistor, 0, -60}, {&kThermistor, 1200, -20}, {&kThermistor, 4095, 70},
  };
  for (const Point& p : points) EXPECT_EQ(calibrate(*p.calibration, p.decoded), p.want) << p.decoded;
}

// The expression evaluated by awk for each decoded value.
std::vector<double> awk_values(const Calibration& c, const std::vector<int>& decoded) {
  char expression[8192];
  EXPECT_TRUE(calibration_expression(c, expression, sizeof expression));
  std::string command = "awk '{ x = $1; printf \"%.17g\\n\", " + std::string(expression) + " }'";
  std::string input;
  for (int d : decoded) input += std::to_string(d) + "\n";
  const std::string script = command + " <<'END'\n" + input + "END\n";
  std::vector<double> values;
  FILE* pipe = popen(script.c_str(), "r");
  double v;
  while (pipe != nullptr && std::fscanf(pipe, "%lf", &v) == 1) values.push_back(v);
  if (pipe != nullptr) pclose(pipe);
  return values;
}

TEST(Calibration, ExpressionGivesTheSameValues) {
  const std::vector<int> decoded = {-300, 0, 1, 600, 1199, 1200, 1201, 2800, 3000, 4095, 5390};
  const Calibration two_points = table({{-65535, 1e-3}, {65535, -7.25}});
  for (const Calibration* c : {&kLine, &kCubic, &kThermistor, &two_points}) {
    const std::vector<double> got = awk_values(*c, decoded);
    ASSERT_EQ(got.size(), decoded.size());
    for (size_t i = 0; i < decoded.size(); ++i) {
      EXPECT_NEAR(got[i], calibrate(*c, decoded[i]), 1e-12 * (1 + std::abs(got[i]))) << decoded[i];
    }
  }
  char text[64];
  EXPECT_TRUE(calibration_expression(Calibration{}, text, sizeof text));
  EXPECT_STREQ(text, "x");
  EXPECT_TRUE(calibration_expression(polynomial({3, -1}), text, sizeof text));
  EXPECT_STREQ(text, "(3.0)+x*((-1.0))");  // whole numbers keep a decimal point
  EXPECT_FALSE(calibration_expression(kThermistor, text, sizeof text));
}

TEST(Calibration, ValuesThatWouldNotBeFiniteAreFound) {
  const FormRange raw = {0, 65535}, flag = {0, 1};
  struct Case {
    Calibration c;
    FormRange range;
    bool finite;
  };
  const std::vector<Case> cases = {
      {polynomial({0, 0, 0, 0, 0, 0, 0, 1}), raw, true},       // 65535^7 is about 5e33
      {polynomial({0, 0, 0, 0, 0, 0, 0, 1e276}), raw, false},  // and 5e309 is not a double
      {polynomial({0, 0, 0, 0, 0, 0, 0, 1e276}), flag, true},
      {polynomial({DBL_MAX, DBL_MAX}), flag, false},
      {table({{0, -DBL_MAX}, {1, DBL_MAX}}), flag, true},  // the points themselves
      {table({{0, -DBL_MAX}, {1, DBL_MAX}}), raw, false},  // but not on to 65535
      {table({{0, 1e305}, {65535, 1e305}}), raw, false},   // products between the points
      {table({{0, 1e305}, {1, 1e305}}), raw, false},       // the products at 65535 overflow
      {table({{0, 1e300}, {65535, 1e300}}), raw, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(calibration_is_finite(c.c, c.range), c.finite) << c.c.x[c.c.count - 1];
  }
}

}  // namespace
