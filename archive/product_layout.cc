#include "product_layout.h"

#include <cstdio>
#include <cstring>

#include "format/channels.h"
#include "named_values.h"
#include "sample_run.h"

using namespace tlmframe;

const char kProductVersion[] = "1.0";

const char* const kTimePrefixVariables[kTimePrefixValues] = {"interferogram", "hour", "minute",
                                                             "second"};

namespace {

// Chunks along the growing dimensions, each about a megabyte or less
// uncompressed.  The raw words are chunked one column of the rows at a
// time: a column holds one kind of word (sync and row words, control words,
// detector words, housekeeping), which deflate packs far tighter alone than
// interleaved with the other fifteen.
constexpr size_t kRecordsPerChunk = 512;
constexpr size_t kSamplesPerChunk = size_t{1} << 17;
constexpr size_t kNoticesPerChunk = 4096;

// The HDF5 library's metadata cache: enough for the chunk indexes' nodes
// being filled.
constexpr size_t kMetadataCacheBytes = size_t{256} << 10;

constexpr int kTrailerBytes = kRecordBytes - 2 * kSwappedWords;

size_t size_of(nc_type type) {
  switch (type) {
    case NC_BYTE:
    case NC_UBYTE:
    case NC_CHAR: return 1;
    case NC_SHORT:
    case NC_USHORT: return 2;
    case NC_INT:
    case NC_UINT:
    case NC_FLOAT: return 4;
    default: return 8;
  }
}

// A variable along dims[0] whose elements span the other dimensions
// (extent), given as one staged column; offsets place the column inside
// them (nullptr: the whole extent).  The chunks are `chunk` elements long.
NcVar define_column(NcFile& f, StagedColumn& c, int group, const char* name, nc_type type, int rank,
                    const int* dims, const size_t* extent, size_t chunk, int level,
                    const size_t* offsets = nullptr, const size_t* chunk_extent = nullptr) {
  const NcVar v = nc_new_variable(f, group, name, type, rank, dims);
  size_t shape[kMaxColumnRank] = {chunk};
  for (int i = 1; i < rank; ++i) shape[i] = (chunk_extent ? chunk_extent : extent)[i - 1];
  nc_set_storage(f, v, shape, level);
  column_init(c, f, v, rank, offsets, chunk_extent ? chunk_extent : extent, size_of(type), chunk);
  return v;
}

// A variable of single values along dimension dim.
NcVar define_values(NcFile& f, StagedColumn& c, int group, const char* name, nc_type type, int dim,
                    size_t chunk, int level) {
  return define_column(f, c, group, name, type, 1, &dim, nullptr, chunk, level);
}

void describe(NcFile& f, NcVar v, const char* long_name, const char* units = nullptr) {
  nc_put_text(f, v, "long_name", long_name);
  if (units != nullptr) nc_put_text(f, v, "units", units);
}

template <typename T>
void put_flags(NcFile& f, NcVar v, nc_type type, const T* values, size_t n, const char* meanings) {
  nc_put_values(f, v, "flag_values", type, n, values);
  nc_put_text(f, v, "flag_meanings", meanings);
}

// The time of each element: seconds since the date, or the time of day.
NcVar define_time(NcFile& f, StagedColumn& c, int group, int dim, size_t chunk,
                  const ProductSettings& s) {
  const NcVar v =
      define_values(f, c, group, s.dated ? "time" : "time_of_day", NC_INT, dim, chunk, s.level);
  const int32_t fill = kNoTime;
  nc_put_values(f, v, "_FillValue", NC_INT, 1, &fill);
  if (s.dated) {
    char units[64];
    std::snprintf(units, sizeof units, "seconds since %04d-%02d-%02d 00:00:00 UTC", s.date.year,
                  s.date.month, s.date.day);
    nc_put_text(f, v, "standard_name", "time");
    describe(f, v, "time of the subframe, from its BCD time of day", units);
    nc_put_text(f, v, "calendar", "standard");
  } else {
    describe(f, v, "time of day of the subframe, from its BCD time of day", "s");
  }
  return v;
}

void define_raw(NcFile& f, int root, RawColumns& r, const ProductSettings& s) {
  r.group = nc_new_group(f, root, "raw");
  nc_put_text(f, NcVar{r.group, NC_GLOBAL}, "comment",
              "the source's bytes: whole records, then the cut tail of a truncated file");
  const int record = nc_new_dimension(f, r.group, "record", NC_UNLIMITED);
  const int subframe = nc_new_dimension(f, r.group, "subframe", kSubframeCount);
  const int row = nc_new_dimension(f, r.group, "row", kRowsPerSubframe);
  const int column = nc_new_dimension(f, r.group, "column", kWordsPerRow);
  const int trailer_byte = nc_new_dimension(f, r.group, "trailer_byte", kTrailerBytes);
  const int partial_byte = nc_new_dimension(f, r.group, "partial_byte", NC_UNLIMITED);

  const int words_dims[] = {record, subframe, row, column};
  const size_t words_extent[] = {kSubframeCount, kRowsPerSubframe, kWordsPerRow};
  const size_t column_extent[] = {kSubframeCount, kRowsPerSubframe, 1};
  NcVar words{};
  for (int c = 0; c < kWordsPerRow; ++c) {
    const size_t at[] = {0, 0, static_cast<size_t>(c)};
    if (c == 0) {
      words = define_column(f, r.words[c], r.group, "words", NC_USHORT, 4, words_dims, words_extent,
                            kRecordsPerChunk, s.level, at, column_extent);
    } else {
      column_init(r.words[c], f, words, 4, at, column_extent, 2, kRecordsPerChunk);
    }
  }
  describe(f, words, "telemetry words of the subframes, in host order");
  nc_put_text(
      f, words, "comment",
      "stored big-endian in the source; column 0 of the sync row holds the sync word 0x146f");

  const int trailer_dims[] = {record, trailer_byte};
  const size_t trailer_extent[] = {kTrailerBytes};
  const NcVar trailer = define_column(f, r.trailer, r.group, "trailer", NC_UBYTE, 2, trailer_dims,
                                      trailer_extent, kRecordsPerChunk, s.level);
  describe(f, trailer, "record trailer bytes, as stored");

  const int sync_dims[] = {record, subframe};
  const size_t sync_extent[] = {kSubframeCount};
  const NcVar sync = define_column(f, r.sync_row, r.group, "sync_row", NC_SHORT, 2, sync_dims,
                                   sync_extent, kRecordsPerChunk, s.level);
  describe(f, sync, "row of the subframe whose column 0 holds the sync word, -1 where none does");

  r.partial = nc_new_variable(f, r.group, "partial", NC_UBYTE, 1, &partial_byte);
  const size_t partial_chunk = kRecordBytes;
  nc_set_storage(f, r.partial, &partial_chunk, s.level);
  describe(f, r.partial, "bytes of the last record, cut short (none when the source ends whole)");
}

void define_samples(NcFile& f, int root, SampleColumns& g, const ProductSettings& s) {
  g.group = nc_new_group(f, root, g.carriage ? "carriage" : "interferogram");
  nc_put_text(f, NcVar{g.group, NC_GLOBAL}, "comment",
              g.carriage ? "one element per sample line of ifgextract -c"
                         : "one element per sample line of ifgextract");
  const int sample = nc_new_dimension(f, g.group, "sample", NC_UNLIMITED);
  const int notice = nc_new_dimension(f, g.group, "notice", NC_UNLIMITED);
  const size_t n = kSamplesPerChunk;
  describe(f, define_values(f, g.record, g.group, "record", NC_INT, sample, n, s.level),
           "number of the record the sample came from, from 1");
  describe(f, define_values(f, g.subframe, g.group, "subframe", NC_UBYTE, sample, n, s.level),
           "subframe of the record, 0 to 2");
  describe(
      f, define_values(f, g.interferogram, g.group, "interferogram", NC_USHORT, sample, n, s.level),
      "interferogram number (housekeeping channel 52)");
  const NcVar status = define_values(f, g.status, g.group, "status", NC_UBYTE, sample, n, s.level);
  describe(f, status, "status bit of the dc flags (housekeeping channel 58, bit 0x20)");
  const unsigned char status_values[] = {0, 0x20};
  put_flags(f, status, NC_UBYTE, status_values, 2, "clear set");
  define_time(f, g.time, g.group, sample, n, s);
  if (g.carriage) {
    const NcVar v = define_values(f, g.value1, g.group, "carriage", NC_SHORT, sample, n, s.level);
    describe(f, v, "carriage position (control word shifted right by 4), 0 to 4095");
    nc_put_text(f, v, "coordinates", time_variable(s));
  } else {
    const char* names[] = {"detector1", "detector2"};
    StagedColumn* columns[] = {&g.value1, &g.value2};
    for (int d = 0; d < 2; ++d) {
      const NcVar v = define_values(f, *columns[d], g.group, names[d], NC_INT, sample, n, s.level);
      describe(f, v,
               d == 0 ? "first detector's sample, gain-normalised"
                      : "second detector's sample, gain-normalised");
      nc_put_text(f, v, "coordinates", time_variable(s));
    }
  }
  const size_t m = kNoticesPerChunk;
  describe(f,
           define_values(f, g.notice_record, g.group, "notice_record", NC_INT, notice, m, s.level),
           "record whose pass gave the notice");
  describe(
      f,
      define_values(f, g.notice_subframe, g.group, "notice_subframe", NC_UBYTE, notice, m, s.level),
      "subframe whose pass gave the notice");
  const NcVar kind =
      define_values(f, g.notice_kind, g.group, "notice_kind", NC_UBYTE, notice, m, s.level);
  describe(f, kind, "what the notice says");
  const unsigned char kinds[] = {kNoticeLostLock, kNoticeStatusChanged};
  put_flags(f, kind, NC_UBYTE, kinds, 2, "lost_lock status_changed");
}

// One group's values along line, with its channel coordinate.
NcVar define_group(NcFile& f, int group, int line, StagedColumn& c, const GroupView& view,
                   nc_type type, const ProductSettings& s) {
  char dim_name[64];
  std::snprintf(dim_name, sizeof dim_name, "%s_channel", view.name);
  const size_t count = static_cast<size_t>(view.value_count);
  const int channel = nc_new_dimension(f, group, dim_name, count);
  const NcVar coordinate = nc_new_variable(f, group, dim_name, NC_INT, 1, &channel);
  describe(f, coordinate, "housekeeping channel of each value (rows counted from the sync row)");
  const int dims[] = {line, channel};
  const NcVar v =
      define_column(f, c, group, view.name, type, 2, dims, &count, kLinesPerChunk, s.level);
  char title[96];
  std::snprintf(title, sizeof title, "%s, %s", view.title,
                type == NC_USHORT ? "raw words of column 4" : "engineering values of column 12");
  describe(f, v, title);
  nc_put_text(f, v, "value_forms", view.forms);
  nc_put_text(f, v, "coordinates", time_variable(s));
  if (view.channel[0] == kFastSapChannel && view.group->channels == nullptr) {
    nc_put_text(f, v, "comment",
                type == NC_USHORT
                    ? "channel 0 and the three rows after it, counted on without wrapping, then "
                      "channel 79"
                    : "channel 0 and the three rows after it, counted on without wrapping, each "
                      "read 12 rows further on; the fourth value less the word of channel 79 "
                      "12 rows further on");
  }
  return coordinate;
}

void define_housekeeping(NcFile& f, int root, Product& p, const ProductSettings& s) {
  HousekeepingColumns& h = p.housekeeping;
  h.group = nc_new_group(f, root, "housekeeping");
  nc_put_text(f, NcVar{h.group, NC_GLOBAL}, "comment",
              "one element per line of hkdump and hkrawdump: every subframe of every record");
  const int line = nc_new_dimension(f, h.group, "line", NC_UNLIMITED);
  const size_t n = kLinesPerChunk;
  describe(f, define_values(f, h.record, h.group, "record", NC_INT, line, n, s.level),
           "record number, from 1");
  describe(f, define_values(f, h.subframe, h.group, "subframe", NC_UBYTE, line, n, s.level),
           "subframe of the record, 0 to 2");
  describe(f, define_values(f, h.sync_word, h.group, "sync_word", NC_USHORT, line, n, s.level),
           "word in column 0 of the sync row (0x146f where there is one)");
  const char* const* prefix = kTimePrefixVariables;
  describe(f, define_values(f, h.interferogram, h.group, prefix[0], NC_USHORT, line, n, s.level),
           "interferogram number (housekeeping channel 52)");
  describe(f, define_values(f, h.hour, h.group, prefix[1], NC_UBYTE, line, n, s.level),
           "hours of the time of day, BCD digits as read (channel 65, low byte)");
  describe(f, define_values(f, h.minute, h.group, prefix[2], NC_UBYTE, line, n, s.level),
           "minutes of the time of day, BCD digits as read (channel 66, high byte)");
  describe(f, define_values(f, h.second, h.group, prefix[3], NC_UBYTE, line, n, s.level),
           "seconds of the time of day, BCD digits as read (channel 66, low byte)");
  define_time(f, h.time, h.group, line, n, s);
  for (int i = 0; i < kNamedGroups; ++i) {
    h.group_channels[i] = define_group(f, h.group, line, h.groups[i], p.views[i], NC_INT, s);
  }
  for (int i = 0; i < kNamedGroups; ++i) {
    h.raw_group_channels[i] =
        define_group(f, h.group, line, h.raw_groups[i], p.raw_views[i], NC_USHORT, s);
  }
  const int channel = nc_new_dimension(f, h.group, "channel", kChannelCount);
  h.channel = nc_new_variable(f, h.group, "channel", NC_INT, 1, &channel);
  describe(f, h.channel, "housekeeping channel (format offset): rows counted from the sync row");
  const int dims[] = {line, channel};
  const size_t extent[] = {kChannelCount};
  const NcVar engineering =
      define_column(f, h.channels, h.group, "channels", NC_USHORT, 2, dims, extent, n, s.level);
  describe(f, engineering, "every housekeeping channel, raw words of column 12 (hkdump -g)");
  nc_put_text(f, engineering, "coordinates", time_variable(s));
  const NcVar raw = define_column(f, h.raw_channels, h.group, "raw_channels", NC_USHORT, 2, dims,
                                  extent, n, s.level);
  describe(f, raw, "every housekeeping channel, raw words of column 4 (hkrawdump -g)");
  nc_put_text(f, raw, "coordinates", time_variable(s));
  if (p.dictionary != nullptr) define_named_values(p, line, s);
}

// The channel numbers: coordinates that do not grow.
void write_channel_numbers(NcFile& f, const Product& p) {
  const HousekeepingColumns& h = p.housekeeping;
  const size_t start = 0;
  for (int i = 0; i < kNamedGroups; ++i) {
    size_t count = static_cast<size_t>(p.views[i].value_count);
    nc_write(f, h.group_channels[i], &start, &count, p.views[i].channel);
    count = static_cast<size_t>(p.raw_views[i].value_count);
    nc_write(f, h.raw_group_channels[i], &start, &count, p.raw_views[i].channel);
  }
  int32_t numbers[kChannelCount];
  for (int k = 0; k < kChannelCount; ++k) numbers[k] = k;
  const size_t count = kChannelCount;
  nc_write(f, h.channel, &start, &count, numbers);
}

void define_globals(NcFile& f, const ProductSettings& s) {
  const NcVar g{f.ncid, NC_GLOBAL};
  nc_put_text(f, g, "Conventions", "CF-1.10 ACDD-1.3");
  nc_put_text(f, g, "title",
              "Interferometer raw telemetry with its decoded samples and housekeeping");
  nc_put_text(f, g, "summary",
              "Level-1A product of one raw telemetry file: every record's words and trailer as "
              "received, the interferogram samples of both detectors and of the carriage, and "
              "every housekeeping channel, engineering and raw");
  nc_put_text(f, g, "processing_level", "L1A");
  nc_put_text(f, g, "source", s.source_name);
  nc_put_text(f, g, "history", s.history);
  nc_put_text(f, g, "date_created", s.created);
  nc_put_text(f, g, "product_version", kProductVersion);
  if (s.dictionary != nullptr) {
    nc_put_text(f, g, "dictionary", s.dictionary_name);
    nc_put_text(f, g, "dictionary_sha256", s.dictionary_sha256);
  }
}

}  // namespace

