#include "platform/q3d/raster/ImageCompare.h"

#include "platform/q3d/raster/PixelFormat.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ostream>

namespace q3d::raster {

std::ostream& operator<<(std::ostream& out, const PixelRGB& pixel) {
    return out << "rgb(" << int(pixel.r) << ", " << int(pixel.g) << ", " << int(pixel.b) << ")";
}

PixelRGB readPixel(const TQ3Pixmap& pixmap, uint32_t x, uint32_t y) {
    uint32_t word;
    std::memcpy(&word, static_cast<const uint8_t*>(pixmap.image) + size_t(y) * pixmap.rowBytes + size_t(x) * 4, 4);
    if (detail::needsByteSwap(pixmap.byteOrder)) {
        word = __builtin_bswap32(word);
    }
    return PixelRGB{uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word)};
}

std::ostream& operator<<(std::ostream& out, const ImageDifference& difference) {
    return out << "ImageDifference{max=" << difference.maxChannelDifference
               << " differing=" << difference.differingPixels << (difference.sameSize ? "" : " sizes differ")
               << "}";
}

ImageDifference compareImages(const TQ3Pixmap& a, const TQ3Pixmap& b, uint32_t tolerance) {
    ImageDifference result;
    if (a.width != b.width || a.height != b.height) {
        result.sameSize = false;
        result.maxChannelDifference = 255;
        result.differingPixels = std::max(uint64_t(a.width) * a.height, uint64_t(b.width) * b.height);
        return result;
    }
    for (uint32_t y = 0; y < a.height; ++y) {
        for (uint32_t x = 0; x < a.width; ++x) {
            PixelRGB pa = readPixel(a, x, y);
            PixelRGB pb = readPixel(b, x, y);
            uint32_t d = uint32_t(std::max({std::abs(pa.r - pb.r), std::abs(pa.g - pb.g), std::abs(pa.b - pb.b)}));
            result.maxChannelDifference = std::max(result.maxChannelDifference, d);
            if (d > tolerance) {
                ++result.differingPixels;
            }
        }
    }
    return result;
}

}  // namespace q3d::raster
