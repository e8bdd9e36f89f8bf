#include "group_table.h"

#include "int_format.h"

using namespace tlmframe;

const ChannelGroup* find_group(const GroupTable& table, char option) {
  for (const ChannelGroup& group : table.groups) {
    if (group.option == option) return &group;
  }
  return nullptr;
}

void place_listed(const ChannelGroup& group, int sync_row, int column, GroupPositions& at) {
  for (int i = 0; i < group.channel_count; ++i) {
    at.listed[i] = channel_position(sync_row, group.channels[i], column);
  }
}

WordPlace locate_generic(const ChannelGroup&, const GroupPositions& at, int) {
  return {at.generic, 0};
}

void place_fast_sap_positions(int sync_row, int column, int positions[kFastSapPositions]) {
  const int first = channel_position(sync_row, kFastSapChannel, column);
  for (int i = 0; i < kFastSapRows; ++i) positions[i] = first + i * kWordsPerRow;
  positions[kFastSapRows] = channel_position(sync_row, kFastSapReferenceChannel, column);
}

char* write_decimal_list(char* p, const int* values, int count) {
  for (int i = 0; i < count; ++i) {
    if (i > 0) *p++ = ' ';
    p = format_int(p, values[i]);
  }
  *p++ = '\n';
  return p;
}

char* write_hex_list(char* p, const int* values, int count, bool) {
  for (int i = 0; i < count; ++i) {
    if (i > 0) *p++ = ' ';
    p = format_hex(p, static_cast<unsigned>(values[i]));
  }
  *p++ = '\n';
  return p;
}

char* write_generic_value(char* p, const int* values, int, bool hex) {
  p = hex ? format_hex(p, static_cast<unsigned>(values[0])) : format_int(p, values[0]);
  *p++ = '\n';
  return p;
}
