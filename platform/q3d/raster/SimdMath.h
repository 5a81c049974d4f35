// Four-lane float helpers over SSE2 for the vertex and lighting loops.
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
// NaN in `a` gives `b`: max(x, 0) and min(x, 1) turn NaN into the bound.
inline F min(F a, F b) { return _mm_min_ps(a, b); }
inline F max(F a, F b) { return _mm_max_ps(a, b); }
inline F sqrt(F a) { return _mm_sqrt_ps(a); }
inline F abs(F a) { return _mm_and_ps(a, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff))); }
inline F lt(F a, F b) { return _mm_cmplt_ps(a, b); }
inline F le(F a, F b) { return _mm_cmple_ps(a, b); }
inline F gt(F a, F b) { return _mm_cmpgt_ps(a, b); }
inline F ge(F a, F b) { return _mm_cmpge_ps(a, b); }
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

// floor for |a| < 2^31 (SSE2 has no rounding instruction).
inline F floor(F a) {
    F t = _mm_cvtepi32_ps(_mm_cvttps_epi32(a));
    return t - band(gt(t, a), set1(1.0f));
}

// log2(x) for positive normal x. Splits x = m * 2^e with m in [sqrt(1/2),
// sqrt(2)) and takes ln m = 2 atanh(s), s = (m - 1) / (m + 1), |s| < 0.172,
// from its series to s^9 (error below 2e-9).
inline F log2(F x) {
    I bits = _mm_castps_si128(x);
    I e = _mm_sub_epi32(_mm_srli_epi32(bits, 23), _mm_set1_epi32(127));
    F m = _mm_castsi128_ps(_mm_or_si128(_mm_and_si128(bits, _mm_set1_epi32(0x007fffff)),
                                        _mm_set1_epi32(0x3f800000)));  // [1, 2)
    F big = gt(m, set1(1.41421356f));
    m = select(big, m * set1(0.5f), m);
    F ef = _mm_cvtepi32_ps(e) + band(big, set1(1.0f));
    F s = (m - set1(1.0f)) / (m + set1(1.0f));
    F s2 = s * s;
    F poly = set1(1.0f / 9.0f);
    poly = poly * s2 + set1(1.0f / 7.0f);
    poly = poly * s2 + set1(1.0f / 5.0f);
    poly = poly * s2 + set1(1.0f / 3.0f);
    poly = poly * s2 + set1(1.0f);
    F ln = set1(2.0f) * s * poly;
    return ef + ln * set1(1.44269504f);
}

// 2^x, clamped to [2^-126, 2^127]. x = i + f with f in [-0.5, 0.5]; 2^f from
// the series of e^(f ln 2) to the 7th power (relative error below 2e-8).
inline F exp2(F x) {
    x = min(max(x, set1(-126.0f)), set1(127.0f));
    I i = _mm_cvtps_epi32(x);  // nearest
    F f = (x - _mm_cvtepi32_ps(i)) * set1(0.693147181f);
    F p = set1(1.0f / 5040.0f);
    p = p * f + set1(1.0f / 720.0f);
    p = p * f + set1(1.0f / 120.0f);
    p = p * f + set1(1.0f / 24.0f);
    p = p * f + set1(1.0f / 6.0f);
    p = p * f + set1(0.5f);
    p = p * f + set1(1.0f);
    p = p * f + set1(1.0f);
    I scale = _mm_slli_epi32(_mm_add_epi32(i, _mm_set1_epi32(127)), 23);
    return p * _mm_castsi128_ps(scale);
}

// x^y for x > 0 (0 for x <= 0 or NaN), y finite and >= 0.
inline F pow(F x, F y) {
    F positive = gt(x, zero());
    F safe = select(positive, x, set1(1.0f));
    return band(exp2(y * log2(safe)), positive);
}

// acos(x) for x in [-1, 1] (clamped). Abramowitz & Stegun 4.4.46: acos(|x|) =
// sqrt(1 - |x|) * p(|x|), |error| <= 2e-8; acos(-x) = pi - acos(x).
inline F acos(F x) {
    x = min(max(x, set1(-1.0f)), set1(1.0f));
    F neg = lt(x, zero());
    F a = abs(x);
    F p = set1(-0.0012624911f);
    p = p * a + set1(0.0066700901f);
    p = p * a + set1(-0.0170881256f);
    p = p * a + set1(0.0308918810f);
    p = p * a + set1(-0.0501743046f);
    p = p * a + set1(0.0889789874f);
    p = p * a + set1(-0.2145988016f);
    p = p * a + set1(1.5707963050f);
    F r = sqrt(set1(1.0f) - a) * p;
    return select(neg, set1(3.14159265f) - r, r);
}

// cos(pi t) for t in [0, 1], as sin(pi (1/2 - t)) from its series to the 11th
// power (error below 1e-7).
inline F cosPi(F t) {
    F a = (set1(0.5f) - t) * set1(3.14159265f);
    F a2 = a * a;
    F p = set1(-1.0f / 39916800.0f);
    p = p * a2 + set1(1.0f / 362880.0f);
    p = p * a2 + set1(-1.0f / 5040.0f);
    p = p * a2 + set1(1.0f / 120.0f);
    p = p * a2 + set1(-1.0f / 6.0f);
    p = p * a2 + set1(1.0f);
    return a * p;
}

}  // namespace q3d::raster::simd
