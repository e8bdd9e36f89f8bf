// A failed system call as the module reports it: OSError (FileNotFoundError,
// PermissionError, ...) with the errno, the system's text and the name of
// what failed.
#ifndef PYTHON_OS_ERROR_H_
#define PYTHON_OS_ERROR_H_

#include <pybind11/pybind11.h>

#include <cerrno>
#include <string>

[[noreturn]] inline void raise_os_error(int error, const std::string& name) {
  errno = error;
  PyErr_SetFromErrnoWithFilename(PyExc_OSError, name.c_str());
  throw pybind11::error_already_set();
}

#endif  // PYTHON_OS_ERROR_H_
