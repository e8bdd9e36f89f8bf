// Raw telemetry files for the tests: records made by the generator or by
// hand (in host order, as the tools see them after the byte swap), written
// to disk the way the instrument stores them.
#ifndef TESTS_SUPPORT_TELEMETRY_FILES_H_
#define TESTS_SUPPORT_TELEMETRY_FILES_H_

#include <string>
#include <vector>

#include "record.h"
#include "synth.h"

// A record of zeros with the sync word in the given row of each subframe
// (-1: none).
tlmframe::TelemetryRecord blank_record(int sync0, int sync1, int sync2);

// Sets word column of row of subframe sub (row may run past 107 or below 0,
// as long as it stays in the record).
void set_word(tlmframe::TelemetryRecord& record, int sub, int row, int column, uint16_t value);

// Sets housekeeping channel k of subframe sub for the given sync row.
void set_channel(tlmframe::TelemetryRecord& record, int sub, int sync_row, int channel, int column,
                 uint16_t value);

// The file bytes of the records, followed by tail_bytes bytes of one more.
// The record as a file stores it, where the tools read it; the bytes stay
// valid until the next call.
const unsigned char* stored_record(const tlmframe::TelemetryRecord& record);

std::string telemetry_bytes(const std::vector<tlmframe::TelemetryRecord>& records,
                            size_t tail_bytes = 0);

// The generator's default options for records whole records and tail_bytes
// of one more.
SynthOptions generated_records(int64_t records, int64_t tail_bytes = 0);

// The generator's stream for options, as file bytes.
std::string synth_bytes(const SynthOptions& options);

#endif  // TESTS_SUPPORT_TELEMETRY_FILES_H_
