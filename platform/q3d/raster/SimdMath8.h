// The helpers of SimdMath.h in eight lanes, for processors with AVX2: the
// same operations lane by lane in the same order (no fused multiply-add,
// no estimates), so every lane gets the bits the four-lane code gives.
//
// Everything here is compiled for AVX2 and may only run where
// __builtin_cpu_supports("avx2") holds; code that uses it must be compiled
// for AVX2 the same way, between VASK_BEGIN_AVX2 and VASK_END_AVX2.
#pragma once

#include <immintrin.h>

#include <cstdint>

// Every function defined between the two is compiled for AVX2 (and nothing
// more: no fused multiply-add, which would change results).
#if defined(__clang__)
#define VASK_BEGIN_AVX2 _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define VASK_END_AVX2 _Pragma("clang attribute pop")
#else
#define VASK_BEGIN_AVX2 _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define VASK_END_AVX2 _Pragma("GCC pop_options")
#endif

VASK_BEGIN_AVX2

namespace q3d::raster::simd8 {

using F = __m256;
using I = __m256i;

inline F set1(float v) { return _mm256_set1_ps(v); }
inline F zero() { return _mm256_setzero_ps(); }
inline F band(F a, F b) { return _mm256_and_ps(a, b); }
inline F bor(F a, F b) { return _mm256_or_ps(a, b); }
inline F bandnot(F a, F b) { return _mm256_andnot_ps(a, b); }
// As minps and maxps: NaN in `a` gives `b`.
inline F min(F a, F b) { return _mm256_min_ps(a, b); }
inline F max(F a, F b) { return _mm256_max_ps(a, b); }
inline F sqrt(F a) { return _mm256_sqrt_ps(a); }
inline F abs(F a) { return _mm256_and_ps(a, _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff))); }
inline F lt(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LT_OS); }
inline F le(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LE_OS); }
inline F gt(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GT_OS); }
inline F ge(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GE_OS); }
inline F ngt(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_NGT_US); }
inline F select(F mask, F a, F b) { return _mm256_or_ps(_mm256_and_ps(mask, a), _mm256_andnot_ps(mask, b)); }
inline bool any(F mask) { return _mm256_movemask_ps(mask) != 0; }
inline F clamp01(F a) { return min(max(a, zero()), set1(1.0f)); }

inline I iset1(int32_t v) { return _mm256_set1_epi32(v); }
inline I iadd(I a, I b) { return _mm256_add_epi32(a, b); }
inline I isub(I a, I b) { return _mm256_sub_epi32(a, b); }
inline I iand(I a, I b) { return _mm256_and_si256(a, b); }
inline I ior(I a, I b) { return _mm256_or_si256(a, b); }
inline I iandnot(I a, I b) { return _mm256_andnot_si256(a, b); }
inline I ishl(I a, int n) { return _mm256_slli_epi32(a, n); }
inline I ishr(I a, int n) { return _mm256_srli_epi32(a, n); }
inline I asInt(F a) { return _mm256_castps_si256(a); }
inline F asFloat(I a) { return _mm256_castsi256_ps(a); }
inline I toIntNearest(F a) { return _mm256_cvtps_epi32(a); }
inline I toIntTruncated(F a) { return _mm256_cvttps_epi32(a); }
inline F toFloat(I a) { return _mm256_cvtepi32_ps(a); }

#include "platform/q3d/raster/SimdFunctions.inc"

}  // namespace q3d::raster::simd8

VASK_END_AVX2
