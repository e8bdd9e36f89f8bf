// Calibration of a decoded value into physical units: a polynomial in the
// decoded value, or a table of points (decoded value, physical value) with
// straight lines between them, the first and last lines carried on beyond
// the ends of the table.
#ifndef DICTIONARY_CALIBRATION_H_
#define DICTIONARY_CALIBRATION_H_

#include <cstddef>

#include "value_catalogue.h"

constexpr int kMaxPolynomialTerms = 8;  // up to x^7
constexpr int kMaxTablePoints = 64;

enum class CalibrationKind : unsigned char {
  kNone,        // the decoded value itself
  kPolynomial,  // c[0] + c[1] x + c[2] x^2 + ...
  kTable,       // points (x[i], y[i]), x strictly increasing
};

struct Calibration {
  CalibrationKind kind;
  int count;                  // coefficients or points
  double x[kMaxTablePoints];  // polynomial coefficients, or the points' decoded values
  double y[kMaxTablePoints];  // the points' physical values
};

double calibrate(const Calibration& c, int decoded);

// Whether every decoded value of the range calibrates to a finite number,
// so that no value can become infinite or undefined on the way.
bool calibration_is_finite(const Calibration& c, FormRange range);

// The calibration as an expression in x that awk and gnuplot both
// evaluate as calibrate does (numbers written in full precision, each with
// a decimal point or exponent); "x" without one.  Returns false when it
// does not fit in size bytes.
bool calibration_expression(const Calibration& c, char* text, size_t size);

#endif  // DICTIONARY_CALIBRATION_H_
