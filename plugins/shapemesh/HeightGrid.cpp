#include "plugins/shapemesh/HeightGrid.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/q3d/QD3DGroup.h"
#include "plugins/shapemesh/GridNormals.h"
#include "scene/Q3Check.h"
#include "scene/builders/ObjectRef.h"
#include "shell/Memory.h"
#include "shell/WorkerThreads.h"

namespace vask {
namespace {

using gridnormals::faceUp;
using gridnormals::newellPlane;
using gridnormals::planeFromThree;

// alpha × (1/255) × value in double precision, truncated. That product
// lands just below a whole result for 72 of the 65 536 pairs (alpha 33 of
// red 255 gives 32, where ⌊33 × 255 ÷ 255⌋ is 33), and heights must be
// those numbers, which other renderers of the same project compute too. The
// vector paths below use the exact integer quotient and send every pair
// where the two can differ (a nonzero multiple of 255, alpha below 255) here.
inline uint32_t weighted(uint32_t alpha, uint32_t value) {
  return static_cast<uint32_t>(static_cast<double>(alpha) * (1.0 / 255.0) * value);
}

inline uint32_t luminance(const PF_Pixel& p) {
  return (30u * p.red + 59u * p.green + 11u * p.blue) / 100u;
}

template <HeightFrom kFrom>
inline uint32_t valueOf(const PF_Pixel& p) {
  if constexpr (kFrom == HeightFrom::Luminance) return weighted(p.alpha, luminance(p));
  if constexpr (kFrom == HeightFrom::Red) return weighted(p.alpha, p.red);
  if constexpr (kFrom == HeightFrom::Green) return weighted(p.alpha, p.green);
  if constexpr (kFrom == HeightFrom::Blue) return weighted(p.alpha, p.blue);
  if constexpr (kFrom == HeightFrom::Alpha) return p.alpha;
}

// y of every height value, "Invert" applied: one lookup per vertex.
struct HeightTable {
  float y[256];
  bool invert;
  explicit HeightTable(bool inverted) : invert(inverted) {
    for (uint32_t v = 0; v < 256; ++v) {
      const uint32_t shown = invert ? 255u - v : v;
      y[v] = static_cast<float>(shown) * (1.0f / 255.0f) - 0.5f;
    }
  }
};

#if defined(__SSE2__)
// Eight heights at a time, in 16-bit lanes: every product fits (255 × 255 =
// 65025), ⌊x ÷ 255⌋ is (x + 1 + (x >> 8)) >> 8 and ⌊x ÷ 100⌋ is
// (x × 5243) >> 19 for every x that occurs (both checked over the whole
// range), and y is formed by the table's own float operations, so each
// height is bit for bit the scalar one; a block with a lane where the
// scalar weighting may differ is redone by it. Returns the first column left.
template <HeightFrom kFrom>
uint32_t rowHeightsSse(float* y, const PF_Pixel* src, uint32_t columns, const HeightTable& table) {
  const __m128i byte = _mm_set1_epi32(0xFF);
  const __m128i one = _mm_set1_epi16(1);
  const __m128i full = _mm_set1_epi16(255);
  const __m128i flip = table.invert ? full : _mm_setzero_si128();
  const __m128 scale = _mm_set1_ps(1.0f / 255.0f);
  const __m128 half = _mm_set1_ps(0.5f);
  // Pixel words are alpha, red, green, blue in memory: alpha is the low byte.
  auto channel = [&](__m128i lo, __m128i hi, int shift) {
    return _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(lo, shift), byte),
                           _mm_and_si128(_mm_srli_epi32(hi, shift), byte));
  };
  // ⌊alpha × value ÷ 255⌋; `doubtful` marks the lanes where weighted()
  // may be one less.
  __m128i doubtful = _mm_setzero_si128();
  auto weighted8 = [&](__m128i alpha, __m128i value) {
    const __m128i x = _mm_mullo_epi16(alpha, value);
    const __m128i q = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
    const __m128i whole = _mm_cmpeq_epi16(_mm_mullo_epi16(q, full), x);
    const __m128i exact = _mm_or_si128(_mm_cmpeq_epi16(x, _mm_setzero_si128()), _mm_cmpeq_epi16(alpha, full));
    doubtful = _mm_andnot_si128(exact, whole);
    return q;
  };
  uint32_t c = 0;
  for (; c + 8 <= columns; c += 8) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + c));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + c + 4));
    const __m128i alpha = channel(lo, hi, 0);
    __m128i v;
    if constexpr (kFrom == HeightFrom::Luminance) {
      const __m128i sum = _mm_add_epi16(
          _mm_add_epi16(_mm_mullo_epi16(channel(lo, hi, 8), _mm_set1_epi16(30)),
                        _mm_mullo_epi16(channel(lo, hi, 16), _mm_set1_epi16(59))),
          _mm_mullo_epi16(channel(lo, hi, 24), _mm_set1_epi16(11)));
      v = weighted8(alpha, _mm_srli_epi16(_mm_mulhi_epu16(sum, _mm_set1_epi16(5243)), 3));
    } else if constexpr (kFrom == HeightFrom::Red) {
      v = weighted8(alpha, channel(lo, hi, 8));
    } else if constexpr (kFrom == HeightFrom::Green) {
      v = weighted8(alpha, channel(lo, hi, 16));
    } else if constexpr (kFrom == HeightFrom::Blue) {
      v = weighted8(alpha, channel(lo, hi, 24));
    } else {
      v = alpha;
    }
    // 255 − v or v: v xor 255 is 255 − v for 0 … 255.
    v = _mm_xor_si128(v, flip);
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_ps(y + c, _mm_sub_ps(_mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(v, zero)), scale), half));
    _mm_storeu_ps(y + c + 4, _mm_sub_ps(_mm_mul_ps(_mm_cvtepi32_ps(_mm_unpackhi_epi16(v, zero)), scale), half));
    if (_mm_movemask_epi8(doubtful) != 0) [[unlikely]] {
      for (uint32_t i = c; i < c + 8; ++i) y[i] = table.y[valueOf<kFrom>(src[i])];
    }
  }
  return c;
}
#endif

