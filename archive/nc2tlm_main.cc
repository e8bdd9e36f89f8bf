#include "nc2tlm.h"

int main(int argc, char** argv) { return nc2tlm_main(argc, argv); }
