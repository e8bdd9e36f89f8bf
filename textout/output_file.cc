#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

int open_output_file(const char* path) {
  return open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

int close_output_file(const char* path, int fd, int error) {
  struct stat st;
  const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (close(fd) != 0 && error == 0) error = errno;
  if (error != 0 && regular) unlink(path);
  return error;
}
