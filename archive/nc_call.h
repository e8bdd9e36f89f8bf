// Checked calls of the netCDF C library.
//
// Every call on a product goes through these wrappers.  The first one that
// fails is remembered with what it was doing and the errno of the moment;
// every later call is then skipped, so a run defines or writes on without a
// test after each step and reports the one failure at the end of a step,
// naming the file and giving nc_strerror's text (as OutBuffer does for text
// output).
#ifndef ARCHIVE_NC_CALL_H_
#define ARCHIVE_NC_CALL_H_

#include <netcdf.h>

#include <cstddef>
#include <cstdint>

constexpr size_t kNcWhatSize = 96;

struct NcFile {
  int ncid;                // -1 while not open
  const char* path;        // the name in messages
  int status;              // the first failing status, NC_NOERR while all is well
  int system_error;        // errno when that call failed, 0 if it set none
  char what[kNcWhatSize];  // what that call was doing: "writing raw/words"
};

// A variable: its group and its id there.
struct NcVar {
  int group;
  int id;
};

void nc_file_init(NcFile& f, const char* path);

inline bool nc_good(const NcFile& f) { return f.status == NC_NOERR; }

// Takes the status of a call made with errno cleared before it; on a
// failure it is remembered, with what (and name, when given, after a
// blank) as the step.  Returns whether all is still well.
bool nc_check(NcFile& f, int status, const char* what, const char* name = nullptr);

// Marks the file failed without a netCDF call (a product that is not what
// it should be); message is the whole text after the file's name.
void nc_fail(NcFile& f, const char* message);
// The same with the system's text for error after it, when not 0.
void nc_fail_system(NcFile& f, const char* message, int error);

// "<program>: <path>: <what>: <nc_strerror>" and the system's text when the
// library saw a system error, on standard error.
void nc_report(const NcFile& f, const char* program);

// Creating and opening.  A netCDF-4 file is created at `at` (the temporary
// name of the file that messages call f.path) over whatever is there;
// opened read-only otherwise.
void nc_create_file(NcFile& f, const char* at);
void nc_open_file(NcFile& f);
// Writes out what the libraries hold of the file, then closes it: the last
// chance for buffered data to fail to reach the disk.  A file that cannot
// be written out is left open (closing would write again); the caller
// leaves the process (see pending_fail).
void nc_close_file(NcFile& f);
// Closes a file that failed, quietly.
void nc_abandon_file(NcFile& f);

// Definitions; each returns the new id, or -1 once the file has failed.
int nc_new_group(NcFile& f, int parent, const char* name);
int nc_new_dimension(NcFile& f, int group, const char* name, size_t length);
NcVar nc_new_variable(NcFile& f, int group, const char* name, nc_type type, int rank,
                      const int* dimensions);

// Chunks (one size per dimension) and deflate with shuffle at level (0: none).
void nc_set_storage(NcFile& f, NcVar v, const size_t* chunk, int level);

// Ends the definitions and gives every variable of the file a chunk cache
// of cache_bytes.  (The library applies a variable's cache only once the
// variable exists in the file, so this comes after the definitions.)
void nc_end_definitions(NcFile& f, size_t cache_bytes);

// Attributes of a variable (v.id NC_GLOBAL for the group's own).
void nc_put_text(NcFile& f, NcVar v, const char* name, const char* text);
void nc_put_values(NcFile& f, NcVar v, const char* name, nc_type type, size_t count,
                   const void* values);

// Data: a hyperslab of the variable, values in memory in the variable's
// own type.
void nc_write(NcFile& f, NcVar v, const size_t* start, const size_t* count, const void* values);
void nc_read(NcFile& f, NcVar v, const size_t* start, const size_t* count, void* values);

// "group/variable" for messages about v.
void nc_variable_name(NcVar v, char* out, size_t size);

// Looking up what a product holds; -1 (and the file failed) when absent.
int nc_find_group(NcFile& f, int parent, const char* name);
NcVar nc_find_variable(NcFile& f, int group, const char* name);

// The shape and type of a variable: rank, type and the length of each
// dimension (up to max_rank).
struct NcShape {
  nc_type type;
  int rank;
  size_t length[NC_MAX_VAR_DIMS];
};
void nc_shape(NcFile& f, NcVar v, NcShape& shape);

// A text attribute into buffer (size bytes, NUL-terminated); false when
// absent, not text or too long; the file is not failed by that.
bool nc_get_text(NcFile& f, NcVar v, const char* name, char* buffer, size_t size);
// One 64-bit integer attribute; false when absent or not one integer.
bool nc_get_int64(NcFile& f, NcVar v, const char* name, int64_t& value);

#endif  // ARCHIVE_NC_CALL_H_
