#include "platform/q3d/raster/GridCells.h"

#include "platform/q3d/raster/Pipeline.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace q3d::raster::detail {

#if defined(__x86_64__)

namespace {

#define VASK_AVX2 __attribute__((target("avx2"), always_inline)) inline

VASK_AVX2 __m256i load8(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

VASK_AVX2 __m256i loadCodes(const uint8_t* p) {
    return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

VASK_AVX2 uint32_t maskBits(__m256i mask) {
    return uint32_t(_mm256_movemask_ps(_mm256_castsi256_ps(mask)));
}

// Spreads eight lane bits to the even bits of sixteen: lane i to bit 2i.
inline uint32_t spread(uint32_t bits) {
    bits = (bits | (bits << 4)) & 0x0f0fu;
    bits = (bits | (bits << 2)) & 0x3333u;
    bits = (bits | (bits << 1)) & 0x5555u;
    return bits;
}

struct Half {
    uint32_t generic;
    uint32_t covered;
    uint32_t back;
};

// One half of eight cells: corners p0, p1, p2 as the grid gives them.
__attribute__((target("avx2"))) Half classifyHalf(__m256i p0x, __m256i p0y, __m256i p1x, __m256i p1y, __m256i p2x,
                                                  __m256i p2y, __m256i codes, int32_t lastX, int32_t lastY,
                                                  bool removeBack, int half, CellBatch& out) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i minX = _mm256_min_epi32(p0x, _mm256_min_epi32(p1x, p2x));
    const __m256i maxX = _mm256_max_epi32(p0x, _mm256_max_epi32(p1x, p2x));
    const __m256i minY = _mm256_min_epi32(p0y, _mm256_min_epi32(p1y, p2y));
    const __m256i maxY = _mm256_max_epi32(p0y, _mm256_max_epi32(p1y, p2y));
    // Pixel centres within the box, on the target (as the scalar front end).
    const __m256i cx0 = _mm256_max_epi32(_mm256_srai_epi32(_mm256_add_epi32(minX, _mm256_set1_epi32(kHalfPixel - 1)),
                                                           kSubPixelBits),
                                         zero);
    const __m256i cx1 = _mm256_min_epi32(_mm256_srai_epi32(_mm256_sub_epi32(maxX, _mm256_set1_epi32(kHalfPixel)),
                                                           kSubPixelBits),
                                         _mm256_set1_epi32(lastX));
    const __m256i cy0 = _mm256_max_epi32(_mm256_srai_epi32(_mm256_add_epi32(minY, _mm256_set1_epi32(kHalfPixel - 1)),
                                                           kSubPixelBits),
                                         zero);
    const __m256i cy1 = _mm256_min_epi32(_mm256_srai_epi32(_mm256_sub_epi32(maxY, _mm256_set1_epi32(kHalfPixel)),
                                                           kSubPixelBits),
                                         _mm256_set1_epi32(lastY));
    const __m256i clipped = _mm256_cmpgt_epi32(codes, zero);
    const __m256i empty = _mm256_or_si256(_mm256_cmpgt_epi32(cx0, cx1), _mm256_cmpgt_epi32(cy0, cy1));
    const __m256i extent = _mm256_set1_epi32(kCellExtent);
    const __m256i two = _mm256_set1_epi32(2);
    const __m256i small =
        _mm256_and_si256(_mm256_and_si256(_mm256_cmpgt_epi32(extent, _mm256_sub_epi32(maxX, minX)),
                                          _mm256_cmpgt_epi32(extent, _mm256_sub_epi32(maxY, minY))),
                         _mm256_and_si256(_mm256_cmpgt_epi32(two, _mm256_sub_epi32(cx1, cx0)),
                                          _mm256_cmpgt_epi32(two, _mm256_sub_epi32(cy1, cy0))));
    // Exact in 32 bits for small boxes; the other lanes do not use it.
    const __m256i area =
        _mm256_sub_epi32(_mm256_mullo_epi32(_mm256_sub_epi32(p1x, p0x), _mm256_sub_epi32(p2y, p0y)),
                         _mm256_mullo_epi32(_mm256_sub_epi32(p2x, p0x), _mm256_sub_epi32(p1y, p0y)));
    const __m256i back = _mm256_cmpgt_epi32(area, zero);
    __m256i drawn = _mm256_andnot_si256(_mm256_or_si256(clipped, empty), small);
    drawn = _mm256_andnot_si256(_mm256_cmpeq_epi32(area, zero), drawn);
    if (removeBack) {
        drawn = _mm256_andnot_si256(back, drawn);
    }
    const uint32_t generic = maskBits(_mm256_or_si256(clipped, _mm256_andnot_si256(_mm256_or_si256(empty, small),
                                                                                    _mm256_set1_epi32(-1))));
    Half result{generic, 0, maskBits(back)};
    if (maskBits(drawn) == 0) {
        return result;
    }

    // Corners a, B, C in the order the back end uses: (B, C) = (p1, p2) for
    // a back face, else (p2, p1).
    const __m256i bx = _mm256_blendv_epi8(p2x, p1x, back);
    const __m256i by = _mm256_blendv_epi8(p2y, p1y, back);
    const __m256i cx = _mm256_blendv_epi8(p1x, p2x, back);
    const __m256i cy = _mm256_blendv_epi8(p1y, p2y, back);
    const __m256i fromX[3] = {p0x, bx, cx};
    const __m256i fromY[3] = {p0y, by, cy};
    __m256i edgeDx[3];
    __m256i edgeDy[3];
    __m256i floorValue[3];  // an edge value must exceed this: bias − 1
    for (int i = 0; i < 3; ++i) {
        const int next = (i + 1) % 3;
        edgeDx[i] = _mm256_sub_epi32(fromX[next], fromX[i]);
        edgeDy[i] = _mm256_sub_epi32(fromY[next], fromY[i]);
        // The top-left rule: bias 0 for an edge going up, or flat going right.
        const __m256i topLeft = _mm256_or_si256(
            _mm256_cmpgt_epi32(zero, edgeDy[i]),
            _mm256_and_si256(_mm256_cmpeq_epi32(edgeDy[i], zero), _mm256_cmpgt_epi32(edgeDx[i], zero)));
        floorValue[i] = _mm256_andnot_si256(topLeft, one);
        floorValue[i] = _mm256_sub_epi32(floorValue[i], one);
    }
    __m256i centres = zero;
    for (int j = 0; j < 4; ++j) {
        const __m256i column = _mm256_add_epi32(cx0, _mm256_set1_epi32(j & 1));
        const __m256i row = _mm256_add_epi32(cy0, _mm256_set1_epi32(j >> 1));
        __m256i inside = _mm256_andnot_si256(
            _mm256_or_si256(_mm256_cmpgt_epi32(column, cx1), _mm256_cmpgt_epi32(row, cy1)), drawn);
        const __m256i px = _mm256_add_epi32(_mm256_slli_epi32(column, kSubPixelBits), _mm256_set1_epi32(kHalfPixel));
        const __m256i py = _mm256_add_epi32(_mm256_slli_epi32(row, kSubPixelBits), _mm256_set1_epi32(kHalfPixel));
        __m256i e[3];
        for (int i = 0; i < 3; ++i) {
            e[i] = _mm256_sub_epi32(_mm256_mullo_epi32(edgeDx[i], _mm256_sub_epi32(py, fromY[i])),
                                    _mm256_mullo_epi32(edgeDy[i], _mm256_sub_epi32(px, fromX[i])));
            inside = _mm256_and_si256(inside, _mm256_cmpgt_epi32(e[i], floorValue[i]));
        }
        // Edge i runs from corner i to i + 1 and is opposite corner i + 2.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.weight[half][j][0]), e[1]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.weight[half][j][1]), e[2]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.weight[half][j][2]), e[0]);
        centres = _mm256_or_si256(centres, _mm256_and_si256(inside, _mm256_set1_epi32(1 << j)));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.x0[half]), cx0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.y0[half]), cy0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.area[half]), area);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.centres[half]), centres);
    result.covered = maskBits(_mm256_cmpgt_epi32(centres, zero));
    return result;
}