namespace {

void list_samples(Product& p, SampleColumns& g) {
  StagedColumn* columns[] = {&g.record,     &g.subframe, &g.interferogram, &g.status,
                             &g.time,       &g.value1,   &g.notice_record, &g.notice_subframe,
                             &g.notice_kind};
  for (StagedColumn* c : columns) p.columns[p.column_count++] = c;
  if (!g.carriage) p.columns[p.column_count++] = &g.value2;
}

void list_columns(Product& p) {
  p.column_count = 0;
  for (StagedColumn& c : p.raw.words) p.columns[p.column_count++] = &c;
  p.columns[p.column_count++] = &p.raw.trailer;
  p.columns[p.column_count++] = &p.raw.sync_row;
  list_samples(p, p.interferogram);
  list_samples(p, p.carriage);
  HousekeepingColumns& h = p.housekeeping;
  StagedColumn* columns[] = {&h.record,   &h.subframe,    &h.sync_word, &h.interferogram,
                             &h.hour,     &h.minute,      &h.second,    &h.time,
                             &h.channels, &h.raw_channels};
  for (StagedColumn* c : columns) p.columns[p.column_count++] = c;
  for (int i = 0; i < kNamedGroups; ++i) {
    p.columns[p.column_count++] = &h.groups[i];
    p.columns[p.column_count++] = &h.raw_groups[i];
  }
  const int named = p.dictionary != nullptr ? p.dictionary->count : 0;
  for (int i = 0; i < named; ++i) p.columns[p.column_count++] = &p.named[i];
}

// Each column's chunks go through the writer, straight to its dataset.
void use_writer(Product& p, const char* path, int level, int workers) {
  limit_metadata_cache(p.file, path, kMetadataCacheBytes);
  writer_start(p.writer, p.file, level, workers);
  for (int i = 0; i < p.column_count; ++i) {
    StagedColumn& c = *p.columns[i];
    column_use_writer(c, p.writer, open_chunk_target(p.file, path, c.var));
  }
}

}  // namespace

