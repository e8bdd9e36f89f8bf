// The channel dictionary: for each housekeeping value a station cares
// about, its name, description and units, which decoded value it is, an
// optional calibration into physical units, and optional limits with a
// persistence.  It is one TOML file of [[channel]] tables, read and
// checked whole when a program starts:
//
//   [[channel]]
//   name = "bus_voltage"                 # an identifier, unique in the file
//   description = "Main bus voltage"
//   units = "V"                          # of the calibrated value
//   column = 12                          # 12: engineering words, 4: raw check words
//   group = "voltage_monitors"           # or time, fast_sap, ..., generic
//   number = 68                          # channel number (format offset)
//   form = "top 12"                      # as the group decodes it
//   polynomial = [0.0, 0.00732]          # or table = [[0, 0.0], [4095, 30.0]]
//   yellow_low = 26.0                    # any of red_low, yellow_low,
//   yellow_high = 29.0                   # yellow_high, red_high
//   persistence = 3                      # successive values out before a change
//
// A fault stops the reading with one message naming the file, the line
// and the key, as "station.toml:12: bus_voltage.yellow_high: ...".
#ifndef DICTIONARY_DICTIONARY_H_
#define DICTIONARY_DICTIONARY_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "calibration.h"
#include "limit_state.h"
#include "value_catalogue.h"

constexpr size_t kMaxNameBytes = 64;  // terminating NUL included
constexpr size_t kMaxUnitsBytes = 32;
constexpr size_t kMaxDescriptionBytes = 256;

// A dictionary file is read whole; larger ones are refused.
constexpr size_t kMaxDictionaryBytes = 4 << 20;

struct DictionaryEntry {
  char name[kMaxNameBytes];
  char units[kMaxUnitsBytes];
  char description[kMaxDescriptionBytes];
  DecodedValue value;
  Calibration calibration;
  Limits limits;  // none present: the value is named, not checked
  int line;       // of its [[channel]] header
};

// Each decoded value is named at most once, so this many entries at most.
constexpr int kMaxDictionaryEntries = kMaxDecodedValues;

struct Dictionary {
  int count;
  DictionaryEntry entries[kMaxDictionaryEntries];
};

struct DictionaryFault {
  int error;  // errno when the file could not be read, else 0
  char message[512];
};

// Reads and checks the dictionary file at path.  On a fault returns false
// with fault.message "path:line: key: what is wrong", or "path: system
// error text" when the file cannot be read.
bool read_dictionary(const char* path, Dictionary& dictionary, DictionaryFault& fault);

// The same for text already read, path naming it in the messages.
bool parse_dictionary(std::string_view text, const char* path, Dictionary& dictionary,
                      DictionaryFault& fault);

// The file at path read whole into text, as read_dictionary reads it
// before checking it; false with fault "path: system error text" when it
// cannot be.  A program that records which dictionary it used reads the
// text with this and checks it with parse_dictionary.
bool read_dictionary_text(const char* path, std::string& text, DictionaryFault& fault);

// The entry named name, or -1.
int find_entry(const Dictionary& dictionary, std::string_view name);

#endif  // DICTIONARY_DICTIONARY_H_
