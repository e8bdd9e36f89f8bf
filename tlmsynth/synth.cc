#include "synth.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "command_line.h"
#include "format/channels.h"

using namespace tlmframe;

namespace {

// A small deterministic generator (splitmix64): the same seed and position
// always give the same word, whatever order records are made in.
uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

uint16_t bcd(int v) { return static_cast<uint16_t>(((v / 10) << 4) | (v % 10)); }

int sync_row_of(const SynthOptions& o, int64_t index, int sub) {
  const int64_t n = index * kSubframeCount + sub;
  return o.sync_rows[n % o.sync_row_count];
}

// The row that channel k occupies for a sync row, as the tools find it.
int row_of_channel(int sync_row, int channel) {
  const int row = channel_row(sync_row, channel);
  return row < 0 ? -1 : row;
}

void put_channel(TelemetryRecord& r, int sub, int sync_row, int channel, int column, uint16_t v) {
  const int row = row_of_channel(sync_row, channel);
  if (row >= 0 && row < kRowsPerSubframe) {
    r.words[sub * kSubframeWords + row * kWordsPerRow + column] = v;
  }
}

// Housekeeping of one subframe: plausible slowly varying words in both
// columns, then the channels that carry meaning, then the caller's words.
void fill_housekeeping(const SynthOptions& o, int64_t index, int sub, int sync_row,
                       TelemetryRecord& r) {
  uint16_t* w = r.words + sub * kSubframeWords;
  for (int row = 0; row < kRowsPerSubframe; ++row) {
    const uint64_t noise = mix(o.seed ^ (static_cast<uint64_t>(index) << 20) ^ (sub << 8) ^ row);
    const int channel =
        sync_row >= 0 ? (row - sync_row + kRowsPerSubframe) % kRowsPerSubframe : row + 1;
    w[row * kWordsPerRow + 0] = static_cast<uint16_t>(0x0200 + row);
    w[row * kWordsPerRow + kRawHousekeepingColumn] = static_cast<uint16_t>(0x0A00 + channel);
    w[row * kWordsPerRow + 8] = static_cast<uint16_t>(noise >> 48);
    w[row * kWordsPerRow + kHousekeepingColumn] =
        static_cast<uint16_t>((1800 + 9 * channel + static_cast<int>(noise & 7)) << 4);
  }
  if (sync_row >= 0) w[sync_row * kWordsPerRow] = kSyncWord;

  const int64_t ifg = o.first_interferogram + index / o.records_per_interferogram;
  const bool status = o.status_period > 0 && (index / o.status_period) % 2 == 1;
  const int64_t seconds = o.start_second + index;  // one record a second
  const int hh = static_cast<int>(seconds / 3600 % 24), mm = static_cast<int>(seconds / 60 % 60),
            ss = static_cast<int>(seconds % 60);
  const int c12 = kHousekeepingColumn;
  put_channel(r, sub, sync_row, kInterferogramNumberChannel, c12, static_cast<uint16_t>(ifg));
  put_channel(r, sub, sync_row, kInterferogramNumberChannel, kRawHousekeepingColumn, 0x00C3);
  put_channel(r, sub, sync_row, kDcFlagsChannel, c12,
              static_cast<uint16_t>(0x0003 | (status ? kStatusBit : 0)));
  put_channel(r, sub, sync_row, kTimeChannelA, c12, bcd(hh));
  put_channel(r, sub, sync_row, kTimeChannelB, c12,
              static_cast<uint16_t>((bcd(mm) << 8) | bcd(ss)));
  put_channel(r, sub, sync_row, kConfigurationChannel, c12, 0x8002);
  for (int i = 0; i < 6; ++i) {
    put_channel(r, sub, sync_row, kAuxiliaryDetectorChannels[i], c12, (i % 3 == 0) ? 0x0100 : 0);
  }
  for (int i = 0; i < o.chosen_count; ++i) {
    const ChosenWord& c = o.chosen[i];
    put_channel(r, sub, sync_row, c.channel, c.column, c.value);
  }
  for (int i = 0; i < o.drifting_count; ++i) {
    const DriftingChannel& d = o.drifting[i];
    const uint16_t word = drifting_word(d, index);
    for (int column : {kHousekeepingColumn, kRawHousekeepingColumn}) {
      if (d.column < 0 || d.column == column)
        put_channel(r, sub, sync_row, d.channel, column, word);
    }
  }
}

// The true signal of the two detectors at a sample position: a centre
// burst in the middle of each interferogram over a baseline and noise.
void signal_at(int64_t position, int64_t length, uint64_t noise, double& t1, double& t2) {
  const double x = static_cast<double>(position - length / 2);
  const double envelope = std::exp(-(x * x) / (2.0 * 40.0 * 40.0));
  const double wave = std::cos(2.0 * M_PI * x / 7.5);
  const double n1 = static_cast<double>(static_cast<int>(noise & 0x3FF) - 512);
  const double n2 = static_cast<double>(static_cast<int>((noise >> 10) & 0x3FF) - 512);
  t1 = 3000.0 + 120000.0 * envelope * wave + n1;
  t2 = -2000.0 + 70000.0 * envelope * std::cos(2.0 * M_PI * x / 7.5 + 0.4) + n2;
}

// The gain code the instrument would pick for a signal: the finest range
// in which the 15-bit sample still holds it.
int gain_for(double magnitude) {
  if (magnitude < 16000) return 3;
  if (magnitude < 32000) return 2;
  if (magnitude < 64000) return 1;
  return 0;
}

uint16_t detector_word(double t, int gain, uint64_t noise) {
  long s = 16385 + std::lround(t / static_cast<double>(1 << (3 - gain)));
  if (s < 0) s = 0;
  if (s > 32767) s = 32767;
  return static_cast<uint16_t>((s << 1) | static_cast<long>(noise & 1));
}

constexpr int kGroupsPerRecord = kSubframeCount * kGroupsPerSubframe;

// The gain code of the first group of a record when the codes jump.
int first_jumping_gain(const SynthOptions& o, int64_t index) {
  return static_cast<int>(mix(o.seed ^ 0x5EED6A1Dull ^ (static_cast<uint64_t>(index) << 24)) & 3);
}

// Gain codes that move by a random step of 1 to 3 (modulo 4) from group to
// group.  A record's codes start from one drawn for that record alone and
// its last code also avoids the next record's first, so that every record
// can be made on its own and the codes still move between records.
void jumping_gains(const SynthOptions& o, int64_t index, int gains[kGroupsPerRecord]) {
  int gain = first_jumping_gain(o, index);
  for (int k = 0; k < kGroupsPerRecord; ++k) {
    if (k > 0) {
      const uint64_t draw =
          mix(o.seed ^ 0x57E95ull ^ static_cast<uint64_t>(index * kGroupsPerRecord + k));
      gain = (gain + 1 + static_cast<int>(draw % 3)) & 3;
    }
    gains[k] = gain;
  }
  const int next = first_jumping_gain(o, index + 1);
  int& last = gains[kGroupsPerRecord - 1];
  while (last == next || last == gains[kGroupsPerRecord - 2]) last = (last + 1) & 3;
}

// gains: the record's jumping gain codes, or nullptr for the codes that fit
// the signal.
void fill_samples(const SynthOptions& o, int64_t index, int sub, const int* gains,
                  TelemetryRecord& r) {
  uint16_t* w = r.words + sub * kSubframeWords;
  const int64_t length = static_cast<int64_t>(o.records_per_interferogram) * 3 * kGroupsPerSubframe;
  for (int k = 0; k < kGroupsPerSubframe; ++k) {
    const int64_t clock = (index * 3 + sub) * kGroupsPerSubframe + k;
    const int64_t position = clock % length;
    const uint64_t noise = mix(o.seed * 0x100000001ull ^ static_cast<uint64_t>(clock));
    double t1, t2;
    signal_at(position, length, noise, t1, t2);
    const int gain = gains != nullptr ? gains[sub * kGroupsPerSubframe + k]
                                      : gain_for(std::fmax(std::fabs(t1), std::fabs(t2)));
    const bool flagged = static_cast<int>((noise >> 24) % 100) >= o.drop_percent;
    uint16_t control = static_cast<uint16_t>((noise >> 32) & 0xFFF8);
    control = static_cast<uint16_t>(control | (gain << 1) | (flagged ? 1 : 0));
    if (o.carriage) {
      // A triangular carriage scan over the interferogram, 0..4095.
      const int64_t half = length / 2;
      const int64_t up = position < half ? position : length - position;
      const int value = static_cast<int>(up * 4095 / (half > 0 ? half : 1));
      control = static_cast<uint16_t>((value << 4) | ((noise >> 40) & 0xF));
    }
    uint16_t* group = w + group_word_offset(k);
    group[0] = control;
    if (o.random_detector_words) {
      const uint64_t words = mix(noise);
      group[1] = static_cast<uint16_t>(words);
      group[2] = static_cast<uint16_t>(words >> 16);
    } else {
      group[1] = detector_word(t1, gain, noise >> 48);
      group[2] = detector_word(t2, gain, noise >> 49);
    }
  }
}

}  // namespace

