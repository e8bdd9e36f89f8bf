#include "free_form_reader.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "short_real.h"

namespace {

enum CharClass : unsigned char {
  kValueChar,  // anything that may be part of a value
  kBlank,
  kLineEnd,
  kReturn,
  kComma,
  kSlash,
  kEndMark,  // the NUL after the buffered text, or a NUL byte in it
};

struct ClassTable {
  unsigned char of[256];
};

constexpr ClassTable make_class_table() {
  ClassTable t{};
  t.of[static_cast<unsigned char>(' ')] = kBlank;
  t.of[static_cast<unsigned char>('\t')] = kBlank;
  t.of[static_cast<unsigned char>('\n')] = kLineEnd;
  t.of[static_cast<unsigned char>('\r')] = kReturn;
  t.of[static_cast<unsigned char>(',')] = kComma;
  t.of[static_cast<unsigned char>('/')] = kSlash;
  t.of[0] = kEndMark;
  return t;
}

constexpr ClassTable kClass = make_class_table();

unsigned char class_at(const FreeFormReader& r, size_t i) {
  return kClass.of[static_cast<unsigned char>(r.data[i])];
}

enum class Fill { more, ended, failed };

// Drops the bytes before keep, then reads more after the rest.
Fill fill(FreeFormReader& r, size_t keep) {
  if (r.input_ended) return Fill::ended;
  if (keep > 0) {
    std::memmove(r.data, r.data + keep, r.end - keep);
    r.pos -= keep;
    r.end -= keep;
    r.data[r.end] = '\0';
  }
  for (;;) {
    const long n = r.read_text(r.source, r.data + r.end, kReaderBufferSize - r.end);
    if (n > 0) {
      r.end += static_cast<size_t>(n);
      r.data[r.end] = '\0';
      return Fill::more;
    }
    if (n == 0) {
      r.input_ended = true;
      return Fill::ended;
    }
    if (errno != EINTR) {
      r.fault.error = errno;
      r.fault.line = r.line;
      return Fill::failed;
    }
  }
}

// Copies a value for a message: printable, and cut short when long.
void copy_fault_text(char* dst, const char* begin, const char* end) {
  size_t n = static_cast<size_t>(end - begin);
  const bool cut = n > kFaultTextSize - 1;
  if (cut) n = kFaultTextSize - 4;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(begin[i]);
    dst[i] = c < 0x20 || c == 0x7f ? '?' : static_cast<char>(c);
  }
  if (cut) {
    std::memcpy(dst + n, "...", 3);
    n += 3;
  }
  dst[n] = '\0';
}

enum class ItemKind { value, null_value, slash, end_of_input, failed };

struct Item {
  ItemKind kind;
  ReadStatus failure;  // for failed
  char* begin;
  char* end;
};

Item make_item(ItemKind kind) { return Item{kind, ReadStatus::ok, nullptr, nullptr}; }

Item failed_item(ReadStatus status) { return Item{ItemKind::failed, status, nullptr, nullptr}; }

// A value starts at r.pos: finds its end, reading on when the buffer ends
// inside it.
Item scan_value(FreeFormReader& r) {
  size_t start = r.pos;
  size_t p = r.pos;
  for (;;) {
    while (class_at(r, p) == kValueChar) ++p;
    const unsigned char c = class_at(r, p);
    if (c == kEndMark && p < r.end) {  // a NUL byte: part of a (bad) value
      ++p;
      continue;
    }
    if (c == kReturn) {
      if (p + 1 < r.end) {
        if (r.data[p + 1] == '\n') break;
        ++p;  // a carriage return inside the line belongs to the value
        continue;
      }
      if (r.input_ended) break;
    } else if (c != kEndMark || r.input_ended) {
      break;
    }
    if (start == 0 && r.end == kReaderBufferSize) {
      r.fault.line = r.line;
      r.fault.too_long = true;
      copy_fault_text(r.fault.text, r.data, r.data + p);
      return failed_item(ReadStatus::bad_value);
    }
    const size_t offset = p - start;
    r.pos = start;
    if (fill(r, start) == Fill::failed) return failed_item(ReadStatus::input_error);
    start = 0;
    p = offset;
  }
  r.pos = p;
  r.comma_means_null = false;
  return Item{ItemKind::value, ReadStatus::ok, r.data + start, r.data + p};
}

