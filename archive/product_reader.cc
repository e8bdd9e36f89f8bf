#include "product_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

using namespace tlmframe;

namespace {

constexpr size_t kTrailerBytes = kRecordBytes - 2 * kSwappedWords;
constexpr size_t kRowsPerRecord = kSubframeCount * kRowsPerSubframe;

// The product lacks something a product has; says what.
bool not_a_product(NcFile& f, const char* what) {
  char text[kNcWhatSize];
  std::snprintf(text, sizeof text, "not a telemetry product: %s", what);
  nc_fail(f, text);
  return false;
}

bool has_shape(NcFile& f, NcVar v, nc_type type, int rank, const size_t* fixed, size_t& first) {
  NcShape shape;
  nc_shape(f, v, shape);
  if (!nc_good(f) || shape.type != type || shape.rank != rank) return false;
  for (int i = 1; i < rank; ++i) {
    if (shape.length[i] != fixed[i - 1]) return false;
  }
  first = shape.length[0];
  return true;
}

bool is_hex_digest(const char* t) {
  if (std::strlen(t) != 64) return false;
  for (; *t != '\0'; ++t) {
    if (!((*t >= '0' && *t <= '9') || (*t >= 'a' && *t <= 'f'))) return false;
  }
  return true;
}

}  // namespace

bool open_product_source(ProductSource& p, const char* path) {
  NcFile& f = p.file;
  nc_file_init(f, path);
  nc_open_file(f);
  if (!nc_good(f)) return false;
  const NcVar global{f.ncid, NC_GLOBAL};
  if (!nc_get_int64(f, global, "source_bytes", p.source_bytes) ||
      !nc_get_text(f, global, "source_sha256", p.sha256, sizeof p.sha256) ||
      !is_hex_digest(p.sha256)) {
    return nc_good(f) && not_a_product(f, "no source_bytes and source_sha256 attributes");
  }
  int raw = -1;
  if (nc_inq_grp_ncid(f.ncid, "raw", &raw) != NC_NOERR) return not_a_product(f, "no group raw");
  int ids[3];
  const char* names[3] = {"words", "trailer", "partial"};
  for (int i = 0; i < 3; ++i) {
    if (nc_inq_varid(raw, names[i], &ids[i]) != NC_NOERR) {
      char what[64];
      std::snprintf(what, sizeof what, "no variable raw/%s", names[i]);
      return not_a_product(f, what);
    }
  }
  p.words = NcVar{raw, ids[0]};
  p.trailer = NcVar{raw, ids[1]};
  p.partial = NcVar{raw, ids[2]};
  const size_t words_shape[] = {kSubframeCount, kRowsPerSubframe, kWordsPerRow};
  size_t records = 0, trailers = 0;
  if (!has_shape(f, p.words, NC_USHORT, 4, words_shape, records) ||
      !has_shape(f, p.trailer, NC_UBYTE, 2, &kTrailerBytes, trailers) ||
      !has_shape(f, p.partial, NC_UBYTE, 1, nullptr, p.partial_bytes)) {
    return nc_good(f) && not_a_product(f, "raw/words, trailer or partial of another type or shape");
  }
  if (trailers != records || p.partial_bytes >= static_cast<size_t>(kRecordBytes)) {
    return not_a_product(f, "raw/trailer or raw/partial of another length");
  }
  if (records > static_cast<size_t>((INT64_MAX - kRecordBytes) / kRecordBytes)) {
    return not_a_product(f, "raw/words of more records than a file can hold");
  }
  p.records = static_cast<int64_t>(records);
  const int64_t holds = p.records * kRecordBytes + static_cast<int64_t>(p.partial_bytes);
  if (holds != p.source_bytes) {
    char what[kNcWhatSize];
    std::snprintf(what, sizeof what, "altered: it holds %lld bytes, not the %lld of its source",
                  static_cast<long long>(holds), static_cast<long long>(p.source_bytes));
    nc_fail(f, what);
    return false;
  }
  return true;
}

void read_source_records(ProductSource& p, int64_t first, size_t count, unsigned char* out,
                         uint16_t* column) {
  NcFile& f = p.file;
  size_t start[4] = {static_cast<size_t>(first), 0, 0, 0};
  size_t extent[4] = {count, kSubframeCount, kRowsPerSubframe, 1};
  // One column of the rows at a time, as the product is chunked.
  for (int c = 0; c < kWordsPerRow; ++c) {
    start[3] = static_cast<size_t>(c);
    nc_read(f, p.words, start, extent, column);
    if (!nc_good(f)) return;
    for (size_t r = 0; r < count; ++r) {
      unsigned char* record = out + r * kRecordBytes;
      const uint16_t* from = column + r * kRowsPerRecord;
      for (size_t row = 0; row < kRowsPerRecord; ++row) {
        unsigned char* word = record + 2 * (row * kWordsPerRow + static_cast<size_t>(c));
        word[0] = static_cast<unsigned char>(from[row] >> 8);
        word[1] = static_cast<unsigned char>(from[row] & 0xFF);
      }
    }
  }
  // The trailers, through the same room (a trailer is shorter than a
  // record's column).
  static_assert(kTrailerBytes <= kRowsPerRecord * sizeof(uint16_t));
  unsigned char* trailers = reinterpret_cast<unsigned char*>(column);
  const size_t at[2] = {static_cast<size_t>(first), 0};
  const size_t span[2] = {count, kTrailerBytes};
  nc_read(f, p.trailer, at, span, trailers);
  if (!nc_good(f)) return;
  for (size_t r = 0; r < count; ++r) {
    std::memcpy(out + r * kRecordBytes + 2 * kSwappedWords, trailers + r * kTrailerBytes,
                kTrailerBytes);
  }
}
