// The channel dictionary and limit checking of the C++ half of ifgtools.
#ifndef PYTHON_DICTIONARY_BINDING_H_
#define PYTHON_DICTIONARY_BINDING_H_

#include <pybind11/pybind11.h>

void bind_dictionary(pybind11::module_& m);

#endif  // PYTHON_DICTIONARY_BINDING_H_
