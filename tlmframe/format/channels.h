// The instrument's telemetry format: which housekeeping channel (format
// offset, counted in rows from the sync row) carries what, and in which
// column.  Every tool takes its channel numbers from here.
#ifndef TLMFRAME_FORMAT_CHANNELS_H_
#define TLMFRAME_FORMAT_CHANNELS_H_

namespace tlmframe {

// Housekeeping columns: the engineering words and the raw check words.
constexpr int kHousekeepingColumn = 12;
constexpr int kRawHousekeepingColumn = 4;

// Channels of the interferogram data (column 12 unless noted).
constexpr int kInterferogramNumberChannel = 52;  // "INT #"; column 4 holds the "code"
constexpr int kConfigurationChannel = 53;        // "conf.": top 12 bits and low 4 bits
constexpr int kGainsChannel = 55;                // "gains"
constexpr int kChannel57 = 57;                   // unlabelled: yes/no and top 12 bits
constexpr int kDcFlagsChannel = 58;              // "dc flags"
constexpr unsigned kStatusBit = 0x20;            // the bit of the dc flags that is watched

// Time prefix of the engineering dump: interferogram number, then BCD time
// fields in channels 65 (low byte) and 66 (high and low byte).
constexpr int kTimeChannelA = 65;
constexpr int kTimeChannelB = 66;

// Fast sap group: channel 0 and the three rows after it, and channel 79.
constexpr int kFastSapChannel = 0;
constexpr int kFastSapReferenceChannel = 79;
constexpr int kFastSapRows = 4;

// Channel groups, in print order.
constexpr int kSlowSapChannels[] = {76, 77, 78, 82, 83, 102};
constexpr int kPressureChannels[] = {41, 22, 42, 28};
constexpr int kMaskTemperatureChannels[] = {8, 9, 19, 4, 5, 6, 7, 53};
constexpr int kVoltageMonitorChannels[] = {68, 69, 70, 71};
constexpr int kAuxiliaryDetectorChannels[] = {88, 89, 92, 90, 91, 93};

// The mask temperature channel whose position the raw dump reports.
constexpr int kMaskOffsetChannel = 19;

}  // namespace tlmframe

#endif  // TLMFRAME_FORMAT_CHANNELS_H_
