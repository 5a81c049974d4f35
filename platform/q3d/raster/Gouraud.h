// Per-pixel Gouraud arithmetic, shared by the back end's triangle loop and
// the front end's single-pixel fragments so that both give the same bits.
// Internal to the renderer.
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace q3d::raster::detail {

// A packed colour 0xAARRGGBB as floats in lanes b, g, r, a.
inline __m128 unpackColour(uint32_t colour) {
    __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(colour));
    __m128i zero = _mm_setzero_si128();
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero));
}

// The corners of a triangle in the order whose signed area is positive.
struct GouraudCorners {
    float z[3];
    __m128 colour[3];
    float invArea;  // 1 / area, the area in fixed-point units
};

// Weights from the edge values opposite each corner (weight × area).
struct GouraudWeights {
    float a;
    float b;
    float c;

    GouraudWeights(const GouraudCorners& g, int64_t wa, int64_t wb, int64_t wc)
        : a(static_cast<float>(wa) * g.invArea),
          b(static_cast<float>(wb) * g.invArea),
          c(static_cast<float>(wc) * g.invArea) {}
};

inline float gouraudDepth(const GouraudCorners& g, const GouraudWeights& f) {
    return f.a * g.z[0] + f.b * g.z[1] + f.c * g.z[2];
}

// The colour as 0x00RRGGBB-style packed bytes (alpha is the caller's).
inline uint32_t gouraudColour(const GouraudCorners& g, const GouraudWeights& f) {
    __m128 ab = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(f.a), g.colour[0]), _mm_mul_ps(_mm_set1_ps(f.b), g.colour[1]));
    __m128 rgb = _mm_add_ps(ab, _mm_mul_ps(_mm_set1_ps(f.c), g.colour[2]));
    __m128i channels = _mm_cvttps_epi32(_mm_add_ps(rgb, _mm_set1_ps(0.5f)));
    __m128i packed = _mm_packus_epi16(_mm_packs_epi32(channels, channels), _mm_setzero_si128());
    return static_cast<uint32_t>(_mm_cvtsi128_si32(packed)) & 0x00ffffffu;
}

}  // namespace q3d::raster::detail
