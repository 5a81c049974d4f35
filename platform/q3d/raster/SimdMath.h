// Four-lane float helpers over SSE2 for the vertex and lighting loops
// (SimdMath8.h: the same in eight lanes).
//
// Every function here works lane by lane with plain IEEE operations (no
// reciprocal or square-root estimates, whose results differ between CPU
// makers), so one vertex computed alone in lane 0 gives exactly the bits it
// gets inside a group of four. The renderer relies on that: a clipped
// triangle recomputes its corners one by one and must land on the same
// fixed-point positions as its unclipped neighbours.
//
// The transcendental approximations are accurate to a few units in 1e-6,
// far below what an 8-bit channel can show.
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace q3d::raster::simd {

using F = __m128;
using I = __m128i;

inline F set1(float v) { return _mm_set1_ps(v); }
inline F zero() { return _mm_setzero_ps(); }
// + - * / on F are the compiler's vector operators (addps, subps, mulps, divps).
inline F band(F a, F b) { return _mm_and_ps(a, b); }
inline F bor(F a, F b) { return _mm_or_ps(a, b); }
// (not a) and b.
inline F bandnot(F a, F b) { return _mm_andnot_ps(a, b); }
// NaN in `a` gives `b`: max(x, 0) and min(x, 1) turn NaN into the bound.
inline F min(F a, F b) { return _mm_min_ps(a, b); }
inline F max(F a, F b) { return _mm_max_ps(a, b); }
inline F sqrt(F a) { return _mm_sqrt_ps(a); }
inline F abs(F a) { return _mm_and_ps(a, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff))); }
inline F lt(F a, F b) { return _mm_cmplt_ps(a, b); }
inline F le(F a, F b) { return _mm_cmple_ps(a, b); }
inline F gt(F a, F b) { return _mm_cmpgt_ps(a, b); }
inline F ge(F a, F b) { return _mm_cmpge_ps(a, b); }
// Not greater: true where either is NaN.
inline F ngt(F a, F b) { return _mm_cmpngt_ps(a, b); }
// mask ? a : b, mask lanes all ones or all zeros.
inline F select(F mask, F a, F b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }
inline bool any(F mask) { return _mm_movemask_ps(mask) != 0; }
inline F clamp01(F a) { return min(max(a, zero()), set1(1.0f)); }

// Loads four packed (x, y, z) triples (12 floats) and returns them per axis.
inline void loadXYZ4(const float* p, F& x, F& y, F& z) {
    F a = _mm_loadu_ps(p);      // x0 y0 z0 x1
    F b = _mm_loadu_ps(p + 4);  // y1 z1 x2 y2
    F c = _mm_loadu_ps(p + 8);  // z2 x3 y3 z3
    F t1 = _mm_shuffle_ps(b, c, _MM_SHUFFLE(0, 1, 3, 2));  // b2 b3 c1 c0
    x = _mm_shuffle_ps(a, t1, _MM_SHUFFLE(2, 0, 3, 0));    // a0 a3 b2 c1
    F t2 = _mm_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 1, 1));  // a1 a1 b0 b0
    F t3 = _mm_shuffle_ps(b, c, _MM_SHUFFLE(2, 2, 3, 3));  // b3 b3 c2 c2
    y = _mm_shuffle_ps(t2, t3, _MM_SHUFFLE(2, 0, 2, 0));
    F t4 = _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 1, 2, 2));  // a2 a2 b1 b1
    F t5 = _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 3, 0, 0));  // c0 c0 c3 c3
    z = _mm_shuffle_ps(t4, t5, _MM_SHUFFLE(2, 0, 2, 0));
}

// Integer lanes and conversions, for the functions below.
inline I iset1(int32_t v) { return _mm_set1_epi32(v); }
inline I iadd(I a, I b) { return _mm_add_epi32(a, b); }
inline I isub(I a, I b) { return _mm_sub_epi32(a, b); }
inline I iand(I a, I b) { return _mm_and_si128(a, b); }
inline I ior(I a, I b) { return _mm_or_si128(a, b); }
inline I iandnot(I a, I b) { return _mm_andnot_si128(a, b); }
inline I ishl(I a, int n) { return _mm_slli_epi32(a, n); }
inline I ishr(I a, int n) { return _mm_srli_epi32(a, n); }
inline I asInt(F a) { return _mm_castps_si128(a); }
inline F asFloat(I a) { return _mm_castsi128_ps(a); }
inline I toIntNearest(F a) { return _mm_cvtps_epi32(a); }
inline I toIntTruncated(F a) { return _mm_cvttps_epi32(a); }
inline F toFloat(I a) { return _mm_cvtepi32_ps(a); }

#include "platform/q3d/raster/SimdFunctions.inc"

}  // namespace q3d::raster::simd
