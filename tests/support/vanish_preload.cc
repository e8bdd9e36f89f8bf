// Preloaded into a tool by the fault-injection tests: the file named by
// VANISH_PATH is removed at the moment the tool opens it, as if another
// process had deleted it between the tool's existence test and its open.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

void vanish_if_named(const char* path) {
  const char* target = getenv("VANISH_PATH");
  if (target != nullptr && path != nullptr && std::strcmp(path, target) == 0) unlink(path);
}

using OpenFunction = int (*)(const char*, int, ...);

int forward(const char* name, const char* path, int flags, va_list args) {
  static OpenFunction real_open = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "open"));
  static OpenFunction real_open64 = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "open64"));
  const mode_t mode = (flags & O_CREAT) ? static_cast<mode_t>(va_arg(args, int)) : 0;
  vanish_if_named(path);
  return std::strcmp(name, "open") == 0 ? real_open(path, flags, mode) : real_open64(path, flags, mode);
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
