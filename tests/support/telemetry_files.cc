#include "telemetry_files.h"

#include <cstring>

using namespace tlmframe;

TelemetryRecord blank_record(int sync0, int sync1, int sync2) {
  TelemetryRecord r;
  std::memset(&r, 0, sizeof r);
  const int rows[3] = {sync0, sync1, sync2};
  for (int sub = 0; sub < kSubframeCount; ++sub) {
    if (rows[sub] >= 0) set_word(r, sub, rows[sub], 0, kSyncWord);
  }
  return r;
}

void set_word(TelemetryRecord& record, int sub, int row, int column, uint16_t value) {
  record.words[sub * kSubframeWords + row * kWordsPerRow + column] = value;
}

void set_channel(TelemetryRecord& record, int sub, int sync_row, int channel, int column,
                 uint16_t value) {
  set_word(record, sub, channel_row(sync_row, channel), column, value);
}

const unsigned char* stored_record(const TelemetryRecord& record) {
  static unsigned char bytes[kRecordBytes];
  encode_record(record, bytes);
  return bytes;
}

std::string telemetry_bytes(const std::vector<TelemetryRecord>& records, size_t tail_bytes) {
  std::string out;
  unsigned char bytes[kRecordBytes];
  for (const TelemetryRecord& r : records) {
    encode_record(r, bytes);
    out.append(reinterpret_cast<const char*>(bytes), kRecordBytes);
  }
  if (tail_bytes > 0) {
    encode_record(records.empty() ? blank_record(5, 5, 5) : records.back(), bytes);
    out.append(reinterpret_cast<const char*>(bytes), tail_bytes);
  }
  return out;
}

SynthOptions generated_records(int64_t records, int64_t tail_bytes) {
  SynthOptions o;
  synth_defaults(o);
  o.records = records;
  o.tail_bytes = tail_bytes;
  return o;
}

std::string synth_bytes(const SynthOptions& options) {
  std::string out;
  TelemetryRecord r;
  unsigned char bytes[kRecordBytes];
  for (int64_t i = 0; i < options.records; ++i) {
    synth_record(options, i, r);
    encode_record(r, bytes);
    out.append(reinterpret_cast<const char*>(bytes), kRecordBytes);
  }
  if (options.tail_bytes > 0) {
    synth_record(options, options.records, r);
    encode_record(r, bytes);
    out.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(options.tail_bytes));
  }
  return out;
}
