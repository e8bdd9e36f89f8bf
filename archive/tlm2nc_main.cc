#include "tlm2nc.h"

int main(int argc, char** argv) { return tlm2nc_main(argc, argv); }