#if defined(__x86_64__)
// Whether the processor runs the 256-bit paths below. They do the very
// operations of the 128-bit ones, lane for lane (no fused multiply-add), so
// every value is bit for bit the same on either.
const bool kAvx2 = __builtin_cpu_supports("avx2");

// rowHeightsSse sixteen at a time. The 32-to-16-bit packs work within each
// 128-bit half, so the lanes are in the order 0–3, 8–11, 4–7, 12–15 until
// the unpacks at the end, which undo it.
#define VASK_AVX2 __attribute__((target("avx2"), always_inline)) inline
VASK_AVX2 __m256i channel16(__m256i lo, __m256i hi, int shift) {
  const __m256i byte = _mm256_set1_epi32(0xFF);
  return _mm256_packs_epi32(_mm256_and_si256(_mm256_srli_epi32(lo, shift), byte),
                            _mm256_and_si256(_mm256_srli_epi32(hi, shift), byte));
}
VASK_AVX2 __m256i weighted16(__m256i alpha, __m256i value, __m256i& doubtful) {
  const __m256i full = _mm256_set1_epi16(255);
  const __m256i x = _mm256_mullo_epi16(alpha, value);
  const __m256i q =
      _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(x, _mm256_set1_epi16(1)), _mm256_srli_epi16(x, 8)), 8);
  const __m256i whole = _mm256_cmpeq_epi16(_mm256_mullo_epi16(q, full), x);
  const __m256i exact = _mm256_or_si256(_mm256_cmpeq_epi16(x, _mm256_setzero_si256()), _mm256_cmpeq_epi16(alpha, full));
  doubtful = _mm256_andnot_si256(exact, whole);
  return q;
}
#undef VASK_AVX2

