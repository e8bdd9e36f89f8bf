// A contiguous bytes-like object (bytes, bytearray, memoryview, a NumPy
// array) held for the length of a call.
#ifndef PYTHON_BYTES_VIEW_H_
#define PYTHON_BYTES_VIEW_H_

#include <pybind11/pybind11.h>

#include <cstddef>

struct BytesView {
  Py_buffer view;
  explicit BytesView(pybind11::handle object) {
    if (PyObject_GetBuffer(object.ptr(), &view, PyBUF_C_CONTIGUOUS) != 0) {
      throw pybind11::error_already_set();
    }
  }
  ~BytesView() { PyBuffer_Release(&view); }
  BytesView(const BytesView&) = delete;
  BytesView& operator=(const BytesView&) = delete;
  const unsigned char* data() const { return static_cast<const unsigned char*>(view.buf); }
  size_t size() const { return static_cast<size_t>(view.len); }
};

#endif  // PYTHON_BYTES_VIEW_H_
