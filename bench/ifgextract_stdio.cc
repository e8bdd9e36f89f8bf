// The extractor's output written the plain way, as the yardstick for its
// speed: one read(2) per record and one printf per line with the line
// formats, default stdio buffering.  It decodes with the same library, so
// the two print the same bytes; the tests check that they do.
//
// usage: ifgextract_stdio [-c] FILE
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "decode.h"
#include "format/channels.h"

int main(int argc, char** argv) {
  bool carriage = argc > 2 && std::strcmp(argv[1], "-c") == 0;
  const char* path = argv[argc - 1];
  const int fd = argc > 1 ? open(path, O_RDONLY) : -1;
  if (fd < 0) {
    std::fprintf(stderr, "Error opening file\n");
    return 255;
  }
  static TelemetryRecord record;
  static Decoder decoder;
  decoder_init(decoder, carriage ? DecodeMode::kCarriage : DecodeMode::kTwoDetector);
  int counter = 1;
  ssize_t n = read(fd, record.words, kRecordBytes);
  if (n == kRecordBytes) {
    swap_record(record);
    int ref_sync = find_sync_row(subframe(record, 2));
    unsigned ref_status = read_dc_flags(record, 2, ref_sync) & kStatusBit;
    for (;;) {
      std::printf("%d\n", counter++);
      n = read(fd, record.words, kRecordBytes);
      if (n != kRecordBytes) break;
      swap_record(record);
      const int sync = find_sync_row(subframe(record, 2));
      for (int i = 0; i < kSubframeCount; ++i) {
        if (sync != ref_sync) {
          std::printf("#lost lock\n");
          ref_sync = sync;
        }
        const unsigned status = read_dc_flags(record, i, sync) & kStatusBit;
        if (status != ref_status) {
          std::printf("#status changed\n");
          ref_status = status;
        }
        const int count = decode_subframe(decoder, record, i);
        const unsigned ifg = read_interferogram_number(record, i, sync);
        for (int l = 0; l < count; ++l) {
          if (carriage) {
            std::printf("%5d %1d %5d %x %5d\n", counter, i, ifg, status, decoder.carriage_samples[l]);
          } else {
            std::printf("%5d %1d %5d %x %5d %5d\n", counter, i, ifg, status,
                        decoder.detector1_samples[l], decoder.detector2_samples[l]);
          }
        }
      }
    }
  }
  std::fflush(stdout);
  if (n == 0) std::fprintf(stderr, "No bytes read at record %d\n", counter);
  else if (n < 0) std::fprintf(stderr, "Error reading at record %d\n", counter);
  else std::fprintf(stderr, "Byte mismatch reading at record %d\n", counter);
  return 0;
}
