// At a terminal the raw-data tools show each record's lines as soon as the
// record is done, even while the input stream is still open, so that an
// operator can watch a live stream.  The test plays the terminal and the
// receiver feeding standard input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "telemetry_files.h"
#include "terminal.h"

using namespace tlmframe;

namespace {

// The tool on a stream of records, each batch sent only once the screen
// shows what the one before gave.
void expect_each_record_shown(const std::vector<std::string>& argv, int records,
                              const std::vector<std::pair<int, std::string>>& batches) {
  const std::string bytes = synth_bytes(generated_records(records));
  Terminal t;
  ASSERT_TRUE(t.start(argv, "", /*piped_input=*/true));
  int sent = 0;
  for (const auto& [count, shown] : batches) {
    t.send(bytes.substr(sent * kRecordBytes, count * kRecordBytes));
    sent += count;
    EXPECT_TRUE(t.wait_for(shown)) << "after " << sent << " records: " << shown;
  }
  t.finish();
}

TEST(TerminalOutput, IfgextractShowsEachRecordWhileTheStreamIsOpen) {
  expect_each_record_shown({IFGEXTRACT_PATH, "-c", "-F", "/dev/stdin"}, 4,
                           {{2, "\n2\n"}, {1, "    3 2     1 0 "}, {0, "\n3\n"}});
}

TEST(TerminalOutput, HkdumpShowsEachRecordWhileTheStreamIsOpen) {
  expect_each_record_shown({HKDUMP_PATH, "-p", "-F", "/dev/stdin"}, 3,
                           {{1, "146f     1 2\t"}, {1, "146f     2 2\t"}});
}

}  // namespace
