// The C++ half of the Python module ifgtools: collectors that run the tools'
// own decoding over bytes and hand the rows to NumPy without text or copy.
// The Python half (ifgtools/__init__.py) takes paths, bytes and file
// objects, and wraps the results in documented objects.
#include <fcntl.h>
#include <unistd.h>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <memory>
#include <string>

#include "bytes_view.h"
#include "detection_reader.h"
#include "dictionary_binding.h"
#include "group_table.h"
#include "housekeeping_collector.h"
#include "record_collector.h"
#include "record_feed.h"
#include "sample_collector.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

// ---- Arrays ------------------------------------------------------------------

py::dtype make_dtype(py::list names, py::list formats, py::list offsets, size_t itemsize) {
  py::dict spec("names"_a = names, "formats"_a = formats, "offsets"_a = offsets,
                "itemsize"_a = itemsize);
  return py::reinterpret_borrow<py::dtype>(py::module_::import("numpy").attr("dtype")(spec));
}

py::dtype detector_dtype() {
  return make_dtype(
      py::make_tuple("record", "subframe", "interferogram", "status", "detector1", "detector2"),
      py::make_tuple("<i4", "u1", "<u2", "u1", "<i4", "<i4"),
      py::make_tuple(offsetof(DetectorRow, record), offsetof(DetectorRow, subframe),
                     offsetof(DetectorRow, interferogram), offsetof(DetectorRow, status),
                     offsetof(DetectorRow, detector1), offsetof(DetectorRow, detector2)),
      sizeof(DetectorRow));
}

py::dtype carriage_dtype() {
  return make_dtype(py::make_tuple("record", "subframe", "interferogram", "status", "carriage"),
                    py::make_tuple("<i4", "u1", "<u2", "u1", "<i2"),
                    py::make_tuple(offsetof(CarriageRow, record), offsetof(CarriageRow, subframe),
                                   offsetof(CarriageRow, interferogram),
                                   offsetof(CarriageRow, status), offsetof(CarriageRow, carriage)),
                    sizeof(CarriageRow));
}

py::dtype notice_dtype() {
  return make_dtype(py::make_tuple("record", "subframe", "kind"), py::make_tuple("<i4", "u1", "u1"),
                    py::make_tuple(offsetof(NoticeRow, record), offsetof(NoticeRow, subframe),
                                   offsetof(NoticeRow, kind)),
                    sizeof(NoticeRow));
}

py::dtype line_dtype(int value_count) {
  return make_dtype(
      py::make_tuple("sync_word", "record", "subframe", "values"),
      py::make_tuple("<u2", "<i4", "u1", py::make_tuple("<i4", py::make_tuple(value_count))),
      py::make_tuple(kLineSyncWordOffset, kLineRecordOffset, kLineSubframeOffset,
                     kLineValuesOffset),
      kLineValuesOffset + sizeof(int32_t) * static_cast<size_t>(value_count));
}

py::dtype position_dtype() {
  return make_dtype(py::make_tuple("record", "subframe", "position"),
                    py::make_tuple("<i4", "<i4", "<i4"),
                    py::make_tuple(offsetof(PositionRow, record), offsetof(PositionRow, subframe),
                                   offsetof(PositionRow, position)),
                    sizeof(PositionRow));
}

// The rows collected so far as a NumPy array of the given shape per row,
// which from now on owns their memory.
py::array take_rows(GrowingArray& a, const py::dtype& dtype,
                    std::vector<py::ssize_t> row_shape = {}) {
  std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(a.rows)};
  shape.insert(shape.end(), row_shape.begin(), row_shape.end());
  if (a.rows == 0) {
    array_clear(a);
    return py::array(dtype, shape);
  }
  size_t bytes = 0;
  unsigned char* data = array_give_away(a, bytes);
  struct Mapping {
    unsigned char* data;
    size_t bytes;
  };
  py::capsule owner(new Mapping{data, bytes}, [](void* p) {
    auto* m = static_cast<Mapping*>(p);
    array_free_mapping(m->data, m->bytes);
    delete m;
  });
  return py::array(dtype, shape, data, owner);
}

// ---- Input -------------------------------------------------------------------

[[noreturn]] void raise_os_error(int error, const std::string& path) {
  errno = error;
  PyErr_SetFromErrnoWithFilename(PyExc_OSError, path.c_str());
  throw py::error_already_set();
}

// What the collectors share: the framer of pushed pieces, the count that
// ended a descriptor, and a guard against two threads in one collector.
template <typename Collector>
struct Collecting {
  std::unique_ptr<Collector> collector = std::make_unique<Collector>();
  tlmframe::RecordFramer framer;
  long partial_bytes = 0;  // of a cut last record, once known
  bool busy = false;

  Collecting() { tlmframe::framer_init(framer); }
  ~Collecting() { collector_free(*collector); }

  struct Busy {
    bool& flag;
    explicit Busy(bool& f) : flag(f) {
      if (flag) throw std::runtime_error("ifgtools: this object is in use by another thread");
      flag = true;
    }
    ~Busy() { flag = false; }
  };

