// The board hkmonitor keeps on a terminal while it follows a stream: a
// heading with the record and time of day, every limited channel with its
// latest value, units and state in colour (RED first, then YELLOW, then
// GREEN, as many as the screen holds), and the last state changes.  It is
// drawn again over itself from the top of the screen.
#ifndef MONITOR_BOARD_H_
#define MONITOR_BOARD_H_

#include <cstdint>

#include "monitor_run.h"
#include "monitor_text.h"
#include "out_buffer.h"

constexpr int kBoardChanges = 5;

struct Board {
  const char* input;  // the file followed, for the heading
  int changes;        // state changes kept, the latest last
  char change[kBoardChanges][kMaxMonitorLineBytes];
  int64_t drawn_ns;       // when it was drawn last (CLOCK_MONOTONIC)
  int64_t drawn_records;  // how many records it showed then
};

void board_init(Board& board, const char* input);

// Keeps the line of a state change to show.
void board_note(Board& board, const char* line);

// Whether records came since the board was drawn last.
inline bool board_behind(const Board& board, const MonitorRun& run) {
  return board.drawn_records != run.records;
}

// Draws the board at the top of the screen, `rows` lines high at most.
void board_draw(OutBuffer& out, Board& board, const MonitorRun& run, int rows);

#endif  // MONITOR_BOARD_H_
