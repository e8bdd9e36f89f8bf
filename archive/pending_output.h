// An output file written under a temporary name in the folder of its final
// name, and renamed to it only when it is complete: a file that bears the
// final name is always whole, and an existing one is replaced only by a
// whole one.
//
// SIGINT, SIGTERM and SIGHUP remove the temporary file and end the program
// with a message naming the output and status 1; SIGXFSZ is ignored, so
// that a file-size limit fails the write (EFBIG) and is reported like a
// full disk.  One pending output per process.
#ifndef ARCHIVE_PENDING_OUTPUT_H_
#define ARCHIVE_PENDING_OUTPUT_H_

#include <sys/types.h>

#include <climits>
#include <cstddef>

struct PendingOutput {
  const char* final_path;
  char temp_path[PATH_MAX];
};

// Sets up the signals for program writing final_path; call once, before
// anything is read or written.
void pending_signals(const char* program, const char* final_path);

// Makes an empty file with a fresh name beside final_path ("FINAL.tmp.XXXXXX").
// False with errno set when the folder does not take it.
bool pending_create(PendingOutput& p, const char* final_path);

// Writes the file through to the disk and gives it the final name, with
// the mode a new file gets under the umask.  From here on a signal no
// longer removes anything.  False with errno set when that fails (the
// temporary file is then removed).
bool pending_commit(PendingOutput& p);

// pending_commit, with a message naming program and the final name when it
// fails; returns the exit status.
int pending_commit_reported(PendingOutput& p, const char* program);

// Removes the temporary file.
void pending_discard(PendingOutput& p);

// Removes the temporary file of an output whose writing failed and ends the
// program with status 1 at once.  The netCDF and HDF5 libraries still hold
// the file: closing it would only try to write it again (and the HDF5
// library's cleanup at exit would too), so the process leaves without
// them.
[[noreturn]] void pending_fail(PendingOutput& p);

// Whether path names the same file as the open descriptor fd.
bool same_file(const char* path, int fd);

#endif  // ARCHIVE_PENDING_OUTPUT_H_
