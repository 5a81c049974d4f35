// vask: the host program. The command line is host/CommandLine.h.
#include <iostream>

#include "host/CommandLine.h"

int main(int argc, char** argv) { return vask::host::runCommandLine(argc, argv, std::cout, std::cerr); }