template <HeightFrom kFrom>
__attribute__((target("avx2"))) uint32_t rowHeightsAvx2(float* y, const PF_Pixel* src, uint32_t columns,
                                                       const HeightTable& table, const char* ahead) {
  const __m256i flip = table.invert ? _mm256_set1_epi16(255) : _mm256_setzero_si256();
  const __m256 scale = _mm256_set1_ps(1.0f / 255.0f);
  const __m256 half = _mm256_set1_ps(0.5f);
  uint32_t c = 0;
  for (; c + 16 <= columns; c += 16) {
    if (ahead != nullptr) __builtin_prefetch(ahead + std::size_t{c} * sizeof(PF_Pixel));
    const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + c));
    const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + c + 8));
    const __m256i alpha = channel16(lo, hi, 0);
    __m256i v;
    __m256i doubtful = _mm256_setzero_si256();
    if constexpr (kFrom == HeightFrom::Luminance) {
      const __m256i sum = _mm256_add_epi16(
          _mm256_add_epi16(_mm256_mullo_epi16(channel16(lo, hi, 8), _mm256_set1_epi16(30)),
                           _mm256_mullo_epi16(channel16(lo, hi, 16), _mm256_set1_epi16(59))),
          _mm256_mullo_epi16(channel16(lo, hi, 24), _mm256_set1_epi16(11)));
      v = weighted16(alpha, _mm256_srli_epi16(_mm256_mulhi_epu16(sum, _mm256_set1_epi16(5243)), 3), doubtful);
    } else if constexpr (kFrom == HeightFrom::Red) {
      v = weighted16(alpha, channel16(lo, hi, 8), doubtful);
    } else if constexpr (kFrom == HeightFrom::Green) {
      v = weighted16(alpha, channel16(lo, hi, 16), doubtful);
    } else if constexpr (kFrom == HeightFrom::Blue) {
      v = weighted16(alpha, channel16(lo, hi, 24), doubtful);
    } else {
      v = alpha;
    }
    v = _mm256_xor_si256(v, flip);
    const __m256i zero = _mm256_setzero_si256();
    _mm256_storeu_ps(y + c, _mm256_sub_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_unpacklo_epi16(v, zero)), scale), half));
    _mm256_storeu_ps(y + c + 8,
                     _mm256_sub_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_unpackhi_epi16(v, zero)), scale), half));
    if (_mm256_movemask_epi8(doubtful) != 0) [[unlikely]] {
      for (uint32_t i = c; i < c + 16; ++i) y[i] = table.y[valueOf<kFrom>(src[i])];
    }
  }
  return c;
}
#endif

// Heights (y) of one vertex row from one image row. `ahead`: a row read
// later, asked for line by line as this one is read (the rows are read
// bottom up, which the processor's own prefetching does not follow), or null.
template <HeightFrom kFrom>
void rowHeights(float* y, const PF_Pixel* src, uint32_t columns, const HeightTable& table, const char* ahead) {
  uint32_t c = 0;
#if defined(__x86_64__)
  if (kAvx2) c = rowHeightsAvx2<kFrom>(y, src, columns, table, ahead);
#else
  (void)ahead;
#endif
#if defined(__SSE2__)
  c += rowHeightsSse<kFrom>(y + c, src + c, columns - c, table);
#endif
  for (; c < columns; ++c) y[c] = table.y[valueOf<kFrom>(src[c])];
}

void rowHeights(float* y, const PF_Pixel* src, uint32_t columns, const HeightTable& table, HeightFrom from,
                const char* ahead) {
  switch (from) {
    case HeightFrom::Luminance: return rowHeights<HeightFrom::Luminance>(y, src, columns, table, ahead);
    case HeightFrom::Red: return rowHeights<HeightFrom::Red>(y, src, columns, table, ahead);
    case HeightFrom::Green: return rowHeights<HeightFrom::Green>(y, src, columns, table, ahead);
    case HeightFrom::Blue: return rowHeights<HeightFrom::Blue>(y, src, columns, table, ahead);
    case HeightFrom::Alpha: return rowHeights<HeightFrom::Alpha>(y, src, columns, table, ahead);
  }
}

// The working memory of one fill, from the plug-in heap: the x of every
// column and the z of every vertex row (accumulated from −0.5 and +0.5 as
// the points are, so every row has the same x values), the heights of three
// consecutive vertex rows (a ring: a row's normals need its neighbours'),
// and the normals of one row. About 30 bytes per column: nothing per vertex.
class FillScratch {
 public:
  FillScratch(uint32_t rows, uint32_t columns, float dx, float dz)
      : block_((std::size_t{columns} * 7 + rows) * sizeof(float)) {
    auto* f = static_cast<float*>(block_.data());
    xs = f;
    for (int i = 0; i < 3; ++i) heights[i] = f + std::size_t{columns} * (1 + i);
    nx = f + std::size_t{columns} * 4;
    ny = f + std::size_t{columns} * 5;
    nz = f + std::size_t{columns} * 6;
    zs = f + std::size_t{columns} * 7;
    float x = -0.5f;
    for (uint32_t c = 0; c < columns; ++c, x += dx) xs[c] = x;
    float z = 0.5f;
    for (uint32_t r = 0; r < rows; ++r, z -= dz) zs[r] = z;
  }
  float* row(uint32_t r) { return heights[r % 3]; }

  float* xs;
  float* zs;
  float* nx;
  float* ny;
  float* nz;

