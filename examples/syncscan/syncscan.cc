// syncscan: a small program outside the tools that uses the installed
// tlmframe library.  For every record of a raw telemetry file it prints the
// sync row of each subframe and the interferogram number of subframe 2.
//
// usage: syncscan FILE
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include <tlmframe/format/channels.h>
#include <tlmframe/record.h>
#include <tlmframe/record_reader.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: syncscan FILE\n");
    return 2;
  }
  const int fd = open(argv[1], O_RDONLY);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  static tlmframe::RecordReader reader;
  static tlmframe::TelemetryRecord record;
  tlmframe::reader_init(reader, fd);
  long count;
  long number = 0;
  while ((count = tlmframe::read_record(reader, record)) == tlmframe::kRecordBytes) {
    tlmframe::swap_record(record);
    std::printf("record %ld: sync rows", ++number);
    for (int i = 0; i < tlmframe::kSubframeCount; ++i) {
      std::printf(" %d", tlmframe::find_sync_row(tlmframe::subframe(record, i)));
    }
    const tlmframe::Subframe last = tlmframe::subframe(record, 2);
    const int position = tlmframe::channel_position(tlmframe::find_sync_row(last),
                                                    tlmframe::kInterferogramNumberChannel,
                                                    tlmframe::kHousekeepingColumn);
    std::printf(", interferogram %u\n", tlmframe::subframe_word(last, position));
  }
  close(fd);
  if (count < 0) {
    std::fprintf(stderr, "syncscan: read error after record %ld\n", number);
    return 1;
  }
  if (count > 0) std::printf("then %ld bytes of a cut record\n", count);
  return 0;
}