void define_product(Product& p, const ProductSettings& s, const char* path, int workers) {
  NcFile& f = p.file;
  make_group_views(kEngineeringTable, true, p.views);
  make_group_views(kRawTable, false, p.raw_views);
  p.dictionary = s.dictionary;
  define_globals(f, s);
  define_raw(f, f.ncid, p.raw, s);
  p.interferogram.carriage = false;
  define_samples(f, f.ncid, p.interferogram, s);
  p.carriage.carriage = true;
  define_samples(f, f.ncid, p.carriage, s);
  define_housekeeping(f, f.ncid, p, s);
  // Chunks are written whole and never read back: no cache is needed.
  nc_end_definitions(f, 0);
  write_channel_numbers(f, p);
  list_columns(p);
  use_writer(p, path, s.level, workers);
}

const char* time_variable(const ProductSettings& s) { return s.dated ? "time" : "time_of_day"; }

bool housekeeping_name_taken(const char* name) {
  static const char* const kNames[] = {"line",        "record",  "subframe", "sync_word",   "time",
                                       "time_of_day", "channel", "channels", "raw_channels"};
  for (const char* n : kNames) {
    if (std::strcmp(name, n) == 0) return true;
  }
  for (const char* n : kTimePrefixVariables) {
    if (std::strcmp(name, n) == 0) return true;
  }
  GroupView views[2][kNamedGroups];
  make_group_views(kEngineeringTable, true, views[0]);
  make_group_views(kRawTable, false, views[1]);
  for (const auto& table : views) {
    for (const GroupView& v : table) {
      const size_t n = std::strlen(v.name);
      if (std::strncmp(name, v.name, n) == 0 &&
          (name[n] == '\0' || std::strcmp(name + n, "_channel") == 0)) {
        return true;
      }
    }
  }
  return false;
}

