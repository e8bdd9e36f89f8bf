// How one engineering number is made from its word (or words): the forms
// of hkdump's groups, one value at a time, for the group readers and for
// whatever gathers single values straight from the words.
#ifndef HKDUMP_VALUE_FORMS_H_
#define HKDUMP_VALUE_FORMS_H_

// A converter word read to its top 12 or 10 bits.
inline int top_12(int word) { return word >> 4; }
inline int top_10(int word) { return word >> 6; }

// 1 if the word is not 0.
inline int flag(int word) { return word != 0 ? 1 : 0; }

// Two BCD digits of one byte; digits above 9 are taken at their value.
inline int bcd_low_byte(int word) { return 10 * ((word >> 4) & 0xF) + (word & 0xF); }
inline int bcd_high_byte(int word) { return 10 * (word >> 12) + ((word >> 8) & 0xF); }

// The fast sap's fourth reading: its word less the channel 79 word.
inline int word_difference(int word, int less) { return word - less; }

#endif  // HKDUMP_VALUE_FORMS_H_
