// Bilinear reads from a 32-bit texture pixmap (conventions in DrawState.h).
// Internal to the renderer.
#pragma once

#include "platform/q3d/raster/DrawState.h"

#include <emmintrin.h>

#include <cstdint>

namespace q3d::raster::detail {

class TextureSampler {
public:
    // True for a pixmap the sampler can read (see Texture in DrawState.h).
    static bool accepts(const TQ3Pixmap& pixmap);

    // `texture` must be accepted; the pixmap is borrowed.
    explicit TextureSampler(const Texture& texture);

    // Colour at (u, v), channels 0–255, in the lanes blue, green, red (and
    // the texels' fourth byte, blended alike). Non-finite coordinates read
    // (0, 0).
    __m128 sample(float u, float v) const;

private:
    uint32_t texel(uint32_t column, uint32_t row) const;

    const uint8_t* pixels_;
    uint32_t width_;
    uint32_t height_;
    uint32_t rowBytes_;
    bool swapBytes_;
    bool wrapU_;
    bool wrapV_;
};

}  // namespace q3d::raster::detail
