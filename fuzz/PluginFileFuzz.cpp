// What the host reads of an effect library before loading it, on any bytes:
// the loading check, the section reader and the property-list parser each
// accept or refuse with a HostError.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/FuzzFile.h"
#include "host/ElfCheck.h"
#include "host/HostError.h"
#include "host/PiPLReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vask::host;
  const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
  try {
    checkLoadableElf(bytes, "fuzz.so");
  } catch (const HostError&) {
  }
  try {
    parsePiPL(bytes, "fuzz.so");
  } catch (const HostError&) {
  }
  const FuzzFile file(data, size);
  try {
    readPiPL(file.path());
  } catch (const HostError&) {
  }
  return 0;
}
