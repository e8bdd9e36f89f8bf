// A program run at a pseudo-terminal, as an operator watching a live
// stream or answering the dialogue would run it: the tests read its screen
// as it is written, and feed its standard input a piece at a time.
#ifndef TESTS_SUPPORT_TERMINAL_H_
#define TESTS_SUPPORT_TERMINAL_H_

#include <sys/types.h>

#include <string>
#include <vector>

class Terminal {
 public:
  Terminal() = default;
  ~Terminal();  // a program still running is killed
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // Starts argv (argv[0] the program's path) in folder cwd ("" for this
  // one), writing to the terminal.  Standard input is the terminal, or a
  // pipe when piped_input: the receiver of a telemetry stream.
  bool start(const std::vector<std::string>& argv, const std::string& cwd, bool piped_input);

  // Reads the screen until text has appeared on it; false when it has not
  // within a bound that only stops a broken build from hanging.
  bool wait_for(const std::string& text);

  // Writes bytes to the program's standard input.
  void send(const std::string& bytes);

  // Ends a piped input, reads the screen to its end and gives the exit
  // status (-1 when the program did not exit by itself).
  int finish();

  // What the program has written, without the carriage returns of the
  // terminal's line ends.
  const std::string& screen() const { return screen_; }

 private:
  bool read_some(int timeout_ms);

  pid_t pid_ = -1;
  int master_ = -1;  // the screen
  int input_ = -1;   // the program's standard input: the pipe, or the master again
  std::string screen_;
};

#endif  // TESTS_SUPPORT_TERMINAL_H_
