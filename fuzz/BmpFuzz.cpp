// The bitmap decoder on any bytes: a decoded image, or Incorrect Format with
// the image untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "scene/image/OffscreenImage.h"
#include "shell/ErrData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vask::OffscreenImage image;
  try {
    const int32_t result = image.decodeBmp(std::span(reinterpret_cast<const std::byte*>(data), size));
    if (result == vask::kBmpOk) {
      // Every pixel of the decoded image is readable.
      uint32_t sum = 0;
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) sum += image.pixel(x, y);
      (void)sum;
    } else if (image.width() != 0 || image.bits() != nullptr) {
      std::abort();
    }
  } catch (const vask::ErrData&) {
  }
  return 0;
}
