#include "detection_layout.h"

#include <cmath>

#include "product_layout.h"

namespace {

constexpr size_t kEntriesPerChunk = 1024;
// The values of an entry's block: a few entries' samples, or a part of one
// spectrum, to a chunk.
constexpr size_t kSampleChunk[] = {16, kSampleStoreSize};
constexpr size_t kSpectrumChunk[] = {1, 8192};
// Enough for the chunks of the entries being written.
constexpr size_t kBlockCacheBytes = size_t{4} << 20;

void describe(NcFile& f, NcVar v, const char* long_name) {
  nc_put_text(f, v, "long_name", long_name);
}

// A variable of entry values (extent 1: single values), staged.
NcVar define_entry_values(NcFile& f, StagedColumn& c, int group, const char* name, nc_type type,
                          int entry, int value_dim, size_t extent, int level,
                          const char* long_name) {
  const int dims[] = {entry, value_dim};
  const int rank = value_dim < 0 ? 1 : 2;
  const NcVar v = nc_new_variable(f, group, name, type, rank, dims);
  const size_t chunk[] = {kEntriesPerChunk, extent};
  nc_set_storage(f, v, chunk, level);
  column_init(c, f, v, rank, nullptr, &extent, 4, kEntriesPerChunk);
  describe(f, v, long_name);
  return v;
}

NcVar define_block(NcFile& f, int group, const char* name, int entry, int along,
                   const size_t* chunk, int level, const char* long_name) {
  const int dims[] = {entry, along};
  const NcVar v = nc_new_variable(f, group, name, NC_FLOAT, 2, dims);
  nc_set_storage(f, v, chunk, level);
  const float nan = std::nanf("");
  nc_put_values(f, v, "_FillValue", NC_FLOAT, 1, &nan);
  describe(f, v, long_name);
  return v;
}

// An entry's block of values.  A block without values still grows the
// variable to hold its entry, with one fill value: the netCDF library does
// not fill reliably what lies past a variable's last written element (the
// HDF5 library fills the rest of each chunk).
void write_block(NcFile& f, NcVar v, size_t entry, const float* values, int32_t count,
                 int32_t& width) {
  static const float kNoValue = std::nanf("");
  if (count <= 0 && width == 0) return;
  const size_t start[] = {entry, 0};
  const size_t extent[] = {1, count > 0 ? static_cast<size_t>(count) : 1};
  nc_write(f, v, start, extent, count > 0 ? values : &kNoValue);
  if (count > width) width = count;
}

}  // namespace

void define_detection_product(DetectionProduct& p, const DetectionSettings& s) {
  NcFile& f = p.file;
  const int g = f.ncid;
  const NcVar global{g, NC_GLOBAL};
  nc_put_text(f, global, "Conventions", "CF-1.10 ACDD-1.3");
  nc_put_text(f, global, "title",
              "Interferometer detection file: interferograms and their spectra");
  nc_put_text(f, global, "summary",
              "every entry of a detection file: its interferogram samples and spectrum with the "
              "values of their headers, count lines and trailers, as retrieve reads them");
  nc_put_text(f, global, "source", s.source_name);
  nc_put_text(f, global, "history", s.history);
  nc_put_text(f, global, "date_created", s.created);
  nc_put_text(f, global, "product_version", kProductVersion);

  const int entry = nc_new_dimension(f, g, "entry", NC_UNLIMITED);
  const int sample = nc_new_dimension(f, g, "sample", NC_UNLIMITED);
  const int point = nc_new_dimension(f, g, "spectral_point", NC_UNLIMITED);
  const int header = nc_new_dimension(f, g, "header_value", 3);
  const int axis = nc_new_dimension(f, g, "axis_value", 2);
  const int ifg_tail = nc_new_dimension(f, g, "interferogram_trailer_value", 4);
  const int spec_tail = nc_new_dimension(f, g, "spectrum_trailer_value", 6);
  const int l = s.level;
  define_entry_values(f, p.number, g, "number", NC_INT, entry, -1, 1, l,
                      "interferogram number of the entry (third value of its spectrum header)");
  define_entry_values(f, p.first, g, "first", NC_INT, entry, header, 3, l,
                      "interferogram header (read group 1)");
  define_entry_values(f, p.sample_count, g, "sample_count", NC_INT, entry, -1, 1, l,
                      "number of interferogram samples");
  define_entry_values(f, p.sample_axis, g, "sample_axis", NC_FLOAT, entry, axis, 2, l,
                      "the two reals of the sample count line (sample step and start)");
  define_entry_values(f, p.sample_code, g, "sample_code", NC_INT, entry, -1, 1, l,
                      "the integer that ends the sample count line");
  p.samples =
      define_block(f, g, "samples", entry, sample, kSampleChunk, l, "interferogram samples");
  define_entry_values(f, p.interferogram_trailer, g, "interferogram_trailer", NC_FLOAT, entry,
                      ifg_tail, 4, l, "the four single reals after the samples");
  define_entry_values(f, p.spectrum_header, g, "spectrum_header", NC_INT, entry, header, 3, l,
                      "spectrum header (read group 8)");
  define_entry_values(f, p.spectrum_count, g, "spectrum_count", NC_INT, entry, -1, 1, l,
                      "number of spectrum values");
  define_entry_values(f, p.spectral_axis, g, "spectral_axis", NC_FLOAT, entry, axis, 2, l,
                      "the two reals of the spectrum count line");
  define_entry_values(f, p.spectrum_code, g, "spectrum_code", NC_INT, entry, -1, 1, l,
                      "the integer that ends the spectrum count line");
  p.spectrum = define_block(f, g, "spectrum", entry, point, kSpectrumChunk, l, "spectrum values");
  define_entry_values(f, p.spectrum_trailer, g, "spectrum_trailer", NC_FLOAT, entry, spec_tail, 6,
                      l, "the six single reals after the spectrum");
  nc_end_definitions(f, kBlockCacheBytes);
  p.entries = 0;
  p.samples_width = p.spectrum_width = 0;
}

void add_entry(DetectionProduct& p, const DetectionEntry& e) {
  NcFile& f = p.file;
  column_append(p.number, &e.header[2], 1);
  column_append(p.first, e.first_header, 1);
  column_append(p.spectrum_header, e.header, 1);
  column_append(p.sample_count, &e.samples_line.count, 1);
  column_append(p.sample_axis, e.samples_line.reals, 1);
  column_append(p.sample_code, &e.samples_line.last, 1);
  column_append(p.interferogram_trailer, e.interferogram_tail, 1);
  column_append(p.spectrum_count, &e.spectrum_line.count, 1);
  column_append(p.spectral_axis, e.spectrum_line.reals, 1);
  column_append(p.spectrum_code, &e.spectrum_line.last, 1);
  column_append(p.spectrum_trailer, e.spectrum_tail, 1);
  write_block(f, p.samples, p.entries, e.samples, e.samples_line.count, p.samples_width);
  write_block(f, p.spectrum, p.entries, e.spectrum, e.spectrum_line.count, p.spectrum_width);
  ++p.entries;
}

void finish_detection_product(DetectionProduct& p) {
  StagedColumn* columns[] = {
      &p.number,        &p.first,         &p.spectrum_header,       &p.sample_count,
      &p.sample_axis,   &p.sample_code,   &p.interferogram_trailer, &p.spectrum_count,
      &p.spectral_axis, &p.spectrum_code, &p.spectrum_trailer};
  for (StagedColumn* c : columns) column_finish(*c);
  nc_close_file(p.file);
}
