// The C++ half of the Python module ifgtools: collectors that run the tools'
// own decoding over bytes and hand the rows to NumPy without text or copy.
// The Python half (ifgtools/__init__.py) takes paths, bytes and file
// objects, and wraps the results in documented objects.
#include <fcntl.h>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cerrno>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "busy_guard.h"
#include "bytes_view.h"
#include "detection_reader.h"
#include "dictionary_binding.h"
#include "group_table.h"
#include "housekeeping_collector.h"
#include "os_error.h"
#include "record_collector.h"
#include "record_feed.h"
#include "sample_collector.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

// ---- Arrays ------------------------------------------------------------------

// One named field of a row type: its NumPy format, its offset in the row,
// and for an array field its length.
struct Field {
  const char* name;
  const char* format;
  size_t offset;
  int length = 0;
};

py::dtype row_dtype(std::initializer_list<Field> fields, size_t row_bytes) {
  py::list names, formats, offsets;
  for (const Field& f : fields) {
    names.append(f.name);
    if (f.length > 0) {
      formats.append(py::make_tuple(f.format, py::make_tuple(f.length)));
    } else {
      formats.append(f.format);
    }
    offsets.append(f.offset);
  }
  py::dict spec("names"_a = names, "formats"_a = formats, "offsets"_a = offsets,
                "itemsize"_a = row_bytes);
  return py::reinterpret_borrow<py::dtype>(py::module_::import("numpy").attr("dtype")(spec));
}

py::dtype detector_dtype() {
  using R = DetectorRow;
  return row_dtype({{"record", "<i4", offsetof(R, record)},
                    {"subframe", "u1", offsetof(R, subframe)},
                    {"interferogram", "<u2", offsetof(R, interferogram)},
                    {"status", "u1", offsetof(R, status)},
                    {"detector1", "<i4", offsetof(R, detector1)},
                    {"detector2", "<i4", offsetof(R, detector2)}},
                   sizeof(R));
}

py::dtype carriage_dtype() {
  using R = CarriageRow;
  return row_dtype({{"record", "<i4", offsetof(R, record)},
                    {"subframe", "u1", offsetof(R, subframe)},
                    {"interferogram", "<u2", offsetof(R, interferogram)},
                    {"status", "u1", offsetof(R, status)},
                    {"carriage", "<i2", offsetof(R, carriage)}},
                   sizeof(R));
}

py::dtype notice_dtype() {
  using R = NoticeRow;
  return row_dtype({{"record", "<i4", offsetof(R, record)},
                    {"subframe", "u1", offsetof(R, subframe)},
                    {"kind", "u1", offsetof(R, kind)}},
                   sizeof(R));
}

py::dtype line_dtype(int value_count) {
  using R = LineRow;
  return row_dtype({{"sync_word", "<u2", offsetof(R, sync_word)},
                    {"record", "<i4", offsetof(R, record)},
                    {"subframe", "u1", offsetof(R, subframe)},
                    {"values", "<i4", offsetof(R, values), value_count}},
                   line_row_bytes(value_count));
}

py::dtype position_dtype() {
  using R = PositionRow;
  return row_dtype({{"record", "<i4", offsetof(R, record)},
                    {"subframe", "<i4", offsetof(R, subframe)},
                    {"position", "<i4", offsetof(R, position)}},
                   sizeof(R));
}

// One of a collector's results: its rows, their NumPy type, and the shape
// of one row (none for a structured row).
struct Output {
  GrowingArray* rows;
  py::dtype dtype;
  std::vector<py::ssize_t> row_shape;
};

// The rows collected so far as a NumPy array, which from now on owns their
// memory.
py::array take_rows(const Output& output) {
  GrowingArray& a = *output.rows;
  std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(a.rows)};
  shape.insert(shape.end(), output.row_shape.begin(), output.row_shape.end());
  if (a.rows == 0) {
    array_clear(a);
    return py::array(output.dtype, shape);
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
  return py::array(output.dtype, shape, data, owner);
}