#undef VASK_AVX2

}  // namespace

bool cellsAvailable() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

__attribute__((target("avx2"))) void classifyCells(const CellRows& rows, uint32_t c, int32_t lastX, int32_t lastY,
                                                   bool removeBack, CellBatch& out) {
    const __m256i ax = load8(rows.x0 + c);
    const __m256i ay = load8(rows.y0 + c);
    const __m256i bx = load8(rows.x0 + c + 1);
    const __m256i by = load8(rows.y0 + c + 1);
    const __m256i cx = load8(rows.x1 + c);
    const __m256i cy = load8(rows.y1 + c);
    const __m256i dx = load8(rows.x1 + c + 1);
    const __m256i dy = load8(rows.y1 + c + 1);
    const __m256i codesA = loadCodes(rows.codes0 + c);
    const __m256i codesB = loadCodes(rows.codes0 + c + 1);
    const __m256i codesC = loadCodes(rows.codes1 + c);
    const __m256i codesD = loadCodes(rows.codes1 + c + 1);
    const Half first = classifyHalf(ax, ay, bx, by, cx, cy, _mm256_or_si256(codesA, _mm256_or_si256(codesB, codesC)),
                                    lastX, lastY, removeBack, 0, out);
    const Half second = classifyHalf(bx, by, dx, dy, cx, cy,
                                     _mm256_or_si256(codesB, _mm256_or_si256(codesD, codesC)), lastX, lastY,
                                     removeBack, 1, out);
    out.generic = uint16_t(spread(first.generic) | (spread(second.generic) << 1));
    out.covered = uint16_t(spread(first.covered) | (spread(second.covered) << 1));
    out.back = uint16_t(spread(first.back) | (spread(second.back) << 1));
    // The rest of the renderer is SSE code without the VEX prefix, which
    // runs slowly while the upper halves of the registers hold data; the
    // compiler does not clear them on its own here.
    _mm256_zeroupper();
}

#else

bool cellsAvailable() { return false; }

void classifyCells(const CellRows&, uint32_t, int32_t, int32_t, bool, CellBatch& out) {
    out.generic = 0xffff;
    out.covered = 0;
    out.back = 0;
}

#endif

}  // namespace q3d::raster::detail