 private:
  MemoryBlock block_;
  float* heights[3];
};

#if defined(__SSE2__)
// Newell normals of the interior vertices [first, end) of a middle row, four
// at a time: the very operations of newellPlane, unitOrZero and faceUp in
// the same order, so every normal is bit for bit the one the scalar code
// gives. Returns the first column left to do.
uint32_t interiorNormalsSse(const float* xs, const float* y, const float* ya, const float* yb, float z,
                            float za, float zb, float* nx, float* ny, float* nz, uint32_t first,
                            uint32_t end) {
  const __m128 vz = _mm_set1_ps(z);
  const __m128 vza = _mm_set1_ps(za);
  const __m128 vzb = _mm_set1_ps(zb);
  const __m128 tolerance = _mm_set1_ps(kVectorTolerance * kVectorTolerance);
  const __m128 zero = _mm_setzero_ps();
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128 minusOne = _mm_set1_ps(-1.0f);
  uint32_t c = first;
  for (; c + 4 <= end; c += 4) {
    // p1 = V(r, c−1), p2 = V(r+1, c), p3 = V(r, c+1), p4 = V(r−1, c);
    // d1 = p3 − p1, d2 = p4 − p2.
    const __m128 x0 = _mm_loadu_ps(xs + c);
    const __m128 d1x = _mm_sub_ps(_mm_loadu_ps(xs + c + 1), _mm_loadu_ps(xs + c - 1));
    const __m128 d1y = _mm_sub_ps(_mm_loadu_ps(y + c + 1), _mm_loadu_ps(y + c - 1));
    const __m128 d1z = _mm_sub_ps(vz, vz);
    const __m128 d2x = _mm_sub_ps(x0, x0);
    const __m128 d2y = _mm_sub_ps(_mm_loadu_ps(ya + c), _mm_loadu_ps(yb + c));
    const __m128 d2z = _mm_sub_ps(vza, vzb);
    __m128 ox = _mm_sub_ps(_mm_mul_ps(d1y, d2z), _mm_mul_ps(d1z, d2y));
    __m128 oy = _mm_sub_ps(_mm_mul_ps(d1z, d2x), _mm_mul_ps(d1x, d2z));
    __m128 oz = _mm_sub_ps(_mm_mul_ps(d1x, d2y), _mm_mul_ps(d1y, d2x));
    const __m128 squared = _mm_add_ps(_mm_add_ps(_mm_mul_ps(ox, ox), _mm_mul_ps(oy, oy)), _mm_mul_ps(oz, oz));
    const __m128 s1 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(d1x, d1x), _mm_mul_ps(d1y, d1y)), _mm_mul_ps(d1z, d1z));
    const __m128 s2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(d2x, d2x), _mm_mul_ps(d2y, d2y)), _mm_mul_ps(d2z, d2z));
    const __m128 usable = _mm_and_ps(_mm_cmpge_ps(squared, _mm_mul_ps(tolerance, _mm_mul_ps(s1, s2))),
                                     _mm_cmpgt_ps(squared, zero));
    const __m128 k = _mm_and_ps(usable, _mm_div_ps(one, _mm_sqrt_ps(squared)));
    ox = _mm_mul_ps(ox, k);
    oy = _mm_mul_ps(oy, k);
    oz = _mm_mul_ps(oz, k);
    const __m128 down = _mm_cmplt_ps(oy, zero);
    const __m128 sign = _mm_or_ps(_mm_and_ps(down, minusOne), _mm_andnot_ps(down, one));
    _mm_storeu_ps(nx + c, _mm_mul_ps(ox, sign));
    _mm_storeu_ps(ny + c, _mm_mul_ps(oy, sign));
    _mm_storeu_ps(nz + c, _mm_mul_ps(oz, sign));
  }
  return c;
}
#endif

