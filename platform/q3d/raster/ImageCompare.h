// Reading and comparing 32-bit pixmaps, for tests of anything that renders.
#pragma once

#include "platform/q3d/QD3D.h"

#include <cstdint>
#include <iosfwd>

namespace q3d::raster {

struct PixelRGB {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;

    friend bool operator==(const PixelRGB&, const PixelRGB&) = default;
};

std::ostream& operator<<(std::ostream& out, const PixelRGB& pixel);

// The colour of pixel (x, y) of a 32-bit pixmap (RGB32 or ARGB32, either
// byte order). Precondition: x < width, y < height, image not null.
PixelRGB readPixel(const TQ3Pixmap& pixmap, uint32_t x, uint32_t y);

struct ImageDifference {
    // Largest difference of one colour channel over all pixels, 0–255.
    uint32_t maxChannelDifference = 0;
    // Pixels with a channel differing by more than the tolerance.
    uint64_t differingPixels = 0;
    bool sameSize = true;
};

std::ostream& operator<<(std::ostream& out, const ImageDifference& difference);

// Compares the colour channels of two 32-bit pixmaps (alpha and the spare
// byte are ignored; formats and byte orders may differ). Pixmaps of
// different sizes give sameSize = false, 255 and every pixel of the larger.
ImageDifference compareImages(const TQ3Pixmap& a, const TQ3Pixmap& b, uint32_t tolerance = 0);

}  // namespace q3d::raster
