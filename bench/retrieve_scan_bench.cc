// Speed of the detection-file scan against the standard library's stream
// extraction over the same text.  A file of 100 entries of 500 samples and
// 25000 spectrum values (about 39 MB, reals written as Fortran's E15.7) is
// generated under TMPDIR; the scan runs to its end, as when the requested
// number is in no entry, and std::istream >> float reads every number in it.
// Both report MB (10^6 bytes) per second in the column "MB".
//
//   build/bench/retrieve_scan_bench [--benchmark_repetitions=9
//       --benchmark_enable_random_interleaving=true]
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "detection_scan.h"
#include "detection_writer.h"

namespace {

constexpr int kEntries = 100;
constexpr int kSamples = 500;
constexpr int kSpectrumValues = 25000;
// Every number in the file: per entry two headers of three, two count
// lines of four, the values, and ten single reals.
constexpr long kNumbers = kEntries * (2 * 3 + 2 * 4 + kSamples + kSpectrumValues + 10);

std::string file_path;
long file_size = 0;

bool make_detection_file() {
  const char* tmp = std::getenv("TMPDIR");
  file_path = std::string(tmp && *tmp ? tmp : "/tmp") + "/retrieve_scan_bench.det";
  SynthOptions options = default_synth_options();
  options.entries = kEntries;
  options.samples = kSamples;
  options.spectrum_values = kSpectrumValues;
  options.form = DetectionForm::fortran;
  const int fd = open(file_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  auto out = std::make_unique<OutBuffer>();
  out_init(*out, fd);
  const bool ok = write_detection_file(options, *out);
  file_size = lseek(fd, 0, SEEK_END);
  return close(fd) == 0 && ok;
}

void report_rate(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * file_size);
  state.counters["MB"] = benchmark::Counter(static_cast<double>(file_size) / 1e6,
                                            benchmark::Counter::kIsIterationInvariantRate);
}

void detection_scan(benchmark::State& state) {
  auto reader = std::make_unique<FreeFormReader>();
  auto entry = std::make_unique<DetectionEntry>();
  auto console = std::make_unique<OutBuffer>();
  out_init(*console, open("/dev/null", O_WRONLY));
  for (auto _ : state) {
    const int fd = open(file_path.c_str(), O_RDONLY);
    reader_init(*reader, fd);
    ScanSummary summary;
    Message m;
    const ScanOutcome outcome =
        scan_detection_file(*reader, "all.det", -1, *entry, *console, summary, m);
    close(fd);
    if (outcome != ScanOutcome::no_match || summary.entries_read != kEntries) {
      state.SkipWithError("the scan did not read every entry");
      break;
    }
  }
  report_rate(state);
}

void istream_floats(benchmark::State& state) {
  for (auto _ : state) {
    std::ifstream in(file_path);
    float v = 0;
    long n = 0;
    while (in >> v) ++n;
    benchmark::DoNotOptimize(v);
    if (n != kNumbers) {
      state.SkipWithError("stream extraction did not read every number");
      break;
    }
  }
  report_rate(state);
}

BENCHMARK(detection_scan)->Unit(benchmark::kMillisecond);
BENCHMARK(istream_floats)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (!make_detection_file()) {
    std::perror(file_path.c_str());
    return 2;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::remove(file_path.c_str());
  return 0;
}