#if defined(__x86_64__)
// interiorNormalsSse eight at a time.
__attribute__((target("avx2"))) uint32_t interiorNormalsAvx2(const float* xs, const float* y, const float* ya,
                                                           const float* yb, float z, float za, float zb, float* nx,
                                                           float* ny, float* nz, uint32_t first, uint32_t end) {
  const __m256 vz = _mm256_set1_ps(z);
  const __m256 vza = _mm256_set1_ps(za);
  const __m256 vzb = _mm256_set1_ps(zb);
  const __m256 tolerance = _mm256_set1_ps(kVectorTolerance * kVectorTolerance);
  const __m256 zero = _mm256_setzero_ps();
  const __m256 one = _mm256_set1_ps(1.0f);
  const __m256 minusOne = _mm256_set1_ps(-1.0f);
  uint32_t c = first;
  for (; c + 8 <= end; c += 8) {
    const __m256 x0 = _mm256_loadu_ps(xs + c);
    const __m256 d1x = _mm256_sub_ps(_mm256_loadu_ps(xs + c + 1), _mm256_loadu_ps(xs + c - 1));
    const __m256 d1y = _mm256_sub_ps(_mm256_loadu_ps(y + c + 1), _mm256_loadu_ps(y + c - 1));
    const __m256 d1z = _mm256_sub_ps(vz, vz);
    const __m256 d2x = _mm256_sub_ps(x0, x0);
    const __m256 d2y = _mm256_sub_ps(_mm256_loadu_ps(ya + c), _mm256_loadu_ps(yb + c));
    const __m256 d2z = _mm256_sub_ps(vza, vzb);
    __m256 ox = _mm256_sub_ps(_mm256_mul_ps(d1y, d2z), _mm256_mul_ps(d1z, d2y));
    __m256 oy = _mm256_sub_ps(_mm256_mul_ps(d1z, d2x), _mm256_mul_ps(d1x, d2z));
    __m256 oz = _mm256_sub_ps(_mm256_mul_ps(d1x, d2y), _mm256_mul_ps(d1y, d2x));
    const __m256 squared =
        _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(ox, ox), _mm256_mul_ps(oy, oy)), _mm256_mul_ps(oz, oz));
    const __m256 s1 =
        _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(d1x, d1x), _mm256_mul_ps(d1y, d1y)), _mm256_mul_ps(d1z, d1z));
    const __m256 s2 =
        _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(d2x, d2x), _mm256_mul_ps(d2y, d2y)), _mm256_mul_ps(d2z, d2z));
    const __m256 usable =
        _mm256_and_ps(_mm256_cmp_ps(squared, _mm256_mul_ps(tolerance, _mm256_mul_ps(s1, s2)), _CMP_GE_OQ),
                      _mm256_cmp_ps(squared, zero, _CMP_GT_OQ));
    const __m256 k = _mm256_and_ps(usable, _mm256_div_ps(one, _mm256_sqrt_ps(squared)));
    ox = _mm256_mul_ps(ox, k);
    oy = _mm256_mul_ps(oy, k);
    oz = _mm256_mul_ps(oz, k);
    const __m256 down = _mm256_cmp_ps(oy, zero, _CMP_LT_OQ);
    const __m256 sign = _mm256_or_ps(_mm256_and_ps(down, minusOne), _mm256_andnot_ps(down, one));
    _mm256_storeu_ps(nx + c, _mm256_mul_ps(ox, sign));
    _mm256_storeu_ps(ny + c, _mm256_mul_ps(oy, sign));
    _mm256_storeu_ps(nz + c, _mm256_mul_ps(oz, sign));
  }
  return c;
}
#endif

