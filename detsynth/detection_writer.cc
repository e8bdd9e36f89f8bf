#include "detection_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "int_format.h"

namespace {

struct Writer {
  OutBuffer& out;
  const SynthOptions& options;
  uint64_t state;
};

// xorshift64*: enough for noise, and the same on every machine.
double next_uniform(Writer& w) {
  w.state ^= w.state >> 12;
  w.state ^= w.state << 25;
  w.state ^= w.state >> 27;
  return static_cast<double>((w.state * 2685821657736338717ULL) >> 11) * 0x1.0p-53;
}

bool fixed_width(const Writer& w) {
  return w.options.form == DetectionForm::fortran || w.options.form == DetectionForm::fortran_d;
}

void end_line(Writer& w) {
  if (w.options.form == DetectionForm::crlf) out_write(w.out, "\r", 1);
  out_write(w.out, "\n", 1);
}

void put_int(Writer& w, int64_t v) {
  char* p = out_reserve(w.out, kMaxIntChars);
  // The fixed-width form has no separators: fields are padded instead.
  out_commit(w.out, fixed_width(w) ? format_int_width(p, v, 6) : format_int(p, v));
}

// A real as Fortran's E15.7: "  0.1234567E+01", " -0.1234567D+01".
char* put_fortran_real(char* p, float v, char exponent_letter) {
  char text[32];  // "[-]d.dddddde[+-]xx"
  const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, 6);
  const char* t = text;
  *p++ = ' ';
  *p++ = *t == '-' ? *t++ : ' ';
  const char lead = t[0];
  const char* e = std::strchr(t, 'e');
  *p++ = '0';
  *p++ = '.';
  *p++ = lead;
  std::memcpy(p, t + 2, static_cast<size_t>(e - (t + 2)));
  p += e - (t + 2);
  int exponent = 0;
  std::from_chars(e + (e[1] == '+' ? 2 : 1), r.ptr, exponent);
  if (lead != '0') ++exponent;
  *p++ = exponent_letter;
  *p++ = exponent < 0 ? '-' : '+';
  if (exponent > -10 && exponent < 10) *p++ = '0';
  return format_int(p, exponent < 0 ? -exponent : exponent);
}

void put_real(Writer& w, float v) {
  char* p = out_reserve(w.out, 40);
  if (fixed_width(w)) {
    out_commit(w.out, put_fortran_real(p, v, w.options.form == DetectionForm::fortran ? 'E' : 'D'));
    return;
  }
  out_commit(w.out, std::to_chars(p, p + 32, v).ptr);
}

void put_separator(Writer& w) {
  if (w.options.form == DetectionForm::commas) {
    out_write(w.out, ",", 1);
  } else if (!fixed_width(w)) {
    out_write(w.out, " ", 1);
  }
}

void put_header(Writer& w, int32_t number) {
  put_int(w, 1);
  put_separator(w);
  put_int(w, 2);
  put_separator(w);
  put_int(w, number);
  end_line(w);
}

void put_count_line(Writer& w, int count, float step) {
  put_int(w, count);
  put_separator(w);
  put_real(w, step);
  put_separator(w);
  put_real(w, 0.0f);
  put_separator(w);
  put_int(w, 1);
  end_line(w);
}

// count values, values_per_line to a line; a count of zero still takes a line.
template <typename Value>
void put_values(Writer& w, int count, Value value_at) {
  const int per_line = w.options.values_per_line > 0 ? w.options.values_per_line : 1;
  for (int i = 0; i < count; ++i) {
    put_real(w, value_at(i));
    if ((i + 1) % per_line == 0 || i + 1 == count) {
      end_line(w);
    } else {
      put_separator(w);
    }
  }
  if (count <= 0) end_line(w);
}

void put_singles(Writer& w, int count) {
  for (int i = 0; i < count; ++i) {
    put_real(w, static_cast<float>(next_uniform(w)));
    end_line(w);
  }
}

void put_entry(Writer& w, int32_t number) {
  const int n = w.options.samples;
  const double centre = n / 2.0;
  put_header(w, number);
  put_count_line(w, n, 0.6328f);
  put_values(w, n, [&](int i) {
    const double x = (i - centre) / 6.0;
    return static_cast<float>(std::cos(2.1 * x) * std::exp(-x * x / 8.0) +
                              0.01 * (next_uniform(w) - 0.5));
  });
  put_singles(w, 4);
  const int m = w.options.spectrum_values;
  put_header(w, number);
  put_count_line(w, m, 0.482f);
  put_values(w, m, [&](int i) {
    const double x = (i - m * 0.4) / (m * 0.15 + 1.0);
    return static_cast<float>(std::exp(-x * x) * 1.5e3 + 2.0 * next_uniform(w));
  });
  put_singles(w, 6);
}

}  // namespace

SynthOptions default_synth_options() {
  return SynthOptions{3, 300, 2000, 1, 1, 6, DetectionForm::plain};
}

bool write_detection_file(const SynthOptions& options, OutBuffer& out) {
  Writer w{out, options, options.seed * 0x9E3779B97F4A7C15ULL + 1};
  for (int i = 0; i < options.entries; ++i) {
    put_entry(w, static_cast<int32_t>(static_cast<int64_t>(options.first_number) + i));
  }
  return out_flush(out);
}
