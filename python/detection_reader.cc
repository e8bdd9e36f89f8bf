// read_detection: the entries of a detection file read by retrieve's own
// free-form reader and entry reading, with its rules and its limits of 500
// samples and 25000 spectrum values, handed over as NumPy arrays.
#include "detection_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <pybind11/numpy.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "bytes_view.h"
#include "detection_scan.h"
#include "os_error.h"

namespace py = pybind11;

namespace {

// Text from a bytes-like object.
struct MemorySource {
  const char* data;
  size_t size;
  size_t at;
};

long read_memory(void* source, char* buffer, size_t size) {
  auto* m = static_cast<MemorySource*>(source);
  const size_t n = std::min(size, m->size - m->at);
  std::memcpy(buffer, m->data + m->at, n);
  m->at += n;
  return static_cast<long>(n);
}

// Text from a file object, through the package's read_into(buffer), which
// gives the count of bytes it put into the buffer and raises for anything
// else.  A Python exception is kept to be raised again once the reader has
// given up.
struct FileObjectSource {
  py::object read_into;
  std::optional<py::error_already_set> error;
};

long read_file_object(void* source, char* buffer, size_t size) {
  auto* f = static_cast<FileObjectSource*>(source);
  try {
    py::object view = py::reinterpret_steal<py::object>(
        PyMemoryView_FromMemory(buffer, static_cast<Py_ssize_t>(size), PyBUF_WRITE));
    if (!view) throw py::error_already_set();
    const long n = f->read_into(view).cast<long>();
    // The reader trusts the count with its buffer: never one beyond it.
    if (n < 0 || static_cast<size_t>(n) > size)
      throw py::value_error("ifgtools: a read gave a count outside its buffer");
    return n;
  } catch (py::error_already_set& e) {
    f->error = std::move(e);
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_ValueError, e.what());
    f->error = py::error_already_set();
  }
  errno = EIO;
  return -1;
}

// What the reading holds for the length of one call; large, so not on the stack.
struct DetectionReading {
  FreeFormReader reader;
  DetectionEntry entry;
  Message message;
};

std::unique_ptr<DetectionReading> new_reading() {
  auto d = std::make_unique<DetectionReading>();
  d->entry = DetectionEntry{};
  return d;
}

py::array_t<float> values_of(const float* values, int32_t count) {
  const py::ssize_t n = count > 0 ? count : 0;
  py::array_t<float> a(n);
  if (n > 0) std::memcpy(a.mutable_data(), values, static_cast<size_t>(n) * sizeof(float));
  return a;
}

template <size_t N>
py::tuple ints_of(const int32_t (&values)[N]) {
  py::tuple t(N);
  for (size_t i = 0; i < N; ++i) t[i] = py::int_(values[i]);
  return t;
}

template <size_t N>
py::tuple reals_of(const float (&values)[N]) {
  py::tuple t(N);
  for (size_t i = 0; i < N; ++i) t[i] = py::float_(values[i]);
  return t;
}

[[noreturn]] void raise_fault(const DetectionReading& d, const std::string& name,
                              const FileObjectSource* file) {
  if (file != nullptr && file->error) throw *file->error;
  if (d.reader.fault.error != 0) raise_os_error(d.reader.fault.error, name);
  throw py::value_error(d.message.text);
}

// The entries, each as the fields of DetectionEntry in its order.
py::list read_entries(DetectionReading& d, const std::string& name, long max_entries,
                      const FileObjectSource* file) {
  py::list entries;
  for (int index = 1; max_entries < 0 || index <= max_entries; ++index) {
    ScanContext c{d.reader, name.c_str(), index, d.message};
    DetectionEntry& e = d.entry;
    EntryPart head;
    bool whole;
    {
      // A file object's readinto needs the interpreter; other sources do not.
      std::optional<py::gil_scoped_release> unlocked;
      if (file == nullptr) unlocked.emplace();
      head = read_entry_head(c, e);
      whole = head == EntryPart::ok && read_entry_spectrum(c, e);
    }
    if (head == EntryPart::ended) break;
    if (!whole) raise_fault(d, name, file);
    entries.append(py::make_tuple(
        e.header[2], ints_of(e.first_header), values_of(e.samples, e.samples_line.count),
        values_of(e.spectrum, e.spectrum_line.count), ints_of(e.header),
        reals_of(e.samples_line.reals), e.samples_line.last, reals_of(e.interferogram_tail),
        reals_of(e.spectrum_line.reals), e.spectrum_line.last, reals_of(e.spectrum_tail)));
  }
  return entries;
}

py::list read_detection_path(const std::string& path, const std::string& name,
                             long max_entries) {
  const int fd = open_for_reading(path, name);
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  auto d = new_reading();
  reader_init(d->reader, fd);
  return read_entries(*d, name, max_entries, nullptr);
}

py::list read_detection_bytes(py::object source, const std::string& name, long max_entries) {
  const BytesView bytes(source);
  MemorySource memory{reinterpret_cast<const char*>(bytes.data()), bytes.size(), 0};
  auto d = new_reading();
  reader_init_source(d->reader, read_memory, &memory);
  return read_entries(*d, name, max_entries, nullptr);
}

py::list read_detection_file(py::object read_into, const std::string& name, long max_entries) {
  FileObjectSource source{std::move(read_into), std::nullopt};
  auto d = new_reading();
  reader_init_source(d->reader, read_file_object, &source);
  return read_entries(*d, name, max_entries, &source);
}

}  // namespace

void bind_detection(py::module_& m) {
  using namespace pybind11::literals;
  m.def("read_detection_path", &read_detection_path, "path"_a, "name"_a, "max_entries"_a);
  m.def("read_detection_bytes", &read_detection_bytes, "data"_a, "name"_a, "max_entries"_a);
  m.def("read_detection_file", &read_detection_file, "read_into"_a, "name"_a, "max_entries"_a);
}
