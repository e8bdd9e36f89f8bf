// The values a channel dictionary names, in a telemetry product (tlm2nc -D).
//
// Each entry becomes a variable of the housekeeping group along line,
// named as the entry: the value calibrated into the entry's units, as
// float64 (the very number hkmonitor compares with the limits), with the
// description as long_name, the units, the calibration, the limits and the
// persistence as attributes, and where its counts are (counts_variable and,
// in a variable of a group or of every channel, counts_index along its
// second dimension).  Each variable of counts that holds a named value gets
// value_names: the name of each of its values in order, "-" where the
// dictionary names none.  The counts themselves stay as they are.
#ifndef ARCHIVE_NAMED_VALUES_H_
#define ARCHIVE_NAMED_VALUES_H_

#include "product_layout.h"

// Where a decoded value's counts lie in the housekeeping group.
struct CountsPlace {
  const char* variable;  // "pressure", "raw_channels", "hour", ...
  int index;             // along its second dimension; -1 for a variable of single values
};

CountsPlace counts_place(const Product& p, const DecodedValue& v);

// Defines the variable of every value that p.dictionary names in the
// housekeeping group (its dimension line), and the value_names of the
// variables of counts.
void define_named_values(Product& p, int line, const ProductSettings& s);

#endif  // ARCHIVE_NAMED_VALUES_H_