void finish_product(Product& p, const ProductSettings& s, const SourceEnd& end) {
  NcFile& f = p.file;
  for (int i = 0; i < p.column_count; ++i) column_finish(*p.columns[i]);
  writer_stop(p.writer);
  for (int i = 0; i < p.column_count; ++i) column_close(*p.columns[i]);
  if (end.partial_bytes > 0) {
    const size_t start = 0;
    nc_write(f, p.raw.partial, &start, &end.partial_bytes, end.partial);
  }
  const NcVar g{f.ncid, NC_GLOBAL};
  const long long bytes = end.bytes;
  nc_put_values(f, g, "source_bytes", NC_INT64, 1, &bytes);
  nc_put_text(f, g, "source_sha256", end.sha256);
  nc_put_text(f, g, "end", end.truncated ? "truncated" : "end of data");
  const int partial = static_cast<int>(end.partial_bytes);
  nc_put_values(f, g, "partial_bytes", NC_INT, 1, &partial);
  if (s.dated && end.has_time) {
    char text[kIsoTimeSize];
    format_iso_time(text, s.date, end.first_time);
    nc_put_text(f, g, "time_coverage_start", text);
    format_iso_time(text, s.date, end.last_time);
    nc_put_text(f, g, "time_coverage_end", text);
  }
  nc_close_file(f);
}
