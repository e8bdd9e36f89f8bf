// The layout of a telemetry product: its groups, dimensions, variables and
// attributes (CF and ACDD), and the staged columns through which the
// record loop fills the variables.
//
//   raw            the source itself: every word, every trailer byte, the
//                  cut tail, and the sync row of every subframe
//   interferogram  what ifgextract prints, one element per sample line,
//                  and its notices
//   carriage       the same for ifgextract -c
//   housekeeping   one element per line of hkdump: the time prefix, the
//                  six groups of hkdump and of hkrawdump, and every channel
//                  of both columns; with a channel dictionary, each value
//                  it names calibrated, under its name (named_values.h)
//
// Every variable grows along the first dimension of its group; each is
// chunked along it and deflated with shuffle.
#ifndef ARCHIVE_PRODUCT_LAYOUT_H_
#define ARCHIVE_PRODUCT_LAYOUT_H_

#include <cstddef>
#include <cstdint>

#include "dictionary.h"
#include "group_views.h"
#include "nc_call.h"
#include "record.h"
#include "staged_column.h"
#include "subframe_time.h"

constexpr int kChannelCount = tlmframe::kRowsPerSubframe;  // channels 0..107

// Housekeeping lines to a chunk.
constexpr size_t kLinesPerChunk = 2048;

// The variables of the time prefix of the engineering lines, in the order
// of the line's numbers: interferogram number, hours, minutes, seconds.
extern const char* const kTimePrefixVariables[kTimePrefixValues];

struct ProductSettings {
  int level;  // deflate level, 0 for none
  bool dated;
  CalendarDate date;        // with dated: what time counts from
  const char* source_name;  // the input's file name
  const char* history;      // when and by what command line the product was made
  const char* created;      // ISO 8601 time
  // A channel dictionary whose values are named and calibrated, or nullptr;
  // its file's name and SHA-256 go into the global attributes.
  const Dictionary* dictionary;
  const char* dictionary_name;
  const char* dictionary_sha256;
};

// The interferogram or the carriage group.
struct SampleColumns {
  int group;
  bool carriage;
  StagedColumn record, subframe, interferogram, status, time;
  StagedColumn value1, value2;  // detector1 and detector2, or carriage alone
  StagedColumn notice_record, notice_subframe, notice_kind;
};

struct HousekeepingColumns {
  int group;
  StagedColumn record, subframe, sync_word, interferogram, hour, minute, second, time;
  StagedColumn groups[kNamedGroups], raw_groups[kNamedGroups];
  StagedColumn channels, raw_channels;
  // The coordinates that give each value's channel number.
  NcVar group_channels[kNamedGroups], raw_group_channels[kNamedGroups], channel;
};

struct RawColumns {
  int group;
  StagedColumn words[tlmframe::kWordsPerRow];  // one per column of a row
  StagedColumn trailer, sync_row;
  NcVar partial;
};

// Every staged column of a product: its own, and one per named value.
constexpr int kMaxColumns = 64 + kMaxDictionaryEntries;

struct Product {
  NcFile file;
  ChunkWriter writer;
  StagedColumn* columns[kMaxColumns];
  int column_count;
  RawColumns raw;
  SampleColumns interferogram, carriage;
  HousekeepingColumns housekeeping;
  GroupView views[kNamedGroups];              // hkdump's groups
  GroupView raw_views[kNamedGroups];          // hkrawdump's
  const Dictionary* dictionary;               // nullptr: no value named
  StagedColumn named[kMaxDictionaryEntries];  // each entry's calibrated values
};

// What is known only when the source has ended.
struct SourceEnd {
  int64_t bytes;
  const char* sha256;
  bool truncated;
  const unsigned char* partial;  // the bytes of a cut last record
  size_t partial_bytes;
  bool has_time;  // with a date: the first and last time of the product
  int32_t first_time, last_time;
};

// Defines the whole product in the file open at path (its temporary name),
// and starts workers threads making its chunks.
void define_product(Product& p, const ProductSettings& s, const char* path, int workers);

// Writes what the columns still hold, the cut tail and the attributes that
// describe the whole source, and closes the file.
void finish_product(Product& p, const ProductSettings& s, const SourceEnd& end);

// "time" with a date, else "time_of_day".
const char* time_variable(const ProductSettings& s);

// Whether the housekeeping group has a variable or dimension of that name,
// with or without -d: a dictionary may not give it to a value.
bool housekeeping_name_taken(const char* name);

// Version of this layout, in the product_version attribute.
extern const char kProductVersion[];

#endif  // ARCHIVE_PRODUCT_LAYOUT_H_