  // After the collector stopped taking records: why, if it failed.
  void raise_if_failed() {
    if (collector->out_of_memory) throw std::bad_alloc();
    if constexpr (requires { collector->record_overflow; }) {
      if (collector->record_overflow) {
        throw py::value_error("ifgtools: more records than a 32-bit record number can count");
      }
    }
  }

  // Bytes of a piece: every record they complete.
  void push(py::handle piece) {
    BytesView bytes(piece);
    Busy guard(busy);
    bool taken;
    {
      py::gil_scoped_release unlocked;
      taken = feed_piece(framer, bytes.data(), bytes.size(),
                         [this](const unsigned char* r) { return collect_record(*collector, r); });
    }
    if (!taken) raise_if_failed();
    partial_bytes = static_cast<long>(framer.carried);
  }

  // A file read to its end as the tools read it.
  void push_path(const std::string& path) {
    Busy guard(busy);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) raise_os_error(errno, path);
    FeedEnd end;
    {
      py::gil_scoped_release unlocked;
      end = feed_descriptor(
          fd, [this](const unsigned char* r) { return collect_record(*collector, r); });
    }
    close(fd);
    if (end.count < 0) raise_os_error(end.error, path);
    if (end.stopped) raise_if_failed();
    partial_bytes = end.count;
  }
};

// ---- Samples -----------------------------------------------------------------

struct PySamples : Collecting<SampleCollector> {
  py::dtype samples_dtype;
  py::dtype notices_dtype = notice_dtype();
  explicit PySamples(bool carriage)
      : samples_dtype(carriage ? carriage_dtype() : detector_dtype()) {
    collector_init(*collector, carriage ? DecodeMode::kCarriage : DecodeMode::kTwoDetector);
  }
  py::tuple take() {
    Busy guard(busy);
    return py::make_tuple(take_rows(collector->samples, samples_dtype),
                          take_rows(collector->notices, notices_dtype));
  }
  int64_t records() const { return collector->run.records; }
};

// ---- Housekeeping ------------------------------------------------------------

struct PyHousekeeping : Collecting<HousekeepingCollector> {
  py::dtype lines_dtype;
  py::dtype positions_dtype = position_dtype();
  PyHousekeeping(int code, int format_offset, bool raw) {
    const GroupTable& table = raw ? kRawTable : kEngineeringTable;
    const ChannelGroup* group = find_group(table, code);
    if (group == nullptr)
      throw py::value_error("ifgtools: no channel group has code " + std::to_string(code));
    collector_init(*collector, table, *group, format_offset);
    lines_dtype = line_dtype(group->value_count);
  }
  py::tuple take() {
    Busy guard(busy);
    return py::make_tuple(take_rows(collector->lines, lines_dtype),
                          take_rows(collector->positions, positions_dtype));
  }
  int64_t records() const { return collector->run.records; }
};

// ---- Records -----------------------------------------------------------------

struct PyRecords : Collecting<RecordCollector> {
  PyRecords(int64_t start, int64_t count) { collector_init(*collector, start, count); }
  py::tuple take() {
    using namespace tlmframe;
    Busy guard(busy);
    return py::make_tuple(
        take_rows(collector->subframes, py::dtype("<u2"),
                  {kSubframeCount, kRowsPerSubframe, kWordsPerRow}),
        take_rows(collector->trailers, py::dtype("u1"), {2 * (kRecordWords - kSwappedWords)}),
        take_rows(collector->sync_rows, py::dtype("<i2"), {kSubframeCount}));
  }
  bool wants_more() const { return collector_wants_more(*collector); }
};

template <typename T>
void bind_collector(py::class_<T>& c) {
  c.def("push", &T::push, "piece"_a)
      .def("push_path", &T::push_path, "path"_a)
      .def("take", &T::take)
      .def_readonly("partial_bytes", &T::partial_bytes);
}

}  // namespace

PYBIND11_MODULE(_ifgtools, m) {
  m.doc() = "C++ collectors behind ifgtools; use the ifgtools package.";

  py::class_<PySamples> samples(m, "SampleCollector");
  samples.def(py::init<bool>(), "carriage"_a).def_property_readonly("records", &PySamples::records);
  bind_collector(samples);

  py::class_<PyHousekeeping> housekeeping(m, "HousekeepingCollector");
  housekeeping.def(py::init<int, int, bool>(), "code"_a, "format_offset"_a, "raw"_a)
      .def_property_readonly("records", &PyHousekeeping::records);
  bind_collector(housekeeping);

  py::class_<PyRecords> records(m, "RecordCollector");
  records.def(py::init<int64_t, int64_t>(), "start"_a, "count"_a)
      .def_property_readonly("wants_more", &PyRecords::wants_more);
  bind_collector(records);

  m.attr("LOST_LOCK") = kLostLock;
  m.attr("STATUS_CHANGED") = kStatusChanged;
  m.attr("GROUP_CODES") =
      py::dict("f"_a = kFastSapGroup, "s"_a = kSlowSapGroup, "p"_a = kPressureGroup,
               "m"_a = kMaskTemperatureGroup, "v"_a = kVoltageMonitorGroup,
               "x"_a = kAuxiliaryDetectorGroup, "g"_a = kGenericGroup);
  m.attr("RECORD_BYTES") = tlmframe::kRecordBytes;
  bind_detection(m);
  bind_dictionary(m);
}
