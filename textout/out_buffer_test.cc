#include "out_buffer.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "temp_dir.h"

namespace {

// The buffer is large; keep it off the stack.
OutBuffer g_out;

TEST(OutBuffer, WritesEverythingInOrderAcrossManyFlushes) {
  const TempDir dir;
  const std::string path = dir.path("out");
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  out_init(g_out, fd);
  std::string want;
  for (int i = 0; i < 100000; ++i) {
    const std::string line = "line " + std::to_string(i) + "\n";
    if (i % 3 == 0) {
      char* p = out_reserve(g_out, line.size());
      line.copy(p, line.size());
      out_commit(g_out, p + line.size());
    } else {
      out_puts(g_out, line.c_str());
    }
    want += line;
  }
  const std::string big(3 * kOutBufferSize + 17, 'x');  // larger than the buffer itself
  out_write(g_out, big.data(), big.size());
  want += big;
  EXPECT_TRUE(out_flush(g_out));
  close(fd);
  EXPECT_EQ(read_file(path), want);
}

TEST(OutBuffer, KeepsTheFirstWriteErrorAndDropsTheRest) {
  const int fd = open("/dev/full", O_WRONLY);
  ASSERT_GE(fd, 0);
  out_init(g_out, fd);
  out_puts(g_out, "lost\n");
  EXPECT_FALSE(out_flush(g_out));
  EXPECT_EQ(g_out.error, ENOSPC);
  out_puts(g_out, "also lost\n");
  EXPECT_FALSE(out_flush(g_out));
  EXPECT_EQ(g_out.error, ENOSPC);
  EXPECT_EQ(g_out.used, 0u);
  close(fd);
}

TEST(OutBuffer, ReportsAClosedDescriptor) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  close(fds[1]);
  out_init(g_out, fds[1]);
  out_puts(g_out, "x");
  EXPECT_FALSE(out_flush(g_out));
  EXPECT_EQ(g_out.error, EBADF);
}

}  // namespace
