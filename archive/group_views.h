// How the product shows the six channel groups of the housekeeping dump:
// for each group of a table, the variable's name, which of the numbers of a
// dump line it keeps (the engineering line without its time prefix and
// without the auxiliary group's literal zeros), the channel number of each
// and the form each value takes.  Everything is read from the group tables
// themselves, so the product follows them.
#ifndef ARCHIVE_GROUP_VIEWS_H_
#define ARCHIVE_GROUP_VIEWS_H_

#include "group_table.h"

// The six groups with a time prefix, in the order of the tables (fast sap,
// slow sap, pressure, mask temperature, voltage monitors, auxiliary
// detector); the generic group comes after them.
constexpr int kNamedGroups = 6;
constexpr int kGenericGroupIndex = 6;

constexpr int kMaxFormsText = 128;

struct GroupView {
  const ChannelGroup* group;
  char name[48];                // "pressure", or "raw_pressure" in the raw table
  const char* title;            // "pressure gauges"
  int value_count;              // values kept from each line
  int pick[kMaxLineValues];     // where each lies among the line's numbers
  int channel[kMaxLineValues];  // its channel number
  char forms[kMaxFormsText];    // the form of each, blank-separated ("top_12 top_10 flag")
};

// The views of the six groups of a table; engineering tells the table's kind.
void make_group_views(const GroupTable& table, bool engineering, GroupView views[kNamedGroups]);

#endif  // ARCHIVE_GROUP_VIEWS_H_
