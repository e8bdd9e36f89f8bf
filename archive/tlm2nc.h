// tlm2nc: one raw telemetry file as a netCDF-4 product (see product_layout.h).
#ifndef ARCHIVE_TLM2NC_H_
#define ARCHIVE_TLM2NC_H_

// The deflate level without -z.
constexpr int kDefaultLevel = 1;

int tlm2nc_main(int argc, char** argv);

#endif  // ARCHIVE_TLM2NC_H_
