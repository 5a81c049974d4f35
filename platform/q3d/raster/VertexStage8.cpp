// The vertex stage in eight lanes, for processors with AVX2.
#include "platform/q3d/raster/VertexStage.h"

#include "platform/q3d/raster/SimdMath8.h"

#include <algorithm>
#include <cfloat>
#include <cstring>

namespace q3d::raster::detail {

bool wideLanesAvailable() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

VASK_BEGIN_AVX2

namespace lanes8 {

using namespace simd8;

constexpr uint32_t kLanes = 8;

inline void loadXYZ(const float* p, F& x, F& y, F& z) {
    simd::F x0, y0, z0, x1, y1, z1;
    simd::loadXYZ4(p, x0, y0, z0);
    simd::loadXYZ4(p + 12, x1, y1, z1);
    x = _mm256_set_m128(x1, x0);
    y = _mm256_set_m128(y1, y0);
    z = _mm256_set_m128(z1, z0);
}

inline void storeInts(void* p, I v) { _mm256_storeu_si256(static_cast<I*>(p), v); }

inline void storeCodes(uint8_t* out, I codes) {
    const __m128i words = _mm_packs_epi32(_mm256_castsi256_si128(codes), _mm256_extracti128_si256(codes, 1));
    const __m128i bytes = _mm_packus_epi16(words, _mm_setzero_si128());
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
}

inline void storeScreen(ScreenVertex* out, I x, I y, F z, F w) {
    static_assert(sizeof(ScreenVertex) == 16);
    for (int half = 0; half < 2; ++half) {
        __m128 px = _mm_castsi128_ps(half == 0 ? _mm256_castsi256_si128(x) : _mm256_extracti128_si256(x, 1));
        __m128 py = _mm_castsi128_ps(half == 0 ? _mm256_castsi256_si128(y) : _mm256_extracti128_si256(y, 1));
        __m128 pz = half == 0 ? _mm256_castps256_ps128(z) : _mm256_extractf128_ps(z, 1);
        __m128 pw = half == 0 ? _mm256_castps256_ps128(w) : _mm256_extractf128_ps(w, 1);
        _MM_TRANSPOSE4_PS(px, py, pz, pw);
        float* to = reinterpret_cast<float*>(out + 4 * half);
        _mm_storeu_ps(to, px);
        _mm_storeu_ps(to + 4, py);
        _mm_storeu_ps(to + 8, pz);
        _mm_storeu_ps(to + 12, pw);
    }
}

#include "platform/q3d/raster/VertexLanes.inc"

}  // namespace lanes8

void runVertexStage8(const VertexInput& in, const VertexOutput& out, uint32_t begin, uint32_t end) {
    lanes8::runLanes(in, out, begin, end);
    // The SSE code that runs next is slow while the upper register halves
    // hold data.
    _mm256_zeroupper();
}

VASK_END_AVX2

}  // namespace q3d::raster::detail
