// The bitmap decoder on any bytes, by both rules: a decoded image, or
// Incorrect Format with the image untouched (a desktop's rules) or holding
// the rows read before a short one (artwork's).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "scene/image/OffscreenImage.h"
#include "shell/ErrData.h"

namespace {

// The image is readable: every pixel of a small one, the corners of a large
// one (a few header bytes may make it large).
void readAll(const vask::OffscreenImage& image) {
  if ((image.width() == 0) != (image.bits() == nullptr)) std::abort();
  const int w = image.width(), h = image.height();
  volatile uint32_t sum = 0;
  if (static_cast<int64_t>(w) * h <= 1 << 16) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) sum = sum + image.pixel(x, y);
  } else {
    sum = image.pixel(0, 0) + image.pixel(w - 1, 0) + image.pixel(0, h - 1) + image.pixel(w - 1, h - 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span bytes(reinterpret_cast<const std::byte*>(data), size);
  try {
    vask::OffscreenImage artwork;
    const int32_t result = artwork.decodeBmp(bytes, vask::BmpRules::Artwork);
    if (result != vask::kBmpOk && result != vask::kBmpIncorrectFormat) std::abort();
    readAll(artwork);

    vask::OffscreenImage picture;
    if (picture.decodeBmp(bytes, vask::BmpRules::Desktop) == vask::kBmpOk) {
      readAll(picture);
    } else if (picture.width() != 0 || picture.bits() != nullptr) {
      std::abort();
    }
  } catch (const vask::ErrData&) {
  }
  return 0;
}
