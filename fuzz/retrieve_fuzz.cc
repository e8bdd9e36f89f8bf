// Any detection file and any operator answer through the whole retrieve
// run, in a private folder.  The first byte is the length of the answer,
// the answer follows, and the rest of the input is "all.det".
//
// Beyond not crashing: the same input gives the same output, status and
// files twice; the status is 0, 1 or 2; the console lines come in the
// dialogue's order and shapes (banner, prompt, processing, at most 1000
// progress lines, the written line naming the last entry read, finished);
// the files of an earlier run are left as they were unless the written
// line came, after a run with status 0 both hold this run's values, every
// line of a file is a value in the shortest form that reads back to
// itself, and the run makes no other file in the folder.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "free_form_value.h"
#include "fuzz_support.h"
#include "line_cursor.h"
#include "retrieve_run.h"

namespace {

const char* const kOutputs[] = {"interferogram.dat", "spectrum.dat"};
constexpr size_t kStoreSizes[] = {500, 25000};

std::string g_folder;
int g_home = -1;  // the folder the fuzzer was started in, where it keeps its files

void remove_folder() {
  if (DIR* d = opendir(g_folder.c_str())) {
    while (const dirent* e = readdir(d)) {
      if (e->d_name[0] != '.') unlink((g_folder + "/" + e->d_name).c_str());
    }
    closedir(d);
  }
  rmdir(g_folder.c_str());
}

// A fresh folder for the session, in memory where there is one; the runs
// work in it, the fuzzer outside it.
void enter_private_folder() {
  if (g_folder.empty()) {
    g_home = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (const char* base : {"/dev/shm", "/tmp"}) {
      std::string templ = std::string(base) + "/retrieve-fuzz-XXXXXX";
      if (mkdtemp(templ.data()) != nullptr) {
        g_folder = templ;
        std::atexit(remove_folder);
        break;
      }
    }
  }
  if (g_home < 0 || g_folder.empty() || chdir(g_folder.c_str()) != 0) {
    std::perror("retrieve_fuzz: no private folder");
    std::abort();
  }
}

void leave_private_folder() {
  if (fchdir(g_home) != 0) std::abort();
}

void put_file(const char* name, const uint8_t* data, size_t size) {
  const int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size))) std::abort();
  close(fd);
}

std::vector<std::string> folder_names() {
  std::vector<std::string> names;
  DIR* d = opendir(".");
  while (const dirent* e = readdir(d)) {
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  }
  closedir(d);
  return names;
}

// What the output files hold before every run: no value reads so.
constexpr char kEarlierRun[] = "earlier run\n";

struct Run {
  ProgramResult console;
  std::string file[2];
};

Run run_once(const std::string& answer) {
  for (const char* name : kOutputs) {
    put_file(name, reinterpret_cast<const uint8_t*>(kEarlierRun), sizeof kEarlierRun - 1);
  }
  Run r;
  r.console = run_in_process([](int, char**) { return retrieve_main(); }, {"retrieve"}, answer);
  for (int i = 0; i < 2; ++i) {
    FILE* f = std::fopen(kOutputs[i], "rb");
    r.file[i].clear();
    if (f != nullptr) {
      char buf[4096];
      for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) r.file[i].append(buf, n);
      std::fclose(f);
    }
  }
  for (const std::string& name : folder_names()) {
    fuzz_require(name == "all.det" || name == kOutputs[0] || name == kOutputs[1],
                 "nothing but the input and the outputs in the folder", name);
  }
  return r;
}

// Each line a float in the shortest form that reads back to it.
void check_value_file(const std::string& text, size_t store_size) {
  size_t lines = 0;
  for_each_line(text, [&](std::string_view line) {
    ++lines;
    std::string copy(line);
    float v = 0;
    fuzz_require(parse_real(copy.data(), copy.data() + copy.size(), v) == ValueStatus::ok,
                 "value reads back", line);
    char shortest[32];
    const auto end = std::to_chars(shortest, shortest + sizeof shortest, v).ptr;
    fuzz_require(std::string_view(shortest, end - shortest) == line, "shortest form", line);
  });
  fuzz_require(lines <= store_size, "no more values than the store holds", "");
}

// The number in a fixed field: false for asterisks (a number too wide).
bool field_number(std::string_view field, size_t width, int64_t& n) {
  if (field == std::string(width, '*')) return false;
  int64_t hi = 1;
  for (size_t i = 0; i < width; ++i) hi *= 10;
  LineCursor c{field, 0};
  fuzz_require(field.size() == width && take_int(c, width, -(hi / 10 - 1), hi - 1) && at_end(c),
               "fixed field", field);
  n = std::stol(std::string(field));
  return true;
}

void check_console(const std::string& out, int status) {
  static const char* const kOpening[] = {"", "", "", "     PROGRAM RETRIEVE",
                                         " Input ifgram. number (  1)"};
  enum Stage { opening, processing, progress, written, finished };
  Stage stage = opening;
  size_t opening_lines = 0, progress_lines = 0;
  bool last_known = false;
  int64_t last_number = 0;
  for_each_line(out, [&](std::string_view line) {
    if (stage == opening && opening_lines < 5) {
      fuzz_require(line == kOpening[opening_lines++], "banner and prompt", line);
    } else if (stage == opening) {
      fuzz_require(line == " Processing...............", "processing line", line);
      stage = processing;
    } else if (stage <= progress && line.rfind(" #=", 0) == 0) {
      stage = progress;
      ++progress_lines;
      last_known = field_number(line.substr(3), 3, last_number);
    } else if (stage <= progress && line.rfind(" Written interferogram no.=", 0) == 0) {
      stage = written;
      fuzz_require(progress_lines > 0, "a written entry was read", line);
      int64_t n = 0;
      const bool known = field_number(line.substr(27), 4, n);
      fuzz_require(!last_known || (known && n == last_number), "written number is the last read",
                   line);
    } else {
      fuzz_require(stage >= processing && stage != finished && line == " Finished!",
                   "finished line", line);
      fuzz_require((stage == written) == (status == 0), "written line with status 0 only", line);
      stage = finished;
    }
  });
  fuzz_require(opening_lines == 5 || status == 2, "a whole opening", "");
  fuzz_require(progress_lines <= 1000, "at most 1000 entries", "");
  fuzz_require((stage == finished) == (status != 2), "finished unless a fault", "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  enter_private_folder();
  const size_t answer_size = data[0] < size - 1 ? data[0] : size - 1;
  const std::string answer(reinterpret_cast<const char*>(data + 1), answer_size);
  put_file("all.det", data + 1 + answer_size, size - 1 - answer_size);

  const Run first = run_once(answer);
  const Run second = run_once(answer);
  leave_private_folder();

  const int status = first.console.status;
  fuzz_require(first.console.out == second.console.out && status == second.console.status &&
                   first.file[0] == second.file[0] && first.file[1] == second.file[1],
               "same output and files twice", "");
  fuzz_require(status == 0 || status == 1 || status == 2, "status 0, 1 or 2",
               std::to_string(status));
  check_console(first.console.out, status);
  const bool written = first.console.out.find("\n Written interferogram no.=") != std::string::npos;
  for (int i = 0; i < 2; ++i) {
    if (!written) {
      fuzz_require(first.file[i] == kEarlierRun, "files untouched until the written line",
                   kOutputs[i]);
    } else if (status == 0) {
      check_value_file(first.file[i], kStoreSizes[i]);
    }
  }
  return 0;
}
