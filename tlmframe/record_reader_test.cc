#include "record_reader.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "temp_dir.h"

using namespace tlmframe;

namespace {

RecordReader g_reader;
TelemetryRecord g_record;

// Bytes whose value tells where they stand, so a misplaced byte shows.
std::string pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return s;
}

std::vector<long> read_all_counts(int fd, const std::string& want) {
  reader_init(g_reader, fd);
  std::vector<long> counts;
  size_t offset = 0;
  for (;;) {
    const long n = read_record(g_reader, g_record);
    counts.push_back(n);
    if (n != kRecordBytes) break;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(g_record.words), kRecordBytes),
              want.substr(offset, kRecordBytes))
        << "record " << counts.size();
    offset += kRecordBytes;
  }
  return counts;
}

std::vector<long> counts_for_file(const std::string& data) {
  const TempDir dir;
  const int fd = open(dir.put("f", data).c_str(), O_RDONLY);
  std::vector<long> counts = read_all_counts(fd, data);
  close(fd);
  return counts;
}

TEST(ReadRecord, FileOfWholeRecordsEndsWithZero) {
  EXPECT_EQ(counts_for_file(""), (std::vector<long>{0}));
  const std::vector<long> counts = counts_for_file(pattern(30 * kRecordBytes));
  ASSERT_EQ(counts.size(), 31u);
  EXPECT_EQ(counts.back(), 0);
}

TEST(ReadRecord, TruncatedLastRecordGivesItsByteCountThenZero) {
  EXPECT_EQ(counts_for_file(pattern(2 * kRecordBytes + 100)),
            (std::vector<long>{kRecordBytes, kRecordBytes, 100}));
  EXPECT_EQ(counts_for_file(pattern(kRecordBytes - 1)), (std::vector<long>{kRecordBytes - 1}));
  reader_init(g_reader, -1);
  g_reader.at_end = true;
  EXPECT_EQ(read_record(g_reader, g_record), 0);
}

TEST(ReadRecord, PipeDeliveringSmallPiecesStillGivesWholeRecords) {
  const std::string data = pattern(5 * kRecordBytes + 7);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    // Odd piece sizes, with pauses, so the reader sees many short reads.
    for (size_t off = 0; off < data.size();) {
      const size_t n = std::min<size_t>(997, data.size() - off);
      if (write(fds[1], data.data() + off, n) != static_cast<ssize_t>(n)) _exit(1);
      off += n;
      if (off % 7 == 0) usleep(100);
    }
    _exit(0);
  }
  close(fds[1]);
  const std::vector<long> counts = read_all_counts(fds[0], data);
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  EXPECT_EQ(counts, (std::vector<long>{kRecordBytes, kRecordBytes, kRecordBytes, kRecordBytes,
                                       kRecordBytes, 7}));
}

TEST(ReadRecord, ReadErrorGivesMinusOneWithErrno) {
  const TempDir dir;
  const int fd = open(dir.path().c_str(), O_RDONLY);  // a directory opens but cannot be read
  ASSERT_GE(fd, 0);
  reader_init(g_reader, fd);
  EXPECT_EQ(read_record(g_reader, g_record), -1);
  EXPECT_EQ(g_reader.error, EISDIR);
  EXPECT_EQ(read_record(g_reader, g_record), -1);
  close(fd);
}

}  // namespace
