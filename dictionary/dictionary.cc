// Reading with toml++, header-only and without exceptions (see
// CMakeLists.txt): a parse gives either the document or its error.
#include "dictionary.h"

#include <fcntl.h>
#include <unistd.h>

#include <toml++/toml.h>

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kEntryKeys[] = {
    "name",       "description", "units",   "column",     "group",       "number",   "form",
    "polynomial", "table",       "red_low", "yellow_low", "yellow_high", "red_high", "persistence",
};

const char* type_text(toml::node_type type) {
  switch (type) {
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a floating-point number";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::date: return "a date";
    case toml::node_type::time: return "a time";
    case toml::node_type::date_time: return "a date-time";
    default: return "nothing";
  }
}

int line_of(const toml::node& node) { return static_cast<int>(node.source().begin.line); }

bool is_identifier(std::string_view s) {
  if (s.empty()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
  }
  return true;
}

// Reads one dictionary; the first fault ends it.
class Reader {
 public:
  Reader(const char* path, Dictionary& d, DictionaryFault& fault)
      : path_(path), d_(d), fault_(fault) {}

  bool read(const toml::table& root);

 private:
  // Writes "path:line: entry.key: what" and returns false.
  bool fail(int line, const char* key, const char* fmt, ...) __attribute__((format(printf, 4, 5)));

  bool read_entry(const toml::table& t, DictionaryEntry& e);
  bool check_keys(const toml::table& t);
  const toml::node* require(const toml::table& t, const char* key, toml::node_type type);
  bool read_text(const toml::table& t, const char* key, char* out, size_t size);
  bool read_integer(const toml::node& node, const char* key, int64_t low, int64_t high,
                    int64_t& out);
  bool read_number(const toml::node& node, const char* key, double& out);
  bool read_value(const toml::table& t, DictionaryEntry& e);
  bool read_calibration(const toml::table& t, DictionaryEntry& e);
  bool read_polynomial(const toml::array& a, Calibration& c);
  bool read_table(const toml::array& a, FormRange range, Calibration& c);
  bool read_limits(const toml::table& t, DictionaryEntry& e);
  bool check_unique(const DictionaryEntry& e);

  const char* path_;
  Dictionary& d_;
  DictionaryFault& fault_;
  char entry_[kMaxNameBytes + 16] = "";  // how messages name the entry being read
};

bool Reader::fail(int line, const char* key, const char* fmt, ...) {
  char what[384];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(what, sizeof what, fmt, args);
  va_end(args);
  const char* dot = entry_[0] != '\0' && key[0] != '\0' ? "." : "";
  std::snprintf(fault_.message, sizeof fault_.message, "%s:%d: %s%s%s: %s", path_, line, entry_,
                dot, key, what);
  fault_.error = 0;
  return false;
}

bool Reader::read(const toml::table& root) {
  d_.count = 0;
  for (auto&& [key, node] : root) {
    if (key.str() != "channel") {
      return fail(static_cast<int>(key.source().begin.line), std::string(key.str()).c_str(),
                  "unknown key (the file holds [[channel]] tables only)");
    }
  }
  const toml::node* channels = root.get("channel");
  if (channels == nullptr) return true;
  const toml::array* list = channels->as_array();
  if (list == nullptr || !list->is_array_of_tables()) {
    return fail(line_of(*channels), "channel", "wants [[channel]] tables, not %s",
                type_text(channels->type()));
  }
  for (size_t i = 0; i < list->size(); ++i) {
    if (d_.count == kMaxDictionaryEntries) {
      return fail(line_of(*list->get(i)), "channel",
                  "more entries than there are values to name (%d)", kMaxDictionaryEntries);
    }
    std::snprintf(entry_, sizeof entry_, "channel[%zu]", i + 1);
    DictionaryEntry& e = d_.entries[d_.count];
    if (!read_entry(*list->get(i)->as_table(), e)) return false;
    ++d_.count;
  }
  return true;
}

bool Reader::check_keys(const toml::table& t) {
  for (auto&& [key, node] : t) {
    bool known = false;
    for (const char* k : kEntryKeys) known = known || key.str() == k;
    if (!known) {
      return fail(static_cast<int>(key.source().begin.line), std::string(key.str()).c_str(),
                  "unknown key");
    }
  }
  return true;
}

