#include "platform/q3d/raster/VertexStage.h"

#include <algorithm>
#include <cfloat>
#include <cstring>

namespace q3d::raster::detail {

// The four-lane stage, for every processor.
namespace lanes4 {

using namespace simd;

constexpr uint32_t kLanes = 4;

inline void loadXYZ(const float* p, F& x, F& y, F& z) { loadXYZ4(p, x, y, z); }

inline void storeInts(void* p, I v) { _mm_storeu_si128(static_cast<I*>(p), v); }

inline void storeCodes(uint8_t* out, I codes) {
    const I bytes = _mm_packus_epi16(_mm_packs_epi32(codes, codes), _mm_setzero_si128());
    const uint32_t four = uint32_t(_mm_cvtsi128_si32(bytes));
    std::memcpy(out, &four, 4);
}

inline void storeScreen(ScreenVertex* out, I x, I y, F z, F w) {
    F px = _mm_castsi128_ps(x);
    F py = _mm_castsi128_ps(y);
    _MM_TRANSPOSE4_PS(px, py, z, w);
    static_assert(sizeof(ScreenVertex) == 16);
    _mm_storeu_ps(reinterpret_cast<float*>(out + 0), px);
    _mm_storeu_ps(reinterpret_cast<float*>(out + 1), py);
    _mm_storeu_ps(reinterpret_cast<float*>(out + 2), z);
    _mm_storeu_ps(reinterpret_cast<float*>(out + 3), w);
}

#include "platform/q3d/raster/VertexLanes.inc"

}  // namespace lanes4

void Shading::shade(const simd::F P[3], const simd::F N[3], simd::F D[3], simd::F S[3]) const {
    lanes4::shadeLanes(model_, P, N, D, S);
}

__attribute__((noinline)) void clipGroup(const VertexInput& in, const float xyz[12], simd::F clip[4]) {
    lanes4::clipLanes(in, xyz, clip);
}

__attribute__((noinline)) void projectGroup(const simd::F clip[4], const float guard[4], ScreenVertex out[4],
                                            uint8_t outcode[4]) {
    lanes4::projectLanes(clip, guard, out, outcode);
}

void shadeGroup(const VertexInput& in, const simd::F P[3], const simd::F N[3], const simd::F Cd[3],
                uint32_t colour[4], LitFactors lit[4]) {
    lanes4::shadeGroupLanes(in, P, N, Cd, colour, lit);
}

void runVertexStage(const VertexInput& in, const VertexOutput& out, uint32_t begin, uint32_t end) {
    // Whole groups of eight in eight lanes where the processor can; the
    // lanes give the same bits either way.
    if (wideLanesAvailable() && (begin & 7) == 0) {
        const uint32_t wideEnd = begin + (end - begin) / 8 * 8;
        runVertexStage8(in, out, begin, wideEnd);
        begin = wideEnd;
    }
    if (begin < end) {
        runVertexStage4(in, out, begin, end);
    }
}

void runVertexStage4(const VertexInput& in, const VertexOutput& out, uint32_t begin, uint32_t end) {
    lanes4::runLanes(in, out, begin, end);
}

}  // namespace q3d::raster::detail
