#include "platform/q3d/raster/TextureSampler.h"

#include "platform/q3d/raster/PixelFormat.h"

#include <cmath>
#include <cstring>

namespace q3d::raster::detail {

namespace {

// Texel index and weight along one axis. `coordinate` is in texels with
// texel centres at i + 0.5.
struct Axis {
    uint32_t i0;
    uint32_t i1;
    float weight1;
};

Axis resolve(float coordinate, uint32_t size, bool wrap) {
    float x = coordinate - 0.5f;
    float base = std::floor(x);
    float weight = x - base;
    // coordinate is within [0, size] (wrapped or clamped first), so base is
    // within [-1, size] and fits an int.
    int64_t i = static_cast<int64_t>(base);
    int64_t n = size;
    int64_t a = i;
    int64_t b = i + 1;
    if (wrap) {
        a = ((a % n) + n) % n;
        b = ((b % n) + n) % n;
    } else {
        a = a < 0 ? 0 : (a >= n ? n - 1 : a);
        b = b < 0 ? 0 : (b >= n ? n - 1 : b);
    }
    return Axis{static_cast<uint32_t>(a), static_cast<uint32_t>(b), weight};
}

float prepare(float t, bool wrap) {
    if (!std::isfinite(t)) {
        return 0.0f;
    }
    if (wrap) {
        t -= std::floor(t);
        return t >= 1.0f ? 0.0f : t;
    }
    return t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
}

}  // namespace

bool TextureSampler::accepts(const TQ3Pixmap& pixmap) {
    return pixmap.image != nullptr && pixmap.pixelSize == 32 &&
           (pixmap.pixelType == kQ3PixelTypeRGB32 || pixmap.pixelType == kQ3PixelTypeARGB32) &&
           (pixmap.byteOrder == kQ3EndianLittle || pixmap.byteOrder == kQ3EndianBig) && pixmap.width >= 1 &&
           pixmap.height >= 1 && pixmap.width <= (1u << 24) && pixmap.height <= (1u << 24) &&
           uint64_t(pixmap.rowBytes) >= uint64_t(pixmap.width) * 4;
}

TextureSampler::TextureSampler(const Texture& texture)
    : pixels_(static_cast<const uint8_t*>(texture.pixmap.image)),
      width_(texture.pixmap.width),
      height_(texture.pixmap.height),
      rowBytes_(texture.pixmap.rowBytes),
      swapBytes_(needsByteSwap(texture.pixmap.byteOrder)),
      wrapU_(texture.boundaryU == UVBoundary::Wrap),
      wrapV_(texture.boundaryV == UVBoundary::Wrap) {}

uint32_t TextureSampler::texel(uint32_t column, uint32_t row) const {
    uint32_t word;
    std::memcpy(&word, pixels_ + size_t(row) * rowBytes_ + size_t(column) * 4, 4);
    return swapBytes_ ? __builtin_bswap32(word) : word;
}

void TextureSampler::sample(float u, float v, float rgb[3]) const {
    u = prepare(u, wrapU_);
    v = prepare(v, wrapV_);
    Axis x = resolve(u * float(width_), width_, wrapU_);
    // v runs up the image: v = 0 is the bottom of the last row.
    Axis y = resolve((1.0f - v) * float(height_), height_, wrapV_);
    uint32_t t00 = texel(x.i0, y.i0);
    uint32_t t10 = texel(x.i1, y.i0);
    uint32_t t01 = texel(x.i0, y.i1);
    uint32_t t11 = texel(x.i1, y.i1);
    float wx = x.weight1;
    float wy = y.weight1;
    for (int c = 0; c < 3; ++c) {
        int shift = 16 - 8 * c;
        float a = float((t00 >> shift) & 255);
        float b = float((t10 >> shift) & 255);
        float d = float((t01 >> shift) & 255);
        float e = float((t11 >> shift) & 255);
        float top = a + wx * (b - a);
        float bottom = d + wx * (e - d);
        rgb[c] = top + wy * (bottom - top);
    }
}

}  // namespace q3d::raster::detail
