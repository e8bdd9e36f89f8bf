#include "board.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr const char* kColour[] = {"\033[32m", "\033[1;33m", "\033[1;31m"};
constexpr const char kPlain[] = "\033[0m";
constexpr const char kEndOfLine[] = "\033[K\n";  // clears what an earlier drawing left

// The lines around the channels: heading, blank, column heads; blank,
// "last changes", and the blank line at the bottom.
constexpr int kFixedRows = 6;

void put_line(OutBuffer& out, const char* text) {
  out_puts(out, text);
  out_puts(out, kEndOfLine);
}

void draw_channel(OutBuffer& out, const MonitorRun& run, const Watch& w) {
  const DictionaryEntry& e = run.dictionary->entries[w.entry];
  char value[32], line[kMaxNameBytes + kMaxUnitsBytes + 96];
  format_value(value, sizeof value, latest_value(run, w));
  const int s = severity(w.state.state);
  std::snprintf(line, sizeof line, "%-24s %14s %-10s %s%-6s%s", e.name, value, e.units, kColour[s],
                severity_text(s), kPlain);
  put_line(out, line);
}

}  // namespace

void board_init(Board& board, const char* input) {
  board.input = input;
  board.changes = 0;
  board.drawn_ns = 0;
  board.drawn_records = -1;
}

void board_note(Board& board, const char* line) {
  if (board.changes == kBoardChanges) {
    std::memmove(board.change[0], board.change[1], sizeof board.change[0] * (kBoardChanges - 1));
    --board.changes;
  }
  std::snprintf(board.change[board.changes++], sizeof board.change[0], "%s", line);
}

void board_draw(OutBuffer& out, Board& board, const MonitorRun& run, int rows) {
  int count[3] = {0, 0, 0};
  for (int i = 0; i < run.watch_count; ++i) ++count[severity(run.watches[i].state.state)];
  const int* time = run.sources[run.time_source].values;
  char line[512];
  out_puts(out, "\033[H");
  std::snprintf(line, sizeof line,
                "hkmonitor  %.200s  record %" PRId64
                "  %02d:%02d:%02d  %s%d RED%s  %s%d YELLOW%s  "
                "%s%d GREEN%s",
                board.input, run.records, time[1], time[2], time[3], kColour[2], count[2], kPlain,
                kColour[1], count[1], kPlain, kColour[0], count[0], kPlain);
  put_line(out, line);
  put_line(out, "");
  std::snprintf(line, sizeof line, "%-24s %14s %-10s %s", "channel", "value", "units", "state");
  put_line(out, line);
  // As many channels as the screen holds, the most severe first.
  int room = rows - kFixedRows - board.changes;
  if (room < 2) room = 2;
  const int limit = run.watch_count <= room ? run.watch_count : room - 1;
  int shown = 0;
  for (int s = 2; s >= 0; --s) {
    for (int i = 0; i < run.watch_count && shown < limit; ++i) {
      if (severity(run.watches[i].state.state) != s) continue;
      draw_channel(out, run, run.watches[i]);
      ++shown;
    }
  }
  if (shown < run.watch_count) {
    std::snprintf(line, sizeof line, "(%d more below the screen)", run.watch_count - shown);
    put_line(out, line);
  }
  put_line(out, "");
  put_line(out, board.changes > 0 ? "last changes:" : "no changes yet");
  for (int i = 0; i < board.changes; ++i) {
    // The change lines end in a newline; the board's lines clear their rest.
    std::snprintf(line, sizeof line, "%.*s", static_cast<int>(std::strcspn(board.change[i], "\n")),
                  board.change[i]);
    put_line(out, line);
  }
  out_puts(out, "\033[J");
  out_flush(out);
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  board.drawn_ns = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
  board.drawn_records = run.records;
}
