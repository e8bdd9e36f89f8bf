// nc2tlm: the exact bytes of a telemetry product's source, checked against
// the size and SHA-256 that the product recorded when it was made.
#ifndef ARCHIVE_NC2TLM_H_
#define ARCHIVE_NC2TLM_H_

int nc2tlm_main(int argc, char** argv);

#endif  // ARCHIVE_NC2TLM_H_