// The normals of vertex row r into scratch.nx/ny/nz, from the heights of
// rows r − 1, r and r + 1 (where they exist) and the x and z tables: the
// same floats the points hold, so the result is that of the points.
// Interior vertices take Newell's plane of their four neighbours, border and
// corner vertices the plane of three.
void rowNormals(FillScratch& s, uint32_t rows, uint32_t columns, uint32_t r) {
  const float* xs = s.xs;
  const float* y = s.row(r);
  const float z = s.zs[r];
  const float* ya = r > 0 ? s.row(r - 1) : nullptr;  // vertex row r − 1
  const float za = r > 0 ? s.zs[r - 1] : 0.0f;
  const float* yb = r + 1 < rows ? s.row(r + 1) : nullptr;  // vertex row r + 1
  const float zb = r + 1 < rows ? s.zs[r + 1] : 0.0f;
  float* nx = s.nx;
  float* ny = s.ny;
  float* nz = s.nz;
  auto put = [&](uint32_t c, const Vec3& n) {
    const Vec3 up = faceUp(n);
    nx[c] = up.x;
    ny[c] = up.y;
    nz[c] = up.z;
  };
  auto P = [xs](const float* heights, float zr, uint32_t c) { return Vec3{xs[c], heights[c], zr}; };
  const uint32_t last = columns - 1;
  if (r == 0) {
    put(0, planeFromThree(P(y, z, 0), P(y, z, 1), P(yb, zb, 0)));
    for (uint32_t c = 1; c < last; ++c) put(c, planeFromThree(P(y, z, c - 1), P(y, z, c + 1), P(yb, zb, c)));
    put(last, planeFromThree(P(y, z, last), P(y, z, last - 1), P(yb, zb, last)));
  } else if (r == rows - 1) {
    put(0, planeFromThree(P(ya, za, 0), P(y, z, 1), P(y, z, 0)));
    for (uint32_t c = 1; c < last; ++c) put(c, planeFromThree(P(y, z, c - 1), P(ya, za, c), P(y, z, c + 1)));
    put(last, planeFromThree(P(ya, za, last), P(y, z, last), P(y, z, last - 1)));
  } else {
    put(0, planeFromThree(P(ya, za, 0), P(y, z, 1), P(yb, zb, 0)));
    uint32_t c = 1;
#if defined(__x86_64__)
    if (kAvx2) c = interiorNormalsAvx2(xs, y, ya, yb, z, za, zb, nx, ny, nz, c, last);
#endif
#if defined(__SSE2__)
    c = interiorNormalsSse(xs, y, ya, yb, z, za, zb, nx, ny, nz, c, last);
#endif
    for (; c < last; ++c) put(c, newellPlane(P(y, z, c - 1), P(yb, zb, c), P(y, z, c + 1), P(ya, za, c)));
    put(last, planeFromThree(P(ya, za, last), P(yb, zb, last), P(y, z, last - 1)));
  }
}

// The heights of vertex row r into the scratch ring: image row rows − 1 − r,
// or −0.5 everywhere without pixels.
void loadRowHeights(FillScratch& s, const LayerImage& heights, const HeightTable& table,
                    HeightFrom from, uint32_t rows, uint32_t columns, uint32_t r) {
  float* y = s.row(r);
  if (heights.hasPixels()) {
    // Three rows on: about the time memory needs to bring a row in.
    const char* ahead =
        r + 3 < rows ? reinterpret_cast<const char*>(heights.row(static_cast<int32_t>(rows - 4 - r))) : nullptr;
    rowHeights(y, heights.row(static_cast<int32_t>(rows - 1 - r)), columns, table, from, ahead);
  } else
    std::fill(y, y + columns, -0.5f);
}

#if defined(__SSE2__)
// Four triples from vectors of x, y and z, as three vectors in memory order:
// three shuffles deep.
inline void triples4(__m128 x, __m128 y, __m128 zz, __m128 out[3]) {
  const __m128 xy01 = _mm_unpacklo_ps(x, y);                           // x0 y0 x1 y1
  const __m128 xy23 = _mm_unpackhi_ps(x, y);                           // x2 y2 x3 y3
  const __m128 z0x1 = _mm_shuffle_ps(zz, x, _MM_SHUFFLE(1, 1, 0, 0));  // z0 z0 x1 x1
  const __m128 y1z1 = _mm_shuffle_ps(y, zz, _MM_SHUFFLE(1, 1, 1, 1));  // y1 y1 z1 z1
  const __m128 z2x3 = _mm_shuffle_ps(zz, x, _MM_SHUFFLE(3, 3, 2, 2));  // z2 z2 x3 x3
  const __m128 y3z3 = _mm_shuffle_ps(y, zz, _MM_SHUFFLE(3, 3, 3, 3));  // y3 y3 z3 z3
  out[0] = _mm_shuffle_ps(xy01, z0x1, _MM_SHUFFLE(2, 0, 1, 0));         // x0 y0 z0 x1
  out[1] = _mm_shuffle_ps(y1z1, xy23, _MM_SHUFFLE(1, 0, 2, 0));         // y1 z1 x2 y2
  out[2] = _mm_shuffle_ps(z2x3, y3z3, _MM_SHUFFLE(2, 0, 2, 0));         // z2 x3 y3 z3
}
#endif

