// det2nc: a detection file, read by retrieve's own reader, as a netCDF-4
// product (see detection_layout.h).
#ifndef ARCHIVE_DET2NC_H_
#define ARCHIVE_DET2NC_H_

int det2nc_main(int argc, char** argv);

#endif  // ARCHIVE_DET2NC_H_
