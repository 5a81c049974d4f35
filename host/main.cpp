// vask: the host program. The command line is host/CommandLine.h.
#include <malloc.h>

#include <iostream>

#include "host/CommandLine.h"

int main(int argc, char** argv) {
  // A render allocates and frees pictures of several megabytes every frame
  // (layer copies, decoded sequence frames, finished frames). By default
  // the allocator hands such blocks back to the system at once and takes
  // them again, page fault by page fault, the next frame: a tenth of a
  // full-HD composition's time. Keeping them costs nothing a render would
  // notice: its memory stays at the largest frame's.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  return vask::host::runCommandLine(argc, argv, std::cout, std::cerr);
}
