// The detection-file functions of the C++ half of ifgtools.
#ifndef PYTHON_DETECTION_READER_H_
#define PYTHON_DETECTION_READER_H_

#include <pybind11/pybind11.h>

void bind_detection(pybind11::module_& m);

#endif  // PYTHON_DETECTION_READER_H_
