#include "nc_call.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The status of a failure that the library did not see: its message
// stands alone (see nc_report).
constexpr int kOwnFailure = -1000;

}  // namespace

void nc_file_init(NcFile& f, const char* path) {
  f.ncid = -1;
  f.path = path;
  f.status = NC_NOERR;
  f.system_error = 0;
  f.what[0] = '\0';
}

namespace {

// The errno that a failed call leaves behind is kept when it tells why a
// file could not be written; others are left over from the library's own
// probing (an open that tries several formats) and would mislead.
int telling_error(int error) {
  switch (error) {
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
    case EIO:
    case EROFS:
    case EACCES:
    case EPERM: return error;
    default: return 0;
  }
}

}  // namespace

bool nc_check(NcFile& f, int status, const char* what, const char* name) {
  if (status == NC_NOERR) return true;
  const int error = telling_error(errno);
  if (f.status != NC_NOERR) return false;
  f.status = status;
  f.system_error = error;
  std::snprintf(f.what, sizeof f.what, "%s%s%s", what, name ? " " : "", name ? name : "");
  return false;
}

void nc_fail(NcFile& f, const char* message) { nc_fail_system(f, message, 0); }

void nc_fail_system(NcFile& f, const char* message, int error) {
  if (f.status != NC_NOERR) return;
  f.status = kOwnFailure;
  f.system_error = error;
  std::snprintf(f.what, sizeof f.what, "%s", message);
}

namespace {

bool skip(const NcFile& f) { return f.status != NC_NOERR; }

}  // namespace

void nc_variable_name(NcVar v, char* out, size_t size) {
  char group[NC_MAX_NAME + 1] = "";
  char name[NC_MAX_NAME + 1] = "";
  if (nc_inq_grpname(v.group, group) != NC_NOERR) group[0] = '\0';
  if (v.id == NC_GLOBAL) {
    std::snprintf(name, sizeof name, "(attributes)");
  } else if (nc_inq_varname(v.group, v.id, name) != NC_NOERR) {
    std::snprintf(name, sizeof name, "#%d", v.id);
  }
  std::snprintf(out, size, "%s/%s", std::strcmp(group, "/") == 0 ? "" : group, name);
}

void nc_report(const NcFile& f, const char* program) {
  if (f.status == kOwnFailure) {
    if (f.system_error != 0) {
      std::fprintf(stderr, "%s: %s: %s: %s\n", program, f.path, f.what,
                   std::strerror(f.system_error));
    } else {
      std::fprintf(stderr, "%s: %s: %s\n", program, f.path, f.what);
    }
  } else if (f.system_error != 0 && f.status < 0) {  // a positive status is errno itself
    std::fprintf(stderr, "%s: %s: %s: %s (%s)\n", program, f.path, f.what, nc_strerror(f.status),
                 std::strerror(f.system_error));
  } else {
    std::fprintf(stderr, "%s: %s: %s: %s\n", program, f.path, f.what, nc_strerror(f.status));
  }
}

void nc_create_file(NcFile& f, const char* at) {
  errno = 0;
  int ncid = -1;
  if (nc_check(f, nc_create(at, NC_NETCDF4 | NC_CLOBBER, &ncid), "creating")) f.ncid = ncid;
}

void nc_open_file(NcFile& f) {
  errno = 0;
  int ncid = -1;
  if (nc_check(f, nc_open(f.path, NC_NOWRITE, &ncid), "opening")) f.ncid = ncid;
}

void nc_close_file(NcFile& f) {
  if (f.ncid < 0 || skip(f)) return;
  errno = 0;
  if (!nc_check(f, nc_sync(f.ncid), "writing out")) return;
  errno = 0;
  const int status = nc_close(f.ncid);
  f.ncid = -1;
  nc_check(f, status, "closing");
}

void nc_abandon_file(NcFile& f) {
  if (f.ncid < 0) return;
  nc_abort(f.ncid);
  f.ncid = -1;
}

int nc_new_group(NcFile& f, int parent, const char* name) {
  if (skip(f)) return -1;
  int id = -1;
  errno = 0;
  return nc_check(f, nc_def_grp(parent, name, &id), "defining group", name) ? id : -1;
}

int nc_new_dimension(NcFile& f, int group, const char* name, size_t length) {
  if (skip(f)) return -1;
  int id = -1;
  errno = 0;
  return nc_check(f, nc_def_dim(group, name, length, &id), "defining dimension", name) ? id : -1;
}

NcVar nc_new_variable(NcFile& f, int group, const char* name, nc_type type, int rank,
                      const int* dimensions) {
  NcVar v{group, -1};
  if (skip(f)) return v;
  errno = 0;
  nc_check(f, nc_def_var(group, name, type, rank, dimensions, &v.id), "defining variable", name);
  return v;
}

void nc_set_storage(NcFile& f, NcVar v, const size_t* chunk, int level) {
  if (skip(f)) return;
  char name[2 * NC_MAX_NAME + 2];
  nc_variable_name(v, name, sizeof name);
  errno = 0;
  if (!nc_check(f, nc_def_var_chunking(v.group, v.id, NC_CHUNKED, chunk), "chunking", name)) return;
  if (level > 0) {
    errno = 0;
    nc_check(f, nc_def_var_deflate(v.group, v.id, 1, 1, level), "compressing", name);
  }
}

