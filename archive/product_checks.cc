#include "product_checks.h"

#include <cstdio>
#include <sstream>

#include "sample_run.h"

OpenProduct::OpenProduct(const std::string& path) {
  if (nc_open(path.c_str(), NC_NOWRITE, &ncid_) != NC_NOERR) ncid_ = -1;
}

OpenProduct::~OpenProduct() {
  if (ncid_ >= 0) nc_close(ncid_);
}

int OpenProduct::group(const std::string& name) const {
  int id = -1;
  if (name.empty()) return ncid_;
  return nc_inq_grp_ncid(ncid_, name.c_str(), &id) == NC_NOERR ? id : -1;
}

template <typename T>
std::vector<T> OpenProduct::values(const std::string& group_name, const std::string& name) const {
  const int g = group(group_name);
  int v = -1, rank = 0;
  int dims[NC_MAX_VAR_DIMS];
  nc_type type;
  size_t size = 0;
  if (g < 0 || nc_inq_varid(g, name.c_str(), &v) != NC_NOERR ||
      nc_inq_var(g, v, nullptr, &type, &rank, dims, nullptr) != NC_NOERR ||
      nc_inq_type(g, type, nullptr, &size) != NC_NOERR || size != sizeof(T)) {
    return {};
  }
  size_t n = 1;
  for (int i = 0; i < rank; ++i) {
    size_t length = 0;
    nc_inq_dimlen(g, dims[i], &length);
    n *= length;
  }
  std::vector<T> out(n);
  if (n > 0 && nc_get_var(g, v, out.data()) != NC_NOERR) return {};
  return out;
}

template std::vector<int8_t> OpenProduct::values(const std::string&, const std::string&) const;
template std::vector<uint8_t> OpenProduct::values(const std::string&, const std::string&) const;
template std::vector<int16_t> OpenProduct::values(const std::string&, const std::string&) const;
template std::vector<uint16_t> OpenProduct::values(const std::string&, const std::string&) const;
template std::vector<int32_t> OpenProduct::values(const std::string&, const std::string&) const;
template std::vector<float> OpenProduct::values(const std::string&, const std::string&) const;

size_t OpenProduct::length(const std::string& group_name, const std::string& dimension) const {
  int d = -1;
  size_t n = 0;
  const int g = group(group_name);
  if (g < 0 || nc_inq_dimid(g, dimension.c_str(), &d) != NC_NOERR) return SIZE_MAX;
  nc_inq_dimlen(g, d, &n);
  return n;
}

std::string OpenProduct::text(const std::string& group_name, const std::string& name,
                              const std::string& variable) const {
  const int g = group(group_name);
  int v = NC_GLOBAL;
  size_t n = 0;
  if (g < 0 || (!variable.empty() && nc_inq_varid(g, variable.c_str(), &v) != NC_NOERR) ||
      nc_inq_attlen(g, v, name.c_str(), &n) != NC_NOERR) {
    return "";
  }
  std::string s(n, '\0');
  if (nc_get_att_text(g, v, name.c_str(), s.data()) != NC_NOERR) return "";
  return s;
}

int64_t OpenProduct::number(const std::string& group_name, const std::string& name) const {
  long long n = -1;
  const int g = group(group_name);
  if (g < 0 || nc_get_att_longlong(g, NC_GLOBAL, name.c_str(), &n) != NC_NOERR) return -1;
  return n;
}

std::string extractor_text(const OpenProduct& p, bool carriage) {
  const std::string g = carriage ? "carriage" : "interferogram";
  const auto record = p.values<int32_t>(g, "record");
  const auto subframe = p.values<uint8_t>(g, "subframe");
  const auto number = p.values<uint16_t>(g, "interferogram");
  const auto status = p.values<uint8_t>(g, "status");
  const auto detector1 = p.values<int32_t>(g, "detector1");
  const auto detector2 = p.values<int32_t>(g, "detector2");
  const auto position = p.values<int16_t>(g, "carriage");
  const auto notice_record = p.values<int32_t>(g, "notice_record");
  const auto notice_subframe = p.values<uint8_t>(g, "notice_subframe");
  const auto notice_kind = p.values<uint8_t>(g, "notice_kind");
  const size_t records = p.length("raw", "record");
  std::string text;
  char line[96];
  size_t s = 0, n = 0;
  for (int32_t r = 1; r <= static_cast<int32_t>(records); ++r) {
    for (int sub = 0; r > 1 && sub < 3; ++sub) {
      for (; n < notice_record.size() && notice_record[n] == r && notice_subframe[n] == sub; ++n) {
        text += notice_kind[n] == kNoticeLostLock ? "#lost lock\n" : "#status changed\n";
      }
      for (; s < record.size() && record[s] == r && subframe[s] == sub; ++s) {
        if (carriage) {
          std::snprintf(line, sizeof line, "%5d %1d %5d %x %5d\n", r, sub, number[s], status[s],
                        position[s]);
        } else {
          std::snprintf(line, sizeof line, "%5d %1d %5d %x %5d %5d\n", r, sub, number[s], status[s],
                        detector1[s], detector2[s]);
        }
        text += line;
      }
    }
    text += std::to_string(r) + "\n";
  }
  if (s != record.size() || n != notice_record.size()) text += "(elements left over)\n";
  return text;
}

std::vector<std::vector<int64_t>> dump_numbers(const std::string& text, bool hex_values) {
  std::vector<std::vector<int64_t>> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("ait affset", 0) == 0) continue;
    for (char& c : line) {
      if (c == '|' || c == '\t') c = ' ';
    }
    std::istringstream words(line);
    std::vector<int64_t> numbers;
    std::string word;
    for (int i = 0; words >> word; ++i) {
      const bool hex = i == 0 || (hex_values && i >= 3);
      numbers.push_back(std::stoll(word, nullptr, hex ? 16 : 10));
    }
    lines.push_back(numbers);
  }
  return lines;
}