// Passes over separators up to the next value, null value or slash; a
// value is left at r.pos for the caller to convert.
Item next_item(FreeFormReader& r) {
  for (;;) {
    while (r.data[r.pos] == ' ') ++r.pos;
    switch (class_at(r, r.pos)) {
      case kBlank: ++r.pos; continue;
      case kLineEnd:
        ++r.pos;
        ++r.line;
        continue;
      case kComma:
        ++r.pos;
        if (r.comma_means_null) return make_item(ItemKind::null_value);
        r.comma_means_null = true;
        continue;
      case kSlash: ++r.pos; return make_item(ItemKind::slash);
      case kReturn:
        if (r.pos + 1 == r.end && !r.input_ended) {
          if (fill(r, r.pos) == Fill::failed) return failed_item(ReadStatus::input_error);
          continue;
        }
        if (r.pos + 1 == r.end || r.data[r.pos + 1] == '\n') {
          ++r.pos;
          continue;
        }
        break;
      case kEndMark:
        if (r.pos < r.end) break;
        switch (fill(r, r.pos)) {
          case Fill::more: continue;
          case Fill::ended: return make_item(ItemKind::end_of_input);
          case Fill::failed: return failed_item(ReadStatus::input_error);
        }
        break;
      default: break;
    }
    return make_item(ItemKind::value);
  }
}

bool ends_value(const FreeFormReader& r, size_t i) {
  switch (class_at(r, i)) {
    case kValueChar: return false;
    case kReturn: return i + 1 < r.end && r.data[i + 1] == '\n';
    case kEndMark:  // the end of the buffer may be inside the value
      return false;
    default: return true;
  }
}

// The common case, converted where it stands: a well-formed real in range
// that ends at a separator inside the buffer.  Anything else is left to
// the general path, which finds the value's end first.
bool convert_real_in_place(FreeFormReader& r, float& dest) {
  char* const end = r.data + r.end;
  char* first = r.data + r.pos;
  const bool plus = *first == '+';
  if (plus) ++first;
  // One sign at most: from_chars would take the minus of "+-6".
  const char lead = !plus && *first == '-' ? first[1] : first[0];  // the end mark stops both
  if (!(lead >= '0' && lead <= '9') && lead != '.') return false;
  float value = 0;
  std::from_chars_result got = std::from_chars(first, end, value);
  if (got.ec == std::errc() && got.ptr != end && (*got.ptr == 'D' || *got.ptr == 'd')) {
    char* const letter = r.data + (got.ptr - r.data);
    const char saved = *letter;
    *letter = 'e';
    got = std::from_chars(first, end, value);
    if (got.ec != std::errc() || !ends_value(r, static_cast<size_t>(got.ptr - r.data))) {
      *letter = saved;
      return false;
    }
  }
  if (got.ec != std::errc() || !ends_value(r, static_cast<size_t>(got.ptr - r.data))) {
    return false;
  }
  dest = value;
  r.pos = static_cast<size_t>(got.ptr - r.data);
  r.comma_means_null = false;
  return true;
}

// Reals in the usual form, read where they stand while they come: after
// blanks, line ends and at most one comma, a short real that ends at a
// separator inside the buffer.  Returns how many were read into dest.
// Anything else (null values, slashes, carriage returns, the buffer's end,
// long or odd numbers) is left to the general path, from where this one
// stopped; passing over separators here is what the general path does.
int read_short_reals(FreeFormReader& r, float* dest, int count) {
  const char* const data = r.data;
  const char* p = data + r.pos;
  long line = r.line;
  long first_line = 0;
  bool comma_means_null = r.comma_means_null;
  int n = 0;
  for (; n < count; ++n) {
    for (;; ++p) {  // the end mark stops this
      while (*p == ' ') ++p;
      if (*p == '\n') {
        ++line;
      } else if (*p == ',' && !comma_means_null) {
        comma_means_null = true;
      } else if (*p != '\t') {
        break;
      }
    }
    float value;
    const char* const stop = convert_short_real(p, data + r.end, value);
    if (stop == nullptr) break;
    if (*stop != ' ' && *stop != '\n' && !ends_value(r, static_cast<size_t>(stop - data))) break;
    if (n == 0) first_line = line;
    dest[n] = value;
    p = stop;
    comma_means_null = false;
  }
  r.pos = static_cast<size_t>(p - data);
  r.line = line;
  r.comma_means_null = comma_means_null;
  if (n > 0) {
    if (r.group_line == 0) r.group_line = first_line;
    r.values_assigned += n;
  }
  return n;
}