namespace {

void set_caches(NcFile& f, int group, size_t cache_bytes) {
  int count = 0;
  errno = 0;
  if (!nc_check(f, nc_inq_varids(group, &count, nullptr), "listing variables")) return;
  int ids[NC_MAX_VARS];
  if (count > NC_MAX_VARS) count = NC_MAX_VARS;
  nc_inq_varids(group, &count, ids);
  for (int i = 0; i < count; ++i) {
    errno = 0;
    if (!nc_check(f, nc_set_var_chunk_cache(group, ids[i], cache_bytes, 1, 1.0f),
                  "setting a chunk cache")) {
      return;
    }
  }
  int groups = 0;
  errno = 0;
  if (!nc_check(f, nc_inq_grps(group, &groups, nullptr), "listing groups")) return;
  int children[NC_MAX_DIMS];
  if (groups > NC_MAX_DIMS) groups = NC_MAX_DIMS;
  nc_inq_grps(group, &groups, children);
  for (int i = 0; i < groups; ++i) set_caches(f, children[i], cache_bytes);
}

}  // namespace

void nc_end_definitions(NcFile& f, size_t cache_bytes) {
  if (skip(f)) return;
  errno = 0;
  if (!nc_check(f, nc_enddef(f.ncid), "ending the definitions")) return;
  set_caches(f, f.ncid, cache_bytes);
}

void nc_put_text(NcFile& f, NcVar v, const char* name, const char* text) {
  if (skip(f)) return;
  errno = 0;
  nc_check(f, nc_put_att_text(v.group, v.id, name, std::strlen(text), text), "writing attribute",
           name);
}

void nc_put_values(NcFile& f, NcVar v, const char* name, nc_type type, size_t count,
                   const void* values) {
  if (skip(f)) return;
  errno = 0;
  nc_check(f, nc_put_att(v.group, v.id, name, type, count, values), "writing attribute", name);
}

void nc_write(NcFile& f, NcVar v, const size_t* start, const size_t* count, const void* values) {
  if (skip(f)) return;
  errno = 0;
  const int status = nc_put_vara(v.group, v.id, start, count, values);
  if (status == NC_NOERR) return;
  char name[2 * NC_MAX_NAME + 2];
  nc_variable_name(v, name, sizeof name);
  nc_check(f, status, "writing", name);
}

void nc_read(NcFile& f, NcVar v, const size_t* start, const size_t* count, void* values) {
  if (skip(f)) return;
  errno = 0;
  const int status = nc_get_vara(v.group, v.id, start, count, values);
  if (status == NC_NOERR) return;
  char name[2 * NC_MAX_NAME + 2];
  nc_variable_name(v, name, sizeof name);
  nc_check(f, status, "reading", name);
}

int nc_find_group(NcFile& f, int parent, const char* name) {
  if (skip(f)) return -1;
  int id = -1;
  errno = 0;
  return nc_check(f, nc_inq_grp_ncid(parent, name, &id), "finding group", name) ? id : -1;
}

NcVar nc_find_variable(NcFile& f, int group, const char* name) {
  NcVar v{group, -1};
  if (skip(f)) return v;
  errno = 0;
  nc_check(f, nc_inq_varid(group, name, &v.id), "finding variable", name);
  return v;
}

void nc_shape(NcFile& f, NcVar v, NcShape& shape) {
  shape.type = NC_NAT;
  shape.rank = 0;
  if (skip(f)) return;
  int dimensions[NC_MAX_VAR_DIMS];
  errno = 0;
  if (!nc_check(f,
                nc_inq_var(v.group, v.id, nullptr, &shape.type, &shape.rank, dimensions, nullptr),
                "inquiring about a variable")) {
    return;
  }
  for (int i = 0; i < shape.rank; ++i) {
    errno = 0;
    if (!nc_check(f, nc_inq_dimlen(v.group, dimensions[i], &shape.length[i]),
                  "inquiring about a dimension")) {
      return;
    }
  }
}

bool nc_get_text(NcFile& f, NcVar v, const char* name, char* buffer, size_t size) {
  if (skip(f) || size == 0) return false;
  nc_type type;
  size_t length;
  if (nc_inq_att(v.group, v.id, name, &type, &length) != NC_NOERR || type != NC_CHAR ||
      length >= size) {
    return false;
  }
  errno = 0;
  if (!nc_check(f, nc_get_att_text(v.group, v.id, name, buffer), "reading attribute", name)) {
    return false;
  }
  buffer[length] = '\0';
  return true;
}

bool nc_get_int64(NcFile& f, NcVar v, const char* name, int64_t& value) {
  if (skip(f)) return false;
  nc_type type;
  size_t length;
  if (nc_inq_att(v.group, v.id, name, &type, &length) != NC_NOERR || length != 1) return false;
  switch (type) {
    case NC_BYTE:
    case NC_UBYTE:
    case NC_SHORT:
    case NC_USHORT:
    case NC_INT:
    case NC_UINT:
    case NC_INT64:
    case NC_UINT64: break;
    default: return false;
  }
  long long v64 = 0;
  errno = 0;
  if (!nc_check(f, nc_get_att_longlong(v.group, v.id, name, &v64), "reading attribute", name)) {
    return false;
  }
  value = v64;
  return true;
}