// ---- Collecting --------------------------------------------------------------

// What the collectors share: the framer of pushed pieces, the count that
// ended a descriptor, the results, and a guard against two threads in one
// collector.
template <typename Collector>
struct Collecting {
  std::unique_ptr<Collector> collector = std::make_unique<Collector>();
  std::vector<Output> outputs;  // in the order take() returns them
  tlmframe::RecordFramer framer;
  long partial_bytes = 0;  // of a cut last record, once known
  bool busy = false;

  Collecting() { tlmframe::framer_init(framer); }
  ~Collecting() { collector_free(*collector); }

  // After the collector stopped taking records: why, if it failed.
  void raise_if_failed() {
    switch (collector->fault) {
      case CollectorFault::kNone: return;
      case CollectorFault::kOutOfMemory: throw std::bad_alloc();
      case CollectorFault::kRecordOverflow:
        throw py::value_error("ifgtools: more records than a 32-bit record number can count");
    }
  }

  // Bytes of a piece: every record they complete.
  void push(py::handle piece) {
    BytesView bytes(piece);
    BusyGuard guard(busy);
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
    BusyGuard guard(busy);
    const FeedEnd end =
        feed_path(path, [this](const unsigned char* r) { return collect_record(*collector, r); });
    if (end.stopped) raise_if_failed();
    partial_bytes = end.count;
  }

  // The rows collected since the last take, one array per result.
  py::tuple take() {
    BusyGuard guard(busy);
    py::tuple arrays(outputs.size());
    for (size_t i = 0; i < outputs.size(); ++i) arrays[i] = take_rows(outputs[i]);
    return arrays;
  }
};

struct PySamples : Collecting<SampleCollector> {
  explicit PySamples(bool carriage) {
    collector_init(*collector, carriage ? DecodeMode::kCarriage : DecodeMode::kTwoDetector);
    outputs = {{&collector->samples, carriage ? carriage_dtype() : detector_dtype(), {}},
               {&collector->notices, notice_dtype(), {}}};
  }
  int64_t records() const { return collector->run.records; }
};

struct PyHousekeeping : Collecting<HousekeepingCollector> {
  PyHousekeeping(char group_option, int format_offset, bool raw) {
    const GroupTable& table = raw ? kRawTable : kEngineeringTable;
    const ChannelGroup* group = find_group(table, group_option);
    if (group == nullptr)
      throw py::value_error(std::string("ifgtools: no channel group '") + group_option + "'");
    collector_init(*collector, table, *group, format_offset);
    outputs = {{&collector->lines, line_dtype(group->value_count), {}},
               {&collector->positions, position_dtype(), {}}};
  }
  int64_t records() const { return collector->run.records; }
};

struct PyRecords : Collecting<RecordCollector> {
  PyRecords(int64_t start, int64_t count) {
    using namespace tlmframe;
    collector_init(*collector, start, count);
    outputs = {
        {&collector->subframes, py::dtype("<u2"), {kSubframeCount, kRowsPerSubframe, kWordsPerRow}},
        {&collector->trailers, py::dtype("u1"), {2 * (kRecordWords - kSwappedWords)}},
        {&collector->sync_rows, py::dtype("<i2"), {kSubframeCount}}};
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
  housekeeping.def(py::init<char, int, bool>(), "group"_a, "format_offset"_a, "raw"_a)
      .def_property_readonly("records", &PyHousekeeping::records);
  bind_collector(housekeeping);

  py::class_<PyRecords> records(m, "RecordCollector");
  records.def(py::init<int64_t, int64_t>(), "start"_a, "count"_a)
      .def_property_readonly("wants_more", &PyRecords::wants_more);
  bind_collector(records);

  m.attr("LOST_LOCK") = kLostLock;
  m.attr("STATUS_CHANGED") = kStatusChanged;
  m.attr("RECORD_BYTES") = tlmframe::kRecordBytes;
  bind_detection(m);
  bind_dictionary(m);
}
