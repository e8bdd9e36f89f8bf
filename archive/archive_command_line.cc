#include "archive_command_line.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "command_line.h"
#include "exit_status.h"

void now_text(char out[kNowTextSize]) {
  const time_t now = time(nullptr);
  struct tm utc;
  gmtime_r(&now, &utc);
  strftime(out, kNowTextSize, "%Y-%m-%dT%H:%M:%SZ", &utc);
}

namespace {

bool plain_word(const char* a) {
  if (*a == '\0') return false;
  for (; *a != '\0'; ++a) {
    if (std::strchr("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_./=:,+-@%",
                    *a) == nullptr) {
      return false;
    }
  }
  return true;
}

struct Text {
  char* p;
  char* end;  // room for the "..." that marks a cut is kept behind it
};

void put(Text& t, char c) {
  if (t.p < t.end) *t.p++ = c;
}

void put_word(Text& t, const char* a) {
  if (plain_word(a)) {
    while (*a != '\0') put(t, *a++);
    return;
  }
  put(t, '\'');
  for (; *a != '\0'; ++a) {
    if (*a == '\'') {
      for (const char* q = "'\\''"; *q != '\0'; ++q) put(t, *q);
    } else {
      put(t, *a);
    }
  }
  put(t, '\'');
}

}  // namespace

void history_text(char out[kHistorySize], const char* now, int argc, char** argv) {
  Text t{out, out + kHistorySize - 4};
  while (*now != '\0') put(t, *now++);
  for (int i = 0; i < argc; ++i) {
    put(t, ' ');
    put_word(t, i == 0 ? base_name(argv[0]) : argv[i]);
  }
  if (t.p == t.end) {
    std::memcpy(t.p, "...", 3);
    t.p += 3;
  }
  *t.p = '\0';
}

const char* base_name(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

int show_usage(const ProgramText& program) {
  std::fputs(program.usage, stdout);
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

int usage_error(const ProgramText& program, const char* message, const char* text) {
  if (message != nullptr) std::fprintf(stderr, "%s: %s%s\n", program.name, message, text);
  std::fputs(program.usage, stderr);
  return kExitUsage;
}

int option_error(const ProgramText& program, int getopt_result) {
  report_option_error(program.name, getopt_result, program.usage);
  return kExitUsage;
}

int parse_input_output(int argc, char** argv, const ProgramText& program, const char* needed,
                       const char*& input, const char*& output) {
  input = nullptr;
  output = nullptr;
  optind = 0;
  opterr = 0;
  int c;
  while ((c = getopt(argc, argv, ":hF:o:")) != -1) {
    switch (c) {
      case 'h': return show_usage(program);
      case 'F': input = optarg; break;
      case 'o': output = optarg; break;
      default: return option_error(program, c);
    }
  }
  if (optind < argc) return usage_error(program, "bad operand: ", argv[optind]);
  if (input == nullptr) return usage_error(program, needed);
  return -1;
}
