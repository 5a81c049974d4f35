// The per-pixel arithmetic of a textured triangle, shared by the back end's
// triangle loop and the front end's single-pixel fragments so that both give
// the same bits. Internal to the renderer.
#pragma once

#include "platform/q3d/raster/Raster.h"
#include "platform/q3d/raster/TextureSampler.h"

#include <emmintrin.h>

#include <cstdint>

namespace q3d::raster::detail {

// Lanes blue, green and red rounded to bytes (negatives and NaN to 0, from
// 254.5 on to 255), packed as 0x00RRGGBB.
inline uint32_t byteLanes(__m128 value) {
    const __m128 positive = _mm_cmpgt_ps(value, _mm_setzero_ps());  // false for NaN
    const __m128 full = _mm_cmpge_ps(value, _mm_set1_ps(254.5f));
    __m128i bytes = _mm_cvttps_epi32(_mm_add_ps(value, _mm_set1_ps(0.5f)));
    bytes = _mm_or_si128(_mm_andnot_si128(_mm_castps_si128(full), bytes),
                         _mm_and_si128(_mm_castps_si128(full), _mm_set1_epi32(255)));
    bytes = _mm_and_si128(bytes, _mm_castps_si128(positive));
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(bytes, bytes), _mm_setzero_si128());
    return static_cast<uint32_t>(_mm_cvtsi128_si32(packed)) & 0x00ffffffu;
}

// A textured triangle's corners in the order whose signed area is positive:
// depth, 1/w, u/w and v/w (linear on the screen), and the colour factor and
// specular term in the sampler's lanes (blue, green, red, then 0).
struct TexturedCorners {
    float z[3];
    float q[3];
    float uq[3];
    float vq[3];
    __m128 colour[3];
    __m128 specular[3];
};

// The corners of `s` taken in `order`.
inline TexturedCorners texturedCorners(const TriangleSetup& s, const int order[3]) {
    TexturedCorners t;
    for (int i = 0; i < 3; ++i) {
        const int k = order[i];
        t.z[i] = s.z[k];
        t.q[i] = s.invW[k];
        t.uq[i] = s.u[k] * t.q[i];
        t.vq[i] = s.v[k] * t.q[i];
        // Each lane is computed with the very operations of the channel it
        // holds.
        t.colour[i] = _mm_setr_ps(s.colour[k][2], s.colour[k][1], s.colour[k][0], 0.0f);
        t.specular[i] = _mm_setr_ps(s.specular[k][2], s.specular[k][1], s.specular[k][0], 0.0f);
    }
    return t;
}

// The depth at weights fa, fb, fc (each an edge value times 1 / area).
inline float texturedDepth(const TexturedCorners& t, float fa, float fb, float fc) {
    return fa * t.z[0] + fb * t.z[1] + fc * t.z[2];
}

// The colour (0x00RRGGBB) at weights fa, fb, fc: the texture at the
// perspective-correct coordinates, times the interpolated factor, plus the
// interpolated specular term.
[[gnu::always_inline]] inline uint32_t texturedColour(const TexturedCorners& t, float fa, float fb, float fc,
                                                      const TextureSampler& texture) {
    const float q = fa * t.q[0] + fb * t.q[1] + fc * t.q[2];
    const __m128 texel = texture.sample((fa * t.uq[0] + fb * t.uq[1] + fc * t.uq[2]) / q,
                                        (fa * t.vq[0] + fb * t.vq[1] + fc * t.vq[2]) / q);
    const __m128 va4 = _mm_set1_ps(fa);
    const __m128 vb4 = _mm_set1_ps(fb);
    const __m128 vc4 = _mm_set1_ps(fc);
    const __m128 factor = _mm_add_ps(_mm_add_ps(_mm_mul_ps(va4, t.colour[0]), _mm_mul_ps(vb4, t.colour[1])),
                                     _mm_mul_ps(vc4, t.colour[2]));
    const __m128 specular = _mm_add_ps(_mm_add_ps(_mm_mul_ps(va4, t.specular[0]), _mm_mul_ps(vb4, t.specular[1])),
                                       _mm_mul_ps(vc4, t.specular[2]));
    return byteLanes(_mm_add_ps(_mm_mul_ps(texel, factor), specular));
}

}  // namespace q3d::raster::detail
