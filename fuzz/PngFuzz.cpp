// The PNG reader on any bytes: a picture within the host's limits, or a
// HostError; never a crash or a leak.
#include <cstdint>

#include "fuzz/FuzzFile.h"
#include "host/HostError.h"
#include "host/PngImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vask::host;
  const FuzzFile file(data, size);
  try {
    const PngSize size = readPngSize(file.path());
    const World world = readPng(file.path());
    if (world.width() != size.width || world.height() != size.height) std::abort();
  } catch (const HostError&) {
  }
  return 0;
}
