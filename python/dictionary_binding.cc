// The channel dictionary as hkmonitor reads it, with the same checker and
// the same messages, its calibrations applied to arrays of counts, and
// hkmonitor's run over records collected as rows of state changes and a
// summary per channel.  The Python half is ifgtools/dictionary.py.
#include "dictionary_binding.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "busy_guard.h"
#include "bytes_view.h"
#include "growing_array.h"
#include "monitor_run.h"
#include "os_error.h"
#include "record_feed.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

// ---- The dictionary ----------------------------------------------------------

struct PyDictionary {
  std::unique_ptr<Dictionary> dictionary = std::make_unique<Dictionary>();
  std::string path;

  explicit PyDictionary(const std::string& p) : path(p) {
    DictionaryFault fault;
    if (read_dictionary(p.c_str(), *dictionary, fault)) return;
    if (fault.error != 0) raise_os_error(fault.error, p);
    throw py::value_error(fault.message);
  }

  const DictionaryEntry& entry(int index) const {
    if (index < 0 || index >= dictionary->count) throw py::index_error("ifgtools: no such entry");
    return dictionary->entries[index];
  }

  // An entry as a dict of plain values.
  py::dict describe(int index) const {
    const DictionaryEntry& e = entry(index);
    py::object calibration = py::none();
    const Calibration& c = e.calibration;
    if (c.kind == CalibrationKind::kPolynomial) {
      calibration = py::make_tuple("polynomial", std::vector<double>(c.x, c.x + c.count));
    } else if (c.kind == CalibrationKind::kTable) {
      py::list points;
      for (int i = 0; i < c.count; ++i) points.append(py::make_tuple(c.x[i], c.y[i]));
      calibration = py::make_tuple("table", points);
    }
    py::dict limits;
    for (int i = 0; i < kLimitCount; ++i) {
      if (e.limits.present[i]) limits[limit_text(i)] = e.limits.value[i];
    }
    return py::dict(
        "name"_a = e.name, "description"_a = e.description, "units"_a = e.units,
        "column"_a = e.value.column, "group"_a = group_text(e.value.group),
        "number"_a = e.value.number, "form"_a = form_text(e.value.form),
        "position"_a = e.value.position, "calibration"_a = calibration, "limits"_a = limits,
        "persistence"_a = has_limits(e.limits) ? py::object(py::int_(e.limits.persistence))
                                               : py::object(py::none()),
        "line"_a = e.line);
  }

  // The calibrated values of an array of counts: integers that a 32-bit
  // count holds, others refused rather than cut or wrapped on the way in.
  py::array_t<double> calibrate_counts(int index, const py::array& counts) const {
    const Calibration& c = entry(index).calibration;
    const char kind = counts.dtype().kind();
    if (kind != 'i' && kind != 'u') {
      throw py::type_error("ifgtools: counts must be integers, not " +
                           py::str(counts.dtype()).cast<std::string>());
    }
    // Unsigned 64-bit counts are read as they are: a cast to signed would
    // wrap the largest into range.
    if (kind == 'u' && counts.itemsize() == 8) return calibrated<uint64_t>(c, counts);
    return calibrated<int64_t>(c, counts);
  }

 private:
  template <typename T>
  static py::array_t<double> calibrated(const Calibration& c, const py::array& counts) {
    const auto in = py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(counts);
    if (!in) throw py::error_already_set();
    py::array_t<double> out(
        std::vector<py::ssize_t>(counts.shape(), counts.shape() + counts.ndim()));
    double* o = out.mutable_data();
    const T* v = in.data();
    for (py::ssize_t k = 0; k < in.size(); ++k) {
      const bool below = std::is_signed_v<T> && v[k] < static_cast<T>(INT32_MIN);
      if (below || v[k] > static_cast<T>(INT32_MAX)) {
        throw py::value_error("ifgtools: count " + std::to_string(v[k]) +
                              " lies outside the 32-bit counts");
      }
      o[k] = calibrate(c, static_cast<int>(v[k]));
    }
    return out;
  }
};

// ---- Limits over records -------------------------------------------------------

// One state change; the module's dtype names the same fields at the same
// offsets.
struct __attribute__((packed)) TransitionRow {
  int32_t record;
  uint8_t subframe;
  uint8_t hours, minutes, seconds;
  int32_t entry;    // in the dictionary
  int32_t decoded;  // the count
  double value;     // calibrated
  int8_t zone;      // the new state: -2 red low ... 2 red high
  int8_t limit;     // the limit crossed: 0 red_low, 1 yellow_low, 2 yellow_high, 3 red_high
  uint8_t above;    // the value lies above that limit
};

py::dtype transition_dtype() {
  py::dict spec("names"_a = py::make_tuple("record", "subframe", "hours", "minutes", "seconds",
                                           "entry", "decoded", "value", "zone", "limit", "above"),
                "formats"_a = py::make_tuple("<i4", "u1", "u1", "u1", "u1", "<i4", "<i4", "<f8",
                                             "i1", "i1", "u1"),
                "offsets"_a = py::make_tuple(
                    offsetof(TransitionRow, record), offsetof(TransitionRow, subframe),
                    offsetof(TransitionRow, hours), offsetof(TransitionRow, minutes),
                    offsetof(TransitionRow, seconds), offsetof(TransitionRow, entry),
                    offsetof(TransitionRow, decoded), offsetof(TransitionRow, value),
                    offsetof(TransitionRow, zone), offsetof(TransitionRow, limit),
                    offsetof(TransitionRow, above)),
                "itemsize"_a = sizeof(TransitionRow));
  return py::reinterpret_borrow<py::dtype>(py::module_::import("numpy").attr("dtype")(spec));
}

