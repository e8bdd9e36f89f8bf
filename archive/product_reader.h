// The raw group of a telemetry product read back: the checks that make a
// file a product, and its records and cut tail, a batch at a time.
#ifndef ARCHIVE_PRODUCT_READER_H_
#define ARCHIVE_PRODUCT_READER_H_

#include <cstddef>
#include <cstdint>

#include "nc_call.h"
#include "record.h"
#include "source_digest.h"

struct ProductSource {
  NcFile file;
  NcVar words, trailer, partial;
  int64_t records;
  size_t partial_bytes;
  int64_t source_bytes;  // as the product says
  char sha256[kDigestTextSize];
};

// Opens path and checks that it is a telemetry product whose raw group is
// whole: the variables of the raw group with their types and shapes, and
// source_bytes and source_sha256 that agree with them.  False with the
// file failed (nc_report says why) otherwise.
bool open_product_source(ProductSource& p, const char* path);

// Records first .. first + count - 1 as the source stored them, one after
// another in out (count * kRecordBytes bytes); column is scratch room for
// count records' words of one column.
void read_source_records(ProductSource& p, int64_t first, size_t count, unsigned char* out,
                         uint16_t* column);

#endif  // ARCHIVE_PRODUCT_READER_H_
