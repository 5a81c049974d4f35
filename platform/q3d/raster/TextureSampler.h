// Bilinear reads from a 32-bit texture pixmap (conventions in DrawState.h).
// Internal to the renderer.
#pragma once

#include "platform/q3d/raster/DrawState.h"

#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>

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

// Defined here so that the per-pixel loops that call sample() inline it.
namespace samplerdetail {

// Texel index and weight along one axis. `coordinate` is in texels with
// texel centres at i + 0.5.
struct Axis {
    uint32_t i0;
    uint32_t i1;
    float weight1;
};

// floor(x) for |x| < 2^31, without a library call: the truncation, one
// lower for a negative x with a fraction.
inline float floorSmall(float x) {
    const auto i = static_cast<int32_t>(x);
    return static_cast<float>(x < static_cast<float>(i) ? i - 1 : i);
}

[[gnu::always_inline]] inline Axis resolveAxis(float coordinate, uint32_t size, bool wrap) {
    float x = coordinate - 0.5f;
    // coordinate is within [0, size] (wrapped or clamped first) and size is
    // at most 2^24, so x floors exactly by truncation, base is within
    // [-1, size − 1] and the wrap needs no division.
    float base = floorSmall(x);
    float weight = x - base;
    int64_t i = static_cast<int64_t>(base);
    int64_t n = size;
    int64_t a = i;
    int64_t b = i + 1;
    if (wrap) {
        a = a < 0 ? a + n : (a >= n ? a - n : a);
        b = b < 0 ? b + n : (b >= n ? b - n : b);
    } else {
        a = a < 0 ? 0 : (a >= n ? n - 1 : a);
        b = b < 0 ? 0 : (b >= n ? n - 1 : b);
    }
    return Axis{static_cast<uint32_t>(a), static_cast<uint32_t>(b), weight};
}

[[gnu::always_inline]] inline float prepareCoordinate(float t, bool wrap) {
    if (!std::isfinite(t)) {
        return 0.0f;
    }
    if (wrap) {
        // Beyond 2^23 every float is whole: no fraction to keep.
        t -= std::fabs(t) < 8388608.0f ? floorSmall(t) : t;
        return t >= 1.0f ? 0.0f : t;
    }
    return t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
}

}  // namespace samplerdetail

inline uint32_t TextureSampler::texel(uint32_t column, uint32_t row) const {
    uint32_t word;
    std::memcpy(&word, pixels_ + size_t(row) * rowBytes_ + size_t(column) * 4, 4);
    return swapBytes_ ? __builtin_bswap32(word) : word;
}

inline __m128 TextureSampler::sample(float u, float v) const {
    u = samplerdetail::prepareCoordinate(u, wrapU_);
    v = samplerdetail::prepareCoordinate(v, wrapV_);
    samplerdetail::Axis x = samplerdetail::resolveAxis(u * float(width_), width_, wrapU_);
    // v runs up the image: v = 0 is the bottom of the last row.
    samplerdetail::Axis y = samplerdetail::resolveAxis((1.0f - v) * float(height_), height_, wrapV_);
    const __m128i zero = _mm_setzero_si128();
    auto lanes = [&](uint32_t word) {
        const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(word));
        return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero));
    };
    const __m128 a = lanes(texel(x.i0, y.i0));
    const __m128 b = lanes(texel(x.i1, y.i0));
    const __m128 d = lanes(texel(x.i0, y.i1));
    const __m128 e = lanes(texel(x.i1, y.i1));
    const __m128 wx = _mm_set1_ps(x.weight1);
    const __m128 wy = _mm_set1_ps(y.weight1);
    const __m128 top = _mm_add_ps(a, _mm_mul_ps(wx, _mm_sub_ps(b, a)));
    const __m128 bottom = _mm_add_ps(d, _mm_mul_ps(wx, _mm_sub_ps(e, d)));
    return _mm_add_ps(top, _mm_mul_ps(wy, _mm_sub_ps(bottom, top)));
}

}  // namespace q3d::raster::detail
