// A failed system call as the module reports it: OSError (FileNotFoundError,
// PermissionError, ...) with the errno, the system's text and the name of
// what failed.
#ifndef PYTHON_OS_ERROR_H_
#define PYTHON_OS_ERROR_H_

#include <fcntl.h>
#include <pybind11/pybind11.h>

#include <cerrno>
#include <string>

[[noreturn]] inline void raise_os_error(int error, const std::string& name) {
  errno = error;
  PyErr_SetFromErrnoWithFilename(PyExc_OSError, name.c_str());
  throw pybind11::error_already_set();
}

// Opens path for reading; name is what a failure names.  A FIFO's open waits
// for its writer, perhaps a thread of this interpreter, so the interpreter's
// lock is released meanwhile.  Python installs its signal handlers without
// SA_RESTART: a signal that interrupts the wait runs them (Ctrl-C raises
// KeyboardInterrupt) and the open is tried again.
inline int open_for_reading(const std::string& path, const std::string& name) {
  for (;;) {
    int fd;
    int error;
    {
      pybind11::gil_scoped_release unlocked;
      fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
      error = errno;
    }
    if (fd >= 0) return fd;
    if (error != EINTR) raise_os_error(error, name);
    if (PyErr_CheckSignals() != 0) throw pybind11::error_already_set();
  }
}

#endif  // PYTHON_OS_ERROR_H_
