// Preloaded into a tool by the fault-injection tests to change a file
// under it at a chosen moment, as another process could:
// - the file named by VANISH_PATH is removed at the moment the tool opens
//   it, as if it had been deleted between the tool's existence test and
//   its open;
// - the file named by SHRINK_PATH is cut to SHRINK_SIZE bytes just after
//   the tool's first read from it returns, as if it had been truncated
//   while the tool was reading it.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

int shrink_fd = -1;  // the tool's descriptor of SHRINK_PATH until it is cut

bool is_named(const char* variable, const char* path) {
  const char* target = getenv(variable);
  return target != nullptr && path != nullptr && std::strcmp(path, target) == 0;
}

using OpenFunction = int (*)(const char*, int, ...);
using ReadFunction = ssize_t (*)(int, void*, size_t);

int forward(const char* name, const char* path, int flags, va_list args) {
  static OpenFunction real_open = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "open"));
  static OpenFunction real_open64 = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "open64"));
  const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(args, int)) : 0;
  if (is_named("VANISH_PATH", path)) unlink(path);
  const int fd = std::strcmp(name, "open") == 0 ? real_open(path, flags, mode)
                                                : real_open64(path, flags, mode);
  if (fd >= 0 && is_named("SHRINK_PATH", path)) shrink_fd = fd;
  return fd;
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const int fd = forward("open", path, flags, args);
  va_end(args);
  return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const int fd = forward("open64", path, flags, args);
  va_end(args);
  return fd;
}

extern "C" ssize_t read(int fd, void* buf, size_t count) {
  static ReadFunction real_read = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
  const ssize_t n = real_read(fd, buf, count);
  if (fd >= 0 && fd == shrink_fd) {
    shrink_fd = -1;
    if (truncate(getenv("SHRINK_PATH"), atol(getenv("SHRINK_SIZE"))) != 0) abort();
  }
  return n;
}
