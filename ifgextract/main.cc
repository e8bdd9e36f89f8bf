#include "extract.h"

int main(int argc, char** argv) { return ifgextract_main(argc, argv); }