void synth_defaults(SynthOptions& o) {
  std::memset(&o, 0, sizeof o);
  o.records = 10;
  o.seed = 1;
  o.sync_rows[0] = 5;
  o.sync_row_count = 1;
  o.first_interferogram = 1;
  o.records_per_interferogram = 4;
  o.drop_percent = 3;
  o.start_second = 12 * 3600;
}

void synth_record(const SynthOptions& o, int64_t index, TelemetryRecord& r) {
  int gains[kGroupsPerRecord];
  if (o.random_gain_steps) jumping_gains(o, index, gains);
  for (int sub = 0; sub < kSubframeCount; ++sub) {
    const int sync_row = sync_row_of(o, index, sub);
    fill_housekeeping(o, index, sub, sync_row, r);
    fill_samples(o, index, sub, o.random_gain_steps ? gains : nullptr, r);
  }
  for (int i = 0; i < o.placed_count; ++i) {
    const PlacedWord& p = o.placed[i];
    r.words[p.subframe * kSubframeWords + p.row * kWordsPerRow + p.column] = p.value;
  }
  unsigned char* trailer = reinterpret_cast<unsigned char*>(r.words + kSwappedWords);
  for (int i = 0; i < kRecordBytes - 2 * kSwappedWords; ++i) {
    trailer[i] = static_cast<unsigned char>(i * 7 + 0x31 + index);
  }
}