const toml::node* Reader::require(const toml::table& t, const char* key, toml::node_type type) {
  const toml::node* node = t.get(key);
  if (node == nullptr) {
    fail(line_of(t), key, "missing");
    return nullptr;
  }
  if (node->type() != type) {
    fail(line_of(*node), key, "wants %s, not %s", type_text(type), type_text(node->type()));
    return nullptr;
  }
  return node;
}

bool Reader::read_text(const toml::table& t, const char* key, char* out, size_t size) {
  const toml::node* node = require(t, key, toml::node_type::string);
  if (node == nullptr) return false;
  const std::string& s = node->as_string()->get();
  if (s.size() >= size) {
    return fail(line_of(*node), key, "longer than %zu bytes", size - 1);
  }
  if (s.find_first_of("\t\n\r") != std::string::npos) {
    return fail(line_of(*node), key, "holds a tab or line break");
  }
  std::memcpy(out, s.c_str(), s.size() + 1);
  return true;
}

bool Reader::read_integer(const toml::node& node, const char* key, int64_t low, int64_t high,
                          int64_t& out) {
  if (!node.is_integer()) {
    return fail(line_of(node), key, "wants an integer, not %s", type_text(node.type()));
  }
  out = node.as_integer()->get();
  if (out < low || out > high) {
    return fail(line_of(node), key, "%lld lies outside %lld to %lld", static_cast<long long>(out),
                static_cast<long long>(low), static_cast<long long>(high));
  }
  return true;
}

bool Reader::read_number(const toml::node& node, const char* key, double& out) {
  if (!node.is_number()) {
    return fail(line_of(node), key, "wants a number, not %s", type_text(node.type()));
  }
  out = node.is_integer() ? static_cast<double>(node.as_integer()->get())
                          : node.as_floating_point()->get();
  if (!std::isfinite(out)) return fail(line_of(node), key, "not a finite number");
  return true;
}

// column, group, number and form: which decoded value the entry names.
bool Reader::read_value(const toml::table& t, DictionaryEntry& e) {
  const toml::node* column = require(t, "column", toml::node_type::integer);
  const toml::node* group = column ? require(t, "group", toml::node_type::string) : nullptr;
  const toml::node* number = group ? require(t, "number", toml::node_type::integer) : nullptr;
  const toml::node* form = number ? require(t, "form", toml::node_type::string) : nullptr;
  if (form == nullptr) return false;
  HousekeepingGroup g;
  if (!group_from_text(group->as_string()->get(), g)) {
    return fail(line_of(*group), "group",
                "unknown group \"%s\" (time, fast_sap, slow_sap, pressure, mask_temperature, "
                "voltage_monitors, auxiliary_detector or generic)",
                group->as_string()->get().c_str());
  }
  DecodedForm f;
  if (!form_from_text(form->as_string()->get(), f)) {
    return fail(line_of(*form), "form",
                "unknown form \"%s\" (raw, top 12, top 10, flag, difference, BCD high or BCD low)",
                form->as_string()->get().c_str());
  }
  const int64_t c = column->as_integer()->get(), n = number->as_integer()->get();
  char choices[256];
  const LookupResult found = find_decoded_value(
      c == static_cast<int>(c) ? static_cast<int>(c) : -1, g,
      n == static_cast<int>(n) ? static_cast<int>(n) : -1, f, e.value, choices, sizeof choices);
  switch (found) {
    case LookupResult::kFound: return true;
    case LookupResult::kNoColumn:
      return fail(line_of(*column), "column",
                  "%lld is not a housekeeping column (12: engineering words, 4: raw check words)",
                  static_cast<long long>(c));
    case LookupResult::kNoChannel:
      return fail(line_of(*number), "number",
                  "group %s has no channel %lld in column %lld (its channels there: %s)",
                  group_text(g), static_cast<long long>(n), static_cast<long long>(c), choices);
    case LookupResult::kOtherForm:
      return fail(line_of(*form), "form",
                  "channel %lld of group %s in column %lld is decoded as %s, not \"%s\"",
                  static_cast<long long>(n), group_text(g), static_cast<long long>(c), choices,
                  form_text(f));
  }
  return false;
}

