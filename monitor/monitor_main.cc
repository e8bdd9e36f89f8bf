#include "monitor_main.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <ctime>

#include "board.h"
#include "diag.h"
#include "exit_status.h"
#include "follow_reader.h"
#include "monitor_options.h"
#include "monitor_run.h"
#include "monitor_text.h"

namespace {

constexpr const char kProgram[] = "hkmonitor";

// The same closing messages as the housekeeping dump, whose runs read the
// channels.
constexpr InputEndTexts kInputEnd = {"No data", "Mismatch data", "Read error"};

// Following: the longest pause between two looks at the input, and the
// shortest time between two drawings of the board.
constexpr int kWaitMs = 100;
constexpr int64_t kRedrawNs = 200 * 1000000LL;

// The run's state, large and made once.
OutBuffer g_out;
Dictionary g_dictionary;
MonitorRun g_run;
FollowReader g_reader;
Board g_board;

volatile sig_atomic_t g_interrupted = 0;

void on_interrupt(int) { g_interrupted = 1; }

int64_t now_ns() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

int terminal_rows() {
  winsize w;
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &w) != 0 || w.ws_row == 0) return 24;
  return w.ws_row;
}

// The record's state changes: written, or kept for the board.
void write_transitions(bool board) {
  char line[kMaxMonitorLineBytes];
  for (int i = 0; i < g_run.transition_count; ++i) {
    const size_t n = format_transition(g_dictionary, g_run.transitions[i], line, sizeof line);
    if (board) {
      board_note(g_board, line);
    } else {
      out_write(g_out, line, n);
    }
  }
}

void write_summary() {
  out_puts(g_out, kSummaryHeader);
  char line[kMaxMonitorLineBytes];
  for (int i = 0; i < g_run.watch_count; ++i) {
    out_write(g_out, line, format_summary(g_run, g_run.watches[i], line, sizeof line));
  }
}

// The status of what was seen: 0 green, 1 yellow, 2 red.
int status_of_states() { return g_run.worst_severity; }

// The end of the input: the summary, the closing message of how it ended
// (count as the reader gave it), the status.
int finish_input(long count, bool board) {
  if (board) board_draw(g_out, g_board, g_run, terminal_rows());
  write_summary();
  const int ended = report_input_end(g_out, kInputEnd, count, g_run.records + 1, kProgram);
  return ended == kExitOk ? status_of_states() : kMonitorUnknown;
}

int finish_interrupted(bool board) {
  if (board) board_draw(g_out, g_board, g_run, terminal_rows());
  write_summary();
  diag_printf(g_out, "Interrupted at record %" PRId64 "\n", g_run.records + 1);
  return finish_output(g_out, kProgram) ? status_of_states() : kMonitorUnknown;
}

// The record loop, to the end of the input (following: to SIGINT or the
// idle time).
int monitor_input(int fd, const MonitorSettings& settings) {
  follow_init(g_reader, fd, settings.follow, kWaitMs);
  const bool board = settings.follow && isatty(STDOUT_FILENO);
  board_init(g_board, settings.input);
  const int64_t idle_ns = static_cast<int64_t>(settings.idle_seconds * 1e9);
  long long bytes_seen = 0;
  int64_t data_ns = now_ns();
  for (;;) {
    const unsigned char* record = nullptr;
    const long count = follow_next(g_reader, &record);
    if (count == tlmframe::kRecordBytes) {
      monitor_record(g_run, record);
      write_transitions(board);
      if (board && now_ns() - g_board.drawn_ns >= kRedrawNs) {
        board_draw(g_out, g_board, g_run, terminal_rows());
      }
      out_end_record(g_out);
      if (g_out.error != 0) break;
      if (g_interrupted) return finish_interrupted(board);  // a stream without pauses
      continue;
    }
    if (count < 0) return finish_input(-1, board);
    if (!settings.follow) return finish_input(follow_partial_bytes(g_reader), board);
    // Following, and nothing whole has come for a while.
    if (board) {
      if (board_behind(g_board, g_run)) board_draw(g_out, g_board, g_run, terminal_rows());
    } else {
      out_flush(g_out);
    }
    if (g_out.error != 0) break;
    if (g_interrupted) return finish_interrupted(board);
    if (g_reader.bytes != bytes_seen) {
      bytes_seen = g_reader.bytes;
      data_ns = now_ns();
    } else if (idle_ns > 0 && now_ns() - data_ns >= idle_ns) {
      return finish_input(follow_partial_bytes(g_reader), board);
    }
  }
  finish_output(g_out, kProgram);
  return kMonitorUnknown;
}

int list_dictionary() {
  out_puts(g_out, kListingHeader);
  static char line[20000];
  for (int i = 0; i < g_dictionary.count; ++i) {
    out_write(g_out, line, format_listing(g_dictionary.entries[i], line, sizeof line));
  }
  return finish_output(g_out, kProgram) ? kExitOk : kMonitorUnknown;
}

int monitor_file(const MonitorSettings& settings) {
  if (g_run.watch_count == 0) {
    diag_printf(g_out, "hkmonitor: %s: no channel has limits: nothing to check\n",
                settings.dictionary);
    return kMonitorUnknown;
  }
  const int fd = open(settings.input, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    diag_printf(g_out, "hkmonitor: %s: %s\n", settings.input, std::strerror(errno));
    return kMonitorUnknown;
  }
  struct sigaction interrupt = {}, before = {};
  g_interrupted = 0;
  if (settings.follow) {
    interrupt.sa_handler = on_interrupt;  // no SA_RESTART: a waiting read or poll ends
    sigemptyset(&interrupt.sa_mask);
    sigaction(SIGINT, &interrupt, &before);
  }
  const int status = monitor_input(fd, settings);
  if (settings.follow) sigaction(SIGINT, &before, nullptr);
  close(fd);
  return status;
}

}  // namespace

int hkmonitor_main(int argc, char** argv) {
  out_init(g_out, STDOUT_FILENO);
  MonitorSettings settings;
  const int parsed = parse_monitor_options(argc, argv, settings, g_out);
  if (parsed >= 0) return parsed;
  DictionaryFault fault;
  if (!read_dictionary(settings.dictionary, g_dictionary, fault)) {
    diag_printf(g_out, "hkmonitor: %s\n", fault.message);
    return kMonitorUnknown;
  }
  if (settings.list) return list_dictionary();
  monitor_run_init(g_run, g_dictionary);
  return monitor_file(settings);
}