// Past the next line end, or to the end of the input.
ReadStatus skip_rest_of_line(FreeFormReader& r) {
  for (;;) {
    const void* nl = std::memchr(r.data + r.pos, '\n', r.end - r.pos);
    if (nl != nullptr) {
      r.pos = static_cast<size_t>(static_cast<const char*>(nl) - r.data) + 1;
      ++r.line;
      return ReadStatus::ok;
    }
    r.pos = r.end;
    switch (fill(r, r.pos)) {
      case Fill::more: break;
      case Fill::ended: return ReadStatus::ok;
      case Fill::failed: return ReadStatus::input_error;
    }
  }
}

// A group with no values takes one whole line, which must exist.
ReadStatus consume_line(FreeFormReader& r) {
  if (r.pos == r.end) {
    const Fill f = fill(r, r.pos);
    if (f == Fill::failed) return ReadStatus::input_error;
    if (f == Fill::ended) {
      r.fault.line = r.line;
      r.fault.wanted_line = true;
      return ReadStatus::end_of_file;
    }
  }
  return skip_rest_of_line(r);
}

ReadStatus bad_value(FreeFormReader& r, ValueKind kind, ValueStatus why, const char* text) {
  r.fault.line = r.line;
  r.fault.expected = kind;
  r.fault.value = why;
  if (text != r.fault.text) std::strcpy(r.fault.text, text);
  return ReadStatus::bad_value;
}

// A value that did not convert may be a repeat count: sets it up.
bool start_repeat(FreeFormReader& r, const Item& it) {
  int32_t count = 0;
  char* value = nullptr;
  if (!parse_repeat(it.begin, it.end, count, value)) return false;
  r.repeat_left = count;
  r.repeat_is_null = value == it.end;
  if (!r.repeat_is_null) {
    r.repeat_int_status = parse_integer(value, it.end, r.repeat_int);
    r.repeat_real_status = parse_real(value, it.end, r.repeat_real);
  }
  copy_fault_text(r.repeat_text, it.begin, it.end);
  return true;
}

template <typename T>
ReadStatus take_repeated(FreeFormReader& r, ValueKind kind, ValueStatus status, T repeated,
                         T& dest) {
  --r.repeat_left;
  if (r.repeat_is_null) return ReadStatus::ok;
  if (status != ValueStatus::ok) return bad_value(r, kind, status, r.repeat_text);
  dest = repeated;
  ++r.values_assigned;
  return ReadStatus::ok;
}

ReadStatus take_int(FreeFormReader& r, int32_t& dest) {
  return take_repeated(r, ValueKind::integer, r.repeat_int_status, r.repeat_int, dest);
}

ReadStatus take_real(FreeFormReader& r, float& dest) {
  return take_repeated(r, ValueKind::real, r.repeat_real_status, r.repeat_real, dest);
}

// Fetches the next item for a variable of the given kind; returns ok with
// it.kind == value when there is text to convert, and ok with null_value
// or slash when the variable stays unchanged.
ReadStatus fetch(FreeFormReader& r, ValueKind kind, Item& it) {
  it = next_item(r);
  switch (it.kind) {
    case ItemKind::value:
      if (r.group_line == 0) r.group_line = r.line;
      return ReadStatus::ok;
    case ItemKind::null_value:
    case ItemKind::slash: return ReadStatus::ok;
    case ItemKind::end_of_input:
      r.fault.line = r.line;
      r.fault.wanted_line = false;
      r.fault.expected = kind;
      return ReadStatus::end_of_file;
    case ItemKind::failed: return it.failure;
  }
  return ReadStatus::input_error;
}

ReadStatus read_int(FreeFormReader& r, int32_t& dest, bool& slash) {
  if (r.repeat_left > 0) return take_int(r, dest);
  Item it;
  const ReadStatus st = fetch(r, ValueKind::integer, it);
  if (st != ReadStatus::ok || it.kind != ItemKind::value) {
    slash = it.kind == ItemKind::slash;
    return st;
  }
  it = scan_value(r);
  if (it.kind == ItemKind::failed) return it.failure;
  const ValueStatus vs = parse_integer(it.begin, it.end, dest);
  if (vs == ValueStatus::ok) {
    ++r.values_assigned;
    return ReadStatus::ok;
  }
  if (start_repeat(r, it)) return take_int(r, dest);
  copy_fault_text(r.fault.text, it.begin, it.end);
  return bad_value(r, ValueKind::integer, vs, r.fault.text);
}