bool Reader::read_polynomial(const toml::array& a, Calibration& c) {
  if (a.empty() || a.size() > static_cast<size_t>(kMaxPolynomialTerms)) {
    return fail(line_of(a), "polynomial", "wants 1 to %d coefficients, not %zu",
                kMaxPolynomialTerms, a.size());
  }
  c.kind = CalibrationKind::kPolynomial;
  c.count = static_cast<int>(a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    if (!read_number(*a.get(i), "polynomial", c.x[i])) return false;
  }
  return true;
}

bool Reader::read_table(const toml::array& a, FormRange range, Calibration& c) {
  if (a.size() < 2 || a.size() > static_cast<size_t>(kMaxTablePoints)) {
    return fail(line_of(a), "table", "wants 2 to %d points, not %zu", kMaxTablePoints, a.size());
  }
  c.kind = CalibrationKind::kTable;
  c.count = static_cast<int>(a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    const toml::node& point = *a.get(i);
    const toml::array* pair = point.as_array();
    if (pair == nullptr || pair->size() != 2) {
      return fail(line_of(point), "table",
                  "point %zu wants two numbers, [decoded value, physical value]", i + 1);
    }
    if (!read_number(*pair->get(0), "table", c.x[i]) ||
        !read_number(*pair->get(1), "table", c.y[i])) {
      return false;
    }
    if (c.x[i] < range.low || c.x[i] > range.high) {
      return fail(line_of(point), "table",
                  "point %zu: decoded value %g lies outside what the form gives (%d to %d)", i + 1,
                  c.x[i], range.low, range.high);
    }
    if (i > 0 && c.x[i] <= c.x[i - 1]) {
      return fail(line_of(point), "table",
                  "not monotonic: point %zu's decoded value %g does not follow %g", i + 1, c.x[i],
                  c.x[i - 1]);
    }
  }
  return true;
}

bool Reader::read_calibration(const toml::table& t, DictionaryEntry& e) {
  Calibration& c = e.calibration;
  c.kind = CalibrationKind::kNone;
  c.count = 0;
  const toml::node* polynomial = t.get("polynomial");
  const toml::node* table = t.get("table");
  if (polynomial != nullptr && table != nullptr) {
    return fail(line_of(*table), "table", "a polynomial is given too: one calibration only");
  }
  const toml::node* given = polynomial != nullptr ? polynomial : table;
  if (given == nullptr) return true;
  const char* key = given == polynomial ? "polynomial" : "table";
  if (!given->is_array()) {
    return fail(line_of(*given), key, "wants an array, not %s", type_text(given->type()));
  }
  const FormRange range = form_range(e.value.form);
  const bool read = given == polynomial ? read_polynomial(*given->as_array(), c)
                                        : read_table(*given->as_array(), range, c);
  if (!read) return false;
  if (!calibration_is_finite(c, range)) {
    return fail(line_of(*given), key,
                "gives values beyond the range of numbers for decoded values %d to %d", range.low,
                range.high);
  }
  return true;
}