void encode_record(const TelemetryRecord& r, unsigned char bytes[kRecordBytes]) {
  for (int i = 0; i < kSwappedWords; ++i) {
    bytes[2 * i] = static_cast<unsigned char>(r.words[i] >> 8);
    bytes[2 * i + 1] = static_cast<unsigned char>(r.words[i] & 0xFF);
  }
  std::memcpy(bytes + 2 * kSwappedWords, r.words + kSwappedWords, kRecordBytes - 2 * kSwappedWords);
}

namespace {

bool write_all(int fd, const unsigned char* p, size_t n) {
  while (n > 0) {
    const ssize_t done = write(fd, p, n);
    if (done < 0 && errno == EINTR) continue;
    if (done == 0) errno = EIO;  // no progress and no reason given
    if (done <= 0) return false;
    p += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

}  // namespace

bool synth_write(const SynthOptions& o, int fd) {
  constexpr int kBatch = 16;
  static TelemetryRecord record;
  static unsigned char bytes[kBatch * kRecordBytes];
  int batched = 0;
  for (int64_t i = 0; i < o.records; ++i) {
    synth_record(o, i, record);
    encode_record(record, bytes + batched * kRecordBytes);
    if (++batched == kBatch) {
      if (!write_all(fd, bytes, sizeof bytes)) return false;
      batched = 0;
    }
  }
  if (!write_all(fd, bytes, static_cast<size_t>(batched) * kRecordBytes)) return false;
  if (o.tail_bytes > 0) {
    synth_record(o, o.records, record);
    encode_record(record, bytes);
    const size_t n =
        static_cast<size_t>(o.tail_bytes < kRecordBytes ? o.tail_bytes : kRecordBytes - 1);
    if (!write_all(fd, bytes, n)) return false;
  }
  return true;
}

bool parse_sync_plan(const char* text, SynthOptions& o) {
  if (std::strcmp(text, "none") == 0) {
    o.sync_rows[0] = -1;
    o.sync_row_count = 1;
    return true;
  }
  int count = 0;
  const char* p = text;
  for (;;) {
    char* end;
    const long row = std::strtol(p, &end, 10);
    if (end == p || row < -1 || row >= kRowsPerSubframe) return false;
    long repeat = 1;
    p = end;
    if (*p == 'x') {
      repeat = std::strtol(p + 1, &end, 10);
      if (end == p + 1 || repeat < 1) return false;
      p = end;
    }
    for (long i = 0; i < repeat; ++i) {
      if (count == kMaxSyncPlan) return false;
      o.sync_rows[count++] = static_cast<int>(row);
    }
    if (*p == '\0') break;
    if (*p != ',') return false;
    ++p;
  }
  o.sync_row_count = count;
  return true;
}

bool parse_chosen_word(const char* text, ChosenWord& word) {
  char* end;
  const long column = std::strtol(text, &end, 10);
  if (end == text || *end != ':' || column < 0 || column >= kWordsPerRow) return false;
  const char* p = end + 1;
  const long channel = std::strtol(p, &end, 10);
  if (end == p || *end != '=' || channel < 0 || channel >= kRowsPerSubframe) return false;
  p = end + 1;
  const unsigned long value = std::strtoul(p, &end, 0);
  if (end == p || *end != '\0' || value > 0xFFFF) return false;
  word =
      ChosenWord{static_cast<int>(column), static_cast<int>(channel), static_cast<uint16_t>(value)};
  return true;
}

bool parse_placed_word(const char* text, PlacedWord& word) {
  long fields[3];
  const long limits[3] = {kSubframeCount, kRowsPerSubframe, kWordsPerRow};
  const char separators[3] = {':', ':', '='};
  const char* p = text;
  for (int i = 0; i < 3; ++i) {
    char* end;
    fields[i] = std::strtol(p, &end, 10);
    if (end == p || *end != separators[i] || fields[i] < 0 || fields[i] >= limits[i]) return false;
    p = end + 1;
  }
  char* end;
  const unsigned long value = std::strtoul(p, &end, 0);
  if (end == p || *end != '\0' || value > 0xFFFF) return false;
  word = PlacedWord{static_cast<int>(fields[0]), static_cast<int>(fields[1]),
                    static_cast<int>(fields[2]), static_cast<uint16_t>(value)};
  return true;
}

bool parse_time_of_day(const char* text, int& seconds) {
  int fields[3];
  const int limits[3] = {24, 60, 60};
  const char* p = text;
  for (int i = 0; i < 3; ++i) {
    if (!(p[0] >= '0' && p[0] <= '9' && p[1] >= '0' && p[1] <= '9')) return false;
    fields[i] = (p[0] - '0') * 10 + (p[1] - '0');
    if (fields[i] >= limits[i] || p[2] != (i < 2 ? ':' : '\0')) return false;
    p += 3;
  }
  seconds = (fields[0] * 60 + fields[1]) * 60 + fields[2];
  return true;
}

namespace {

// A finite decimal number at p, which is left after it.
bool drift_number(const char*& p, double& v) {
  char* end;
  v = std::strtod(p, &end);
  if (end == p || !std::isfinite(v)) return false;
  p = end;
  return true;
}

}  // namespace

bool parse_drifting_channel(const char* text, DriftingChannel& d) {
  d = DriftingChannel{-1, 0, 0, 0, 0, 0};
  const char* p = text;
  char* end;
  long channel = std::strtol(p, &end, 10);
  if (end == p) return false;
  if (*end == ':') {  // a column first
    if (channel != kHousekeepingColumn && channel != kRawHousekeepingColumn) return false;
    d.column = static_cast<int>(channel);
    p = end + 1;
    channel = std::strtol(p, &end, 10);
    if (end == p) return false;
  }
  if (*end != '=' || channel < 0 || channel >= kRowsPerSubframe) return false;
  d.channel = static_cast<int>(channel);
  p = end + 1;
  if (!drift_number(p, d.start) || *p++ != ':' || !drift_number(p, d.slope)) return false;
  if (*p == '\0') return true;
  if (*p++ != ':' || !drift_number(p, d.step) || *p++ != '@') return false;
  return parse_number(p, 1, INT64_MAX, d.step_record);
}

uint16_t drifting_word(const DriftingChannel& d, int64_t index) {
  double v = d.start + d.slope * static_cast<double>(index);
  if (d.step_record > 0 && index + 1 >= d.step_record) v += d.step;
  if (!(v >= 0)) return 0;  // NaN too
  return v >= 65535 ? 65535 : static_cast<uint16_t>(std::lround(v));
}