// (xs[c], ys[c], zs[c]) as consecutive triples of floats into `out`, for c
// < count; with zs null, every z is `z`. With `stream`, around the caches:
// a big grid's arrays are rewritten whole and next read from memory, so
// reading each line in just to overwrite it would only cost.
template <class Triple>
void interleave(const float* xs, const float* ys, const float* zs, float z, Triple* out, uint32_t count,
                bool stream = false) {
  static_assert(sizeof(Triple) == 3 * sizeof(float));
  auto* f = reinterpret_cast<float*>(out);
  uint32_t c = 0;
  auto one = [&] {
    f[0] = xs[c];
    f[1] = ys[c];
    f[2] = zs != nullptr ? zs[c] : z;
    ++c;
    f += 3;
  };
#if defined(__SSE2__)
  // A streaming store needs 16-byte alignment, which every fourth triple
  // has once one has.
  if (stream) {
    while (c < count && reinterpret_cast<std::uintptr_t>(f) % 16 != 0) one();
  }
  const __m128 zAll = _mm_set1_ps(z);
  for (; c + 4 <= count; c += 4, f += 12) {
    __m128 v[3];
    triples4(_mm_loadu_ps(xs + c), _mm_loadu_ps(ys + c), zs != nullptr ? _mm_loadu_ps(zs + c) : zAll, v);
    if (stream) {
      _mm_stream_ps(f, v[0]);
      _mm_stream_ps(f + 4, v[1]);
      _mm_stream_ps(f + 8, v[2]);
    } else {
      _mm_storeu_ps(f, v[0]);
      _mm_storeu_ps(f + 4, v[1]);
      _mm_storeu_ps(f + 8, v[2]);
    }
  }
#endif
  while (c < count) one();
}

// Below this many vertices a fill stays on one thread: starting another
// costs more than it saves.
constexpr uint64_t kVerticesPerExtraThread = 1u << 18;

// The rows of one fill band and what it needs: the fill's scratch, and one
// row of points, normals and UVs as the grid takes them.
struct FillBand {
  FillBand(uint32_t rows, uint32_t columnCount, float dx, float dz, uint32_t first, uint32_t last)
      : scratch(rows, columnCount, dx, dz),
        rowBlock(std::size_t{columnCount} * (sizeof(TQ3Point3D) + sizeof(TQ3Vector3D) + sizeof(TQ3Param2D))),
        columns(columnCount),
        begin(first),
        end(last) {}
  TQ3Point3D* points() { return static_cast<TQ3Point3D*>(rowBlock.data()); }
  TQ3Vector3D* normals() { return reinterpret_cast<TQ3Vector3D*>(points() + columns); }
  TQ3Param2D* uvs() { return reinterpret_cast<TQ3Param2D*>(normals() + columns); }
  FillScratch scratch;
  MemoryBlock rowBlock;
  uint32_t columns;
  uint32_t begin, end;  // vertex rows [begin, end)
};

// Where a fill writes: the grid's own arrays when it lends them (every
// array the fill writes), else rows handed over through the range calls.
struct FillTarget {
  TQ3GeometryObject grid;
  TQ3Point3D* points = nullptr;  // all null unless every array needed is lent
  TQ3Vector3D* normals = nullptr;
  TQ3Param2D* uvs = nullptr;
  bool stream = false;  // write around the caches (a big grid)
};

// Grids at least this big (vertices) are written around the caches.
constexpr uint64_t kStreamVertices = uint64_t{1} << 20;

// Vertex rows [band.begin, band.end) of a fill, each written as soon as its
// normals are known (they need the row after it); with `uvs`, each row's
// surface UVs too.
void fillRows(const FillTarget& target, const LayerImage& heights, const GridSettings& settings,
              const HeightTable& table, uint32_t rows, uint32_t columns, float dx, float dz, bool uvs,
              FillBand& band) {
  FillScratch& s = band.scratch;
  const bool direct = target.points != nullptr;
  if (band.begin > 0) loadRowHeights(s, heights, table, settings.heightFrom, rows, columns, band.begin - 1);
  loadRowHeights(s, heights, table, settings.heightFrom, rows, columns, band.begin);
  for (uint32_t r = band.begin; r < band.end; ++r) {
    if (r + 1 < rows) loadRowHeights(s, heights, table, settings.heightFrom, rows, columns, r + 1);
    const std::size_t first = std::size_t{r} * columns;
    TQ3Point3D* points = direct ? target.points + first : band.points();
    TQ3Vector3D* normals = direct ? target.normals + first : band.normals();
    TQ3Param2D* rowUVs = direct ? target.uvs + first : band.uvs();
    interleave(s.xs, s.row(r), nullptr, s.zs[r], points, columns, target.stream);
    if (settings.smooth) {
      rowNormals(s, rows, columns, r);
      interleave(s.nx, s.ny, s.nz, 0.0f, normals, columns, target.stream);
    }
    if (!direct) {
      q3Check(Q3TriGrid_SetVertexRange(target.grid, static_cast<TQ3Uns32>(first), columns, points,
                                       settings.smooth ? normals : nullptr));
    }
    if (uvs) {
      const float v = static_cast<float>(r) * dz;
      for (uint32_t c = 0; c < columns; ++c) rowUVs[c] = {static_cast<float>(c) * dx, v};
      if (!direct) q3Check(Q3TriGrid_SetVertexUVs(target.grid, static_cast<TQ3Uns32>(first), columns, rowUVs));
    }
  }
#if defined(__SSE2__)
  // The streaming stores reach memory before the band reports done.
  if (target.stream) _mm_sfence();
#endif
}

