// One call at a time on an object of the module.  Its calls release the
// interpreter's lock while they read and decode, so a second thread could
// otherwise enter the same object's run half-way: the guard refuses it
// with RuntimeError instead.
#ifndef PYTHON_BUSY_GUARD_H_
#define PYTHON_BUSY_GUARD_H_

#include <stdexcept>

struct BusyGuard {
  bool& busy;
  explicit BusyGuard(bool& flag) : busy(flag) {
    if (busy) throw std::runtime_error("ifgtools: this object is in use by another thread");
    busy = true;
  }
  ~BusyGuard() { busy = false; }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;
};

#endif  // PYTHON_BUSY_GUARD_H_
