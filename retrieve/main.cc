// retrieve: asks for an interferogram number, scans the detection file
// "all.det" in the current folder and writes the first entry that carries
// the number to "interferogram.dat" and "spectrum.dat".
//
// Exit status: 0 the entry was written, 1 no entry carried the number,
// 2 a fault (reported in one line on standard error).
#include "retrieve_run.h"

int main() { return retrieve_main(); }
