#include "det2nc.h"

int main(int argc, char** argv) { return det2nc_main(argc, argv); }