// Every vertex of `grid` (heights.width × heights.height) from `heights`, in
// bands of rows over hostThreadCount() threads; with `uvs` the surface UVs
// too. The result does not depend on the thread count.
void fillAll(TQ3GeometryObject grid, const LayerImage& heights, const GridSettings& settings, bool uvs) {
  const auto rows = static_cast<uint32_t>(heights.height);
  const auto columns = static_cast<uint32_t>(heights.width);
  const HeightTable table(heights.hasPixels() && settings.invert);
  const float dx = 1.0f / static_cast<float>(columns - 1);
  const float dz = 1.0f / static_cast<float>(rows - 1);

  const uint64_t vertices = uint64_t{rows} * columns;
  FillTarget target{grid};
  // The grid's own arrays when it keeps every value the fill writes in one.
  TQ3Point3D* points = nullptr;
  TQ3Vector3D* normals = nullptr;
  TQ3Param2D* uvArray = nullptr;
  q3Check(Q3TriGrid_GetVertexArrays(grid, &points, &normals, &uvArray));
  if ((!settings.smooth || normals != nullptr) && (!uvs || uvArray != nullptr)) {
    target.points = points;
    target.normals = normals;
    target.uvs = uvArray;
    target.stream = vertices >= kStreamVertices;
  }
  const uint32_t bands = static_cast<uint32_t>(
      std::min<uint64_t>({hostThreadCount(), 1 + vertices / kVerticesPerExtraThread, rows}));
  // Every band's memory comes from the plug-in heap here, on the command's
  // own thread.
  std::deque<FillBand> work;
  for (uint32_t b = 0; b < bands; ++b)
    work.emplace_back(rows, columns, dx, dz, static_cast<uint32_t>(uint64_t{rows} * b / bands),
                      static_cast<uint32_t>(uint64_t{rows} * (b + 1) / bands));
  runBands(bands, [&](uint32_t b) {
    fillRows(target, heights, settings, table, rows, columns, dx, dz, uvs, work[b]);
  });
}

}  // namespace

HeightFrom heightFromPopup(int32_t choice) {
  if (choice < static_cast<int32_t>(HeightFrom::Luminance) ||
      choice > static_cast<int32_t>(HeightFrom::Alpha))
    raise(PF_Err_BAD_CALLBACK_PARAM);
  return static_cast<HeightFrom>(choice);
}

bool hasGrid(const LayerImage& heights) {
  return heights.hasPixels() && heights.width >= 2 && heights.height >= 2;
}

void buildGrid(TQ3GroupObject group, TQ3GeometryObject& grid, const LayerImage& heights,
               const GridSettings& settings) {
  if (!hasGrid(heights)) return;
  const uint64_t count = static_cast<uint64_t>(heights.width) * static_cast<uint64_t>(heights.height);
  // A grid counts its vertices in 32 bits; a larger one cannot be made.
  if (count > std::numeric_limits<TQ3Uns32>::max()) raise(msg::kOutOfMemory);
  ObjectRef made(q3Check(Q3TriGrid_NewBlank(static_cast<TQ3Uns32>(heights.height),
                                            static_cast<TQ3Uns32>(heights.width),
                                            settings.smooth ? kQ3True : kQ3False,
                                            settings.textured ? kQ3True : kQ3False)));
  fillAll(made.get(), heights, settings, settings.textured);
  if (grid) Q3Object_Dispose(grid);
  grid = made.release();
  q3Check(Q3Group_AddObject(group, grid));
}

void refillGrid(TQ3GeometryObject grid, const LayerImage& heights, const GridSettings& settings) {
  if (!grid) return;
  if (heights.width < 2 || heights.height < 2) raise(PF_Err_INTERNAL_STRUCT_DAMAGED);
  fillAll(grid, heights, settings, false);
}

}  // namespace vask
