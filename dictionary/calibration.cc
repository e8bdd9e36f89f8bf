#include "calibration.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

double polynomial(const Calibration& c, double x) {
  double v = c.x[c.count - 1];
  for (int i = c.count - 2; i >= 0; --i) v = v * x + c.x[i];
  return v;
}

// The segment of the table whose line gives the value at x: the one that
// starts at or before x, the first before the table and the last after it.
int segment_of(const Calibration& c, double x) {
  int low = 0, high = c.count - 2;
  while (low < high) {
    const int mid = (low + high + 1) / 2;
    if (c.x[mid] <= x) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  return low;
}

// The line through points i and i + 1 at x, as a weighted sum.
double weighted_line(const Calibration& c, int i, double x) {
  return (c.y[i] * (c.x[i + 1] - x) + c.y[i + 1] * (x - c.x[i])) / (c.x[i + 1] - c.x[i]);
}

// The same line, except at the points: the weighted sum is one ulp off
// there for some values ((y * d) / d), so each point gives its own value as
// written, and a count on a point whose value is a limit is at it.
double table_line(const Calibration& c, int i, double x) {
  if (x == c.x[i]) return c.y[i];
  if (x == c.x[i + 1]) return c.y[i + 1];
  return weighted_line(c, i, x);
}

// A number as the expression shows it: full precision, always with a
// decimal point or an exponent, so that gnuplot does not divide integers.
int put_number(char* p, size_t size, double v) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.17g", v);
  bool real = false;
  for (const char* d = digits; *d != '\0'; ++d) real = real || *d == '.' || *d == 'e';
  return std::snprintf(p, size, "(%s%s)", digits, real ? "" : ".0");
}

// Appends formatted text; false once it no longer fits.
struct Text {
  char* p;
  size_t left;
  bool put(const char* s) {
    const int n = std::snprintf(p, left, "%s", s);
    return advance(n);
  }
  bool number(double v) { return advance(put_number(p, left, v)); }
  bool advance(int n) {
    if (n < 0 || static_cast<size_t>(n) >= left) return false;
    p += n;
    left -= static_cast<size_t>(n);
    return true;
  }
};

}  // namespace

double calibrate(const Calibration& c, int decoded) {
  const double x = decoded;
  switch (c.kind) {
    case CalibrationKind::kPolynomial: return polynomial(c, x);
    case CalibrationKind::kTable: return table_line(c, segment_of(c, x), x);
    case CalibrationKind::kNone: break;
  }
  return x;
}

bool calibration_is_finite(const Calibration& c, FormRange range) {
  if (c.kind == CalibrationKind::kPolynomial) {
    // Every partial sum of Horner's rule is bounded by the sum of the
    // terms' magnitudes at the largest |x|.
    const double m = std::fmax(1.0, std::fmax(std::fabs(range.low), std::fabs(range.high)));
    double bound = 0, power = 1;
    for (int i = 0; i < c.count; ++i, power *= m) bound += std::fabs(c.x[i]) * power;
    return bound <= DBL_MAX;
  }
  if (c.kind == CalibrationKind::kTable) {
    // Each line and each product in it is largest at an end of its stretch:
    // a point, or an end of the range.
    // The weighted sum, not the points' own values: its products are what
    // may overflow between the points.
    for (int i = 0; i + 1 < c.count; ++i) {
      if (!std::isfinite(weighted_line(c, i, c.x[i])) ||
          !std::isfinite(weighted_line(c, i, c.x[i + 1])))
        return false;
    }
    for (int x : {range.low, range.high}) {
      if (!std::isfinite(calibrate(c, x))) return false;
    }
  }
  return true;
}

bool calibration_expression(const Calibration& c, char* text, size_t size) {
  Text t{text, size};
  if (size == 0) return false;
  text[0] = '\0';
  switch (c.kind) {
    case CalibrationKind::kNone: return t.put("x");
    case CalibrationKind::kPolynomial:
      // c0+x*(c1+x*(c2))
      for (int i = 0; i < c.count; ++i) {
        if (!t.number(c.x[i])) return false;
        if (i + 1 < c.count && !t.put("+x*(")) return false;
      }
      for (int i = 1; i < c.count; ++i) {
        if (!t.put(")")) return false;
      }
      return true;
    case CalibrationKind::kTable:
      // x<x1 ? line 0 : x<x2 ? line 1 : ... : last line
      if (!t.put("(")) return false;
      for (int i = 0; i + 1 < c.count; ++i) {
        if (i + 2 < c.count && !(t.put("x<") && t.number(c.x[i + 1]) && t.put("?"))) return false;
        if (!(t.put("((") && t.number(c.y[i]) && t.put("*(") && t.number(c.x[i + 1]) &&
              t.put("-x)+") && t.number(c.y[i + 1]) && t.put("*(x-") && t.number(c.x[i]) &&
              t.put("))/(") && t.number(c.x[i + 1]) && t.put("-") && t.number(c.x[i]) &&
              t.put("))"))) {
          return false;
        }
        if (i + 2 < c.count && !t.put(":")) return false;
      }
      return t.put(")");
  }
  return false;
}