// A BCD time field as a byte; the decoders give at most 165.
uint8_t time_field(int v) { return static_cast<uint8_t>(v); }

struct LimitCollector {
  py::object owner;  // the PyDictionary, kept alive while the run points into it
  std::unique_ptr<MonitorRun> run = std::make_unique<MonitorRun>();
  tlmframe::RecordFramer framer;
  GrowingArray rows;
  long partial_bytes = 0;
  bool failed = false;  // out of memory, or more records than an int32 counts
  bool busy = false;

  explicit LimitCollector(py::object dictionary) : owner(std::move(dictionary)) {
    const PyDictionary& d = owner.cast<const PyDictionary&>();
    monitor_run_init(*run, *d.dictionary);
    tlmframe::framer_init(framer);
    array_init(rows, sizeof(TransitionRow));
  }
  ~LimitCollector() { array_clear(rows); }

  // Takes one record; false when it cannot.
  bool take_record(const unsigned char* record) {
    failed = run->records >= INT32_MAX;
    if (failed) return false;
    monitor_record(*run, record);
    if (run->transition_count == 0) return true;
    unsigned char* p = array_extend(rows, static_cast<size_t>(run->transition_count));
    failed = p == nullptr;
    if (failed) return false;
    for (int i = 0; i < run->transition_count; ++i) {
      const MonitorTransition& t = run->transitions[i];
      const TransitionRow row{static_cast<int32_t>(t.record),
                              static_cast<uint8_t>(t.subframe),
                              time_field(t.hours),
                              time_field(t.minutes),
                              time_field(t.seconds),
                              t.entry,
                              t.decoded,
                              t.value,
                              static_cast<int8_t>(t.change.to),
                              static_cast<int8_t>(t.change.limit),
                              static_cast<uint8_t>(t.change.above)};
      std::memcpy(p + i * sizeof row, &row, sizeof row);
    }
    return true;
  }

  void raise_if_failed() {
    if (!failed) return;
    if (run->records >= INT32_MAX) {
      throw py::value_error("ifgtools: more records than a 32-bit record number can count");
    }
    throw std::bad_alloc();
  }

  void push(py::handle piece) {
    BytesView bytes(piece);
    BusyGuard guard(busy);
    {
      py::gil_scoped_release unlocked;
      feed_piece(framer, bytes.data(), bytes.size(),
                 [this](const unsigned char* r) { return take_record(r); });
    }
    raise_if_failed();
    partial_bytes = static_cast<long>(framer.carried);
  }

  void push_path(const std::string& path) {
    BusyGuard guard(busy);
    const FeedEnd end = feed_path(path, [this](const unsigned char* r) { return take_record(r); });
    raise_if_failed();
    partial_bytes = end.count;
  }

  // The state changes collected since the last take.
  py::array take() {
    BusyGuard guard(busy);
    py::array out(transition_dtype(),
                  std::vector<py::ssize_t>{static_cast<py::ssize_t>(rows.rows)});
    if (rows.rows > 0)
      std::memcpy(out.mutable_data(), rows.data, rows.rows * sizeof(TransitionRow));
    array_clear(rows);
    array_init(rows, sizeof(TransitionRow));
    return out;
  }

  // Per limited channel: entry, values in GREEN, YELLOW, RED, and the
  // worst count, value and zone (None before any value).
  py::list summary() {
    BusyGuard guard(busy);
    py::list out;
    for (int i = 0; i < run->watch_count; ++i) {
      const Watch& w = run->watches[i];
      WatchSummary s;
      watch_summary(*run, w, s);
      out.append(py::make_tuple(w.entry, s.in_state[0], s.in_state[1], s.in_state[2],
                                s.checked ? py::object(py::int_(s.worst_decoded)) : py::none(),
                                s.checked ? py::object(py::float_(s.worst)) : py::none(),
                                s.checked ? py::object(py::int_(s.worst_zone)) : py::none()));
    }
    return out;
  }
};

}  // namespace

void bind_dictionary(py::module_& m) {
  py::class_<PyDictionary>(m, "Dictionary")
      .def(py::init<const std::string&>(), "path"_a)
      .def_readonly("path", &PyDictionary::path)
      .def_property_readonly("count", [](const PyDictionary& d) { return d.dictionary->count; })
      .def("describe", &PyDictionary::describe, "index"_a)
      .def("calibrate", &PyDictionary::calibrate_counts, "index"_a, "counts"_a);

  py::class_<LimitCollector>(m, "LimitCollector")
      .def(py::init<py::object>(), "dictionary"_a)
      .def("push", &LimitCollector::push, "piece"_a)
      .def("push_path", &LimitCollector::push_path, "path"_a)
      .def("take", &LimitCollector::take)
      .def("summary", &LimitCollector::summary)
      // Read under the guard too: a push in another thread moves them.
      .def_property_readonly("records",
                             [](LimitCollector& c) {
                               BusyGuard guard(c.busy);
                               return c.run->records;
                             })
      .def_property_readonly("values",
                             [](LimitCollector& c) {
                               BusyGuard guard(c.busy);
                               return c.run->values;
                             })
      .def_property_readonly("worst_severity",
                             [](LimitCollector& c) {
                               BusyGuard guard(c.busy);
                               return c.run->worst_severity;
                             })
      .def_readonly("partial_bytes", &LimitCollector::partial_bytes);
}