ReadStatus read_real(FreeFormReader& r, float& dest, bool& slash) {
  if (r.repeat_left > 0) return take_real(r, dest);
  Item it;
  const ReadStatus st = fetch(r, ValueKind::real, it);
  if (st != ReadStatus::ok || it.kind != ItemKind::value) {
    slash = it.kind == ItemKind::slash;
    return st;
  }
  if (convert_real_in_place(r, dest)) {
    ++r.values_assigned;
    return ReadStatus::ok;
  }
  it = scan_value(r);
  if (it.kind == ItemKind::failed) return it.failure;
  const ValueStatus vs = parse_real(it.begin, it.end, dest);
  if (vs == ValueStatus::ok) {
    ++r.values_assigned;
    return ReadStatus::ok;
  }
  if (start_repeat(r, it)) return take_real(r, dest);
  copy_fault_text(r.fault.text, it.begin, it.end);
  return bad_value(r, ValueKind::real, vs, r.fault.text);
}

ReadStatus read_field(FreeFormReader& r, const GroupField& f, bool& slash) {
  for (int i = 0; i < f.count && !slash; ++i) {
    if (f.kind == ValueKind::real && r.repeat_left == 0) {
      i += read_short_reals(r, f.reals + i, f.count - i);
      if (i == f.count) break;
    }
    const ReadStatus st = f.kind == ValueKind::integer ? read_int(r, f.ints[i], slash)
                                                       : read_real(r, f.reals[i], slash);
    if (st != ReadStatus::ok) return st;
  }
  return ReadStatus::ok;
}

}  // namespace

namespace {

long read_descriptor(void* source, char* buffer, size_t size) {
  return read(*static_cast<const int*>(source), buffer, size);
}

}  // namespace

void reader_init(FreeFormReader& r, int fd) {
  reader_init_source(r, read_descriptor, &r.fd);
  r.fd = fd;
}

void reader_init_source(FreeFormReader& r, ReadText read_text, void* source) {
  r.fd = -1;
  r.read_text = read_text;
  r.source = source;
  r.line = 1;
  r.group_line = 0;
  r.values_assigned = 0;
  r.pos = 0;
  r.end = 0;
  r.input_ended = false;
  r.comma_means_null = true;
  r.repeat_left = 0;
  r.repeat_is_null = false;
  r.repeat_int_status = ValueStatus::bad_syntax;
  r.repeat_real_status = ValueStatus::bad_syntax;
  r.repeat_int = 0;
  r.repeat_real = 0;
  r.repeat_text[0] = '\0';
  r.fault = ReadFault{0, ValueKind::integer, ValueStatus::ok, false, false, 0, {}};
  r.data[0] = '\0';
}

ReadStatus read_group(FreeFormReader& r, const GroupField* fields, int field_count) {
  r.values_assigned = 0;
  r.group_line = 0;
  r.repeat_left = 0;
  r.comma_means_null = true;
  r.fault.text[0] = '\0';
  bool wants_values = false;
  for (int i = 0; i < field_count; ++i) wants_values |= fields[i].count > 0;
  if (!wants_values) return consume_line(r);
  bool slash = false;
  for (int i = 0; i < field_count && !slash; ++i) {
    const ReadStatus st = read_field(r, fields[i], slash);
    if (st != ReadStatus::ok) return st;
  }
  return skip_rest_of_line(r);
}

ReadStatus reader_has_more_text(FreeFormReader& r, bool& more) {
  for (;;) {
    for (; r.pos < r.end; ++r.pos) {
      const unsigned char c = class_at(r, r.pos);
      if (c == kLineEnd) {
        ++r.line;
      } else if (c != kBlank && c != kReturn) {
        more = true;
        return ReadStatus::ok;
      }
    }
    switch (fill(r, r.pos)) {
      case Fill::more: break;
      case Fill::ended: more = false; return ReadStatus::ok;
      case Fill::failed: return ReadStatus::input_error;
    }
  }
}
