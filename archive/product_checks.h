// The archive tests' view of a product: its variables and attributes read
// back through the netCDF library, the extractor's text made again from
// them, and the numbers of the dumps' lines, to set beside the tools' own
// output.
#ifndef ARCHIVE_PRODUCT_CHECKS_H_
#define ARCHIVE_PRODUCT_CHECKS_H_

#include <netcdf.h>

#include <cstdint>
#include <string>
#include <vector>

// An open product; closed when it goes.
class OpenProduct {
 public:
  explicit OpenProduct(const std::string& path);
  ~OpenProduct();
  OpenProduct(const OpenProduct&) = delete;
  OpenProduct& operator=(const OpenProduct&) = delete;

  bool ok() const { return ncid_ >= 0; }
  // The group ("" for the root).
  int group(const std::string& name) const;
  // Every value of a variable, in its own type (T must be as wide).
  template <typename T>
  std::vector<T> values(const std::string& group, const std::string& name) const;
  size_t length(const std::string& group, const std::string& dimension) const;
  // A text attribute of the group or a variable ("" if absent), or a number.
  std::string text(const std::string& group, const std::string& name,
                   const std::string& variable = "") const;
  int64_t number(const std::string& group, const std::string& name) const;

 private:
  int ncid_ = -1;
};

// What ifgextract (or ifgextract -c) writes on standard output for the
// product's source, made from the product's group: the record number
// lines (one per record of the raw group), the notices and the sample lines.
std::string extractor_text(const OpenProduct& p, bool carriage);

// The numbers of each data line of hkdump or hkrawdump: the line prefix
// (word in hexadecimal, record, subframe), then every number after it, in
// hexadecimal when hex_values.  Lines of "ait affset" are left out.
std::vector<std::vector<int64_t>> dump_numbers(const std::string& text, bool hex_values);

#endif  // ARCHIVE_PRODUCT_CHECKS_H_
