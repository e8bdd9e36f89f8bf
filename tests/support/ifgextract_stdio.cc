// The extractor's output written the plain way, as the yardstick for its
// speed: one read(2) per record and one printf per line with the line
// formats, default stdio buffering.  It takes its records through the same
// run and decoder, so the two print the same bytes; the tests check that
// they do.
//
// usage: ifgextract_stdio [-c] FILE
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "sample_run.h"

int main(int argc, char** argv) {
  const bool carriage = argc > 2 && std::strcmp(argv[1], "-c") == 0;
  const char* path = argv[argc - 1];
  const int fd = argc > 1 ? open(path, O_RDONLY) : -1;
  if (fd < 0) {
    std::fprintf(stderr, "Error opening file\n");
    return 255;
  }
  static unsigned char record[tlmframe::kRecordBytes];
  static SampleRun run;
  sample_run_init(run, carriage ? DecodeMode::kCarriage : DecodeMode::kTwoDetector);
  ssize_t n;
  while ((n = read(fd, record, sizeof record)) == static_cast<ssize_t>(sizeof record)) {
    if (sample_run_record(run, record)) {
      for (int i = 0; i < tlmframe::kSubframeCount; ++i) {
        SamplePass pass;
        sample_pass(run, record, i, pass);
        if (pass.lost_lock) std::printf("#lost lock\n");
        if (pass.status_changed) std::printf("#status changed\n");
        const Decoder& d = run.decoder;
        for (int l = 0; l < pass.count; ++l) {
          const int counter = static_cast<int>(run.records);
          if (carriage) {
            std::printf("%5d %1d %5d %x %5d\n", counter, i, pass.interferogram_number, pass.status,
                        d.carriage_samples[l]);
          } else {
            std::printf("%5d %1d %5d %x %5d %5d\n", counter, i, pass.interferogram_number,
                        pass.status, d.detector1_samples[l], d.detector2_samples[l]);
          }
        }
      }
    }
    std::printf("%d\n", static_cast<int>(run.records));
  }
  std::fflush(stdout);
  const int counter = static_cast<int>(run.records + 1);
  if (n == 0) std::fprintf(stderr, "No bytes read at record %d\n", counter);
  else if (n < 0) std::fprintf(stderr, "Error reading at record %d\n", counter);
  else std::fprintf(stderr, "Byte mismatch reading at record %d\n", counter);
  return 0;
}
