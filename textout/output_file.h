// The file that a generator writes with -o.  A run whose writing fails
// removes what it wrote there: a shorter file of whole records or entries
// would pass for a complete one.  Only a regular file is removed; a FIFO or
// a device named with -o is left as it is.
#ifndef TEXTOUT_OUTPUT_FILE_H_
#define TEXTOUT_OUTPUT_FILE_H_

// Creates or empties path for writing (mode 0666 less the umask); the
// descriptor, or -1 with errno set.
int open_output_file(const char* path);

// Closes fd, opened on path.  error is the errno of a failed write, or 0;
// a failed close counts too.  When either failed the file is removed.
// Returns the error, 0 when all went well.
int close_output_file(const char* path, int fd, int error);

#endif  // TEXTOUT_OUTPUT_FILE_H_