bool Reader::read_limits(const toml::table& t, DictionaryEntry& e) {
  Limits& l = e.limits;
  int lines[kLimitCount] = {};
  for (int i = 0; i < kLimitCount; ++i) {
    const toml::node* node = t.get(limit_text(i));
    l.present[i] = node != nullptr;
    l.value[i] = 0;
    if (node == nullptr) continue;
    lines[i] = line_of(*node);
    if (!read_number(*node, limit_text(i), l.value[i])) return false;
  }
  // Each yellow limit lies within its red one, and every low limit at or
  // below every high one: value[low] <= value[high], else the fault is
  // told at `at`.
  struct Order {
    int low, high, at;
    const char* how;
  };
  constexpr Order kOrders[] = {
      {kRedLowLimit, kYellowLowLimit, kYellowLowLimit, "outside its"},
      {kYellowHighLimit, kRedHighLimit, kYellowHighLimit, "outside its"},
      {kYellowLowLimit, kYellowHighLimit, kYellowLowLimit, "above"},
      {kRedLowLimit, kYellowHighLimit, kRedLowLimit, "above"},
      {kYellowLowLimit, kRedHighLimit, kYellowLowLimit, "above"},
      {kRedLowLimit, kRedHighLimit, kRedLowLimit, "above"},
  };
  for (const Order& o : kOrders) {
    if (!l.present[o.low] || !l.present[o.high] || l.value[o.low] <= l.value[o.high]) continue;
    const int other = o.at == o.low ? o.high : o.low;
    return fail(lines[o.at], limit_text(o.at), "%g lies %s %s %g", l.value[o.at], o.how,
                limit_text(other), l.value[other]);
  }
  l.persistence = 1;
  const toml::node* persistence = t.get("persistence");
  if (persistence != nullptr) {
    int64_t p = 1;
    if (!read_integer(*persistence, "persistence", 1, kMaxPersistence, p)) return false;
    if (!has_limits(l)) {
      return fail(line_of(*persistence), "persistence", "given without any limit");
    }
    l.persistence = static_cast<int>(p);
  }
  return true;
}

bool Reader::check_unique(const DictionaryEntry& e) {
  for (int i = 0; i < d_.count; ++i) {
    const DictionaryEntry& other = d_.entries[i];
    if (std::strcmp(other.name, e.name) == 0) {
      return fail(e.line, "name", "\"%s\" is the name of the entry at line %d too", e.name,
                  other.line);
    }
    const DecodedValue &a = other.value, &b = e.value;
    if (a.column == b.column && a.group == b.group && a.number == b.number && a.form == b.form) {
      return fail(e.line, "", "names the same value as \"%s\" at line %d", other.name, other.line);
    }
  }
  return true;
}

bool Reader::read_entry(const toml::table& t, DictionaryEntry& e) {
  e = DictionaryEntry{};
  e.line = line_of(t);
  if (!read_text(t, "name", e.name, sizeof e.name)) return false;
  if (!is_identifier(e.name)) {
    return fail(line_of(*t.get("name")), "name",
                "\"%s\" is not an identifier (letters, digits and _, not starting with a digit)",
                e.name);
  }
  std::snprintf(entry_, sizeof entry_, "%s", e.name);
  return check_keys(t) && read_text(t, "description", e.description, sizeof e.description) &&
         read_text(t, "units", e.units, sizeof e.units) && read_value(t, e) &&
         read_calibration(t, e) && read_limits(t, e) && check_unique(e);
}

}  // namespace

bool parse_dictionary(std::string_view text, const char* path, Dictionary& dictionary,
                      DictionaryFault& fault) {
  dictionary.count = 0;
  fault.error = 0;
  fault.message[0] = '\0';
  toml::parse_result result = toml::parse(text, std::string_view(path));
  if (!result) {
    const toml::parse_error& e = result.error();
    const std::string_view what = e.description();
    std::snprintf(fault.message, sizeof fault.message, "%s:%u: %.*s", path, e.source().begin.line,
                  static_cast<int>(what.size()), what.data());
    return false;
  }
  Reader reader(path, dictionary, fault);
  if (!reader.read(result.table())) {
    dictionary.count = 0;
    return false;
  }
  return true;
}

bool read_dictionary(const char* path, Dictionary& dictionary, DictionaryFault& fault) {
  dictionary.count = 0;
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  std::string text;
  int error = fd < 0 ? errno : 0;
  while (error == 0) {
    char chunk[65536];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n == 0) break;
    if (n < 0) {
      if (errno != EINTR) error = errno;
      continue;
    }
    text.append(chunk, static_cast<size_t>(n));
    if (text.size() > kMaxDictionaryBytes) error = EFBIG;
  }
  if (fd >= 0) close(fd);
  if (error != 0) {
    fault.error = error;
    std::snprintf(fault.message, sizeof fault.message, "%s: %s", path, std::strerror(error));
    return false;
  }
  return parse_dictionary(text, path, dictionary, fault);
}

int find_entry(const Dictionary& dictionary, std::string_view name) {
  for (int i = 0; i < dictionary.count; ++i) {
    if (name == dictionary.entries[i].name) return i;
  }
  return -1;
}
