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

// One corner of eight triangles.
struct Corner {
    __m256i x;
    __m256i y;
    __m256 z;
    __m256i colour;  // packed, for a front face
    __m256i back;    // packed, for a back face
};

// Eight corners from column `column` on; colours only when asked.
VASK_AVX2 void loadCorner(Corner& q, const int32_t* x, const int32_t* y, const float* z, const uint32_t* colour,
                          const uint32_t* back, uint32_t column, bool colours) {
    q.x = load8(x + column);
    q.y = load8(y + column);
    q.z = _mm256_loadu_ps(z + column);
    if (colours) {
        q.colour = load8(reinterpret_cast<const int32_t*>(colour + column));
        q.back = back != nullptr ? load8(reinterpret_cast<const int32_t*>(back + column)) : q.colour;
    } else {
        q.colour = q.back = _mm256_setzero_si256();
    }
}

VASK_AVX2 __m256 channel(__m256i packed, int shift) {
    return _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(packed, shift), _mm256_set1_epi32(255)));
}

// Gouraud.h's channel: weights fa, fb, fc over the corners' values, rounded
// and clamped to a byte as its packs do.
VASK_AVX2 __m256i blendChannel(__m256 fa, __m256 fb, __m256 fc, __m256 a, __m256 b, __m256 c) {
    const __m256 sum = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(fa, a), _mm256_mul_ps(fb, b)), _mm256_mul_ps(fc, c));
    const __m256i rounded = _mm256_cvttps_epi32(_mm256_add_ps(sum, _mm256_set1_ps(0.5f)));
    return _mm256_min_epi32(_mm256_max_epi32(rounded, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

// One half of eight cells: corners p0, p1, p2 as the grid gives them.
// Inlined: returning the three masks through the stack would stall every
// batch on loads the processor cannot forward from the stores.
VASK_AVX2 Half classifyHalf(const Corner& q0, const Corner& q1, const Corner& q2, __m256i codes,
                            const CellTarget& target, int half, CellBatch& out) {
    const bool colours = target.colours;
    const __m256i p0x = q0.x;
    const __m256i p0y = q0.y;
    const __m256i p1x = q1.x;
    const __m256i p1y = q1.y;
    const __m256i p2x = q2.x;
    const __m256i p2y = q2.y;
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
                                         _mm256_set1_epi32(target.lastX));
    const __m256i cy0 = _mm256_max_epi32(_mm256_srai_epi32(_mm256_add_epi32(minY, _mm256_set1_epi32(kHalfPixel - 1)),
                                                           kSubPixelBits),
                                         zero);
    const __m256i cy1 = _mm256_min_epi32(_mm256_srai_epi32(_mm256_sub_epi32(maxY, _mm256_set1_epi32(kHalfPixel)),
                                                           kSubPixelBits),
                                         _mm256_set1_epi32(target.lastY));
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
    if (target.removeBack) {
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
    // What a fragment interpolates, in the same corner order.
    const __m256 invArea = _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_cvtepi32_ps(_mm256_abs_epi32(area)));
    const __m256 za = q0.z;
    const __m256 zb = _mm256_blendv_ps(q2.z, q1.z, _mm256_castsi256_ps(back));
    const __m256 zc = _mm256_blendv_ps(q1.z, q2.z, _mm256_castsi256_ps(back));
    __m256 colourA[3], colourB[3], colourC[3];
    if (colours) {
        const __m256i packedA = _mm256_blendv_epi8(q0.colour, q0.back, back);
        const __m256i packedB = _mm256_blendv_epi8(q2.colour, q1.back, back);
        const __m256i packedC = _mm256_blendv_epi8(q1.colour, q2.back, back);
        for (int k = 0; k < 3; ++k) {
            colourA[k] = channel(packedA, 8 * k);
            colourB[k] = channel(packedB, 8 * k);
            colourC[k] = channel(packedC, 8 * k);
        }
    }
    __m256i centres = zero;
    for (int j = 0; j < 4; ++j) {
        const __m256i column = _mm256_add_epi32(cx0, _mm256_set1_epi32(j & 1));
        const __m256i row = _mm256_add_epi32(cy0, _mm256_set1_epi32(j >> 1));
        __m256i inside = _mm256_andnot_si256(
            _mm256_or_si256(_mm256_cmpgt_epi32(column, cx1), _mm256_cmpgt_epi32(row, cy1)), drawn);
        // Only boxes two centres wide or high have more than the first.
        if (j > 0 && maskBits(inside) == 0) {
            continue;
        }
        const __m256i px = _mm256_add_epi32(_mm256_slli_epi32(column, kSubPixelBits), _mm256_set1_epi32(kHalfPixel));
        const __m256i py = _mm256_add_epi32(_mm256_slli_epi32(row, kSubPixelBits), _mm256_set1_epi32(kHalfPixel));
        __m256i e[3];
        for (int i = 0; i < 3; ++i) {
            e[i] = _mm256_sub_epi32(_mm256_mullo_epi32(edgeDx[i], _mm256_sub_epi32(py, fromY[i])),
                                    _mm256_mullo_epi32(edgeDy[i], _mm256_sub_epi32(px, fromX[i])));
            inside = _mm256_and_si256(inside, _mm256_cmpgt_epi32(e[i], floorValue[i]));
        }
        centres = _mm256_or_si256(centres, _mm256_and_si256(inside, _mm256_set1_epi32(1 << j)));
        if (maskBits(inside) == 0) {
            continue;
        }
        // Edge i runs from corner i to i + 1 and is opposite corner i + 2.
        const __m256 fa = _mm256_mul_ps(_mm256_cvtepi32_ps(e[1]), invArea);
        const __m256 fb = _mm256_mul_ps(_mm256_cvtepi32_ps(e[2]), invArea);
        const __m256 fc = _mm256_mul_ps(_mm256_cvtepi32_ps(e[0]), invArea);
        const __m256 depth =
            _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(fa, za), _mm256_mul_ps(fb, zb)), _mm256_mul_ps(fc, zc));
        if (colours) {
            __m256i colour = zero;
            for (int k = 0; k < 3; ++k) {
                colour = _mm256_or_si256(
                    colour, _mm256_slli_epi32(blendChannel(fa, fb, fc, colourA[k], colourB[k], colourC[k]), 8 * k));
            }
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.colour[half][j]), colour);
        } else {
            _mm256_storeu_ps(out.weight[half][j][0], fa);
            _mm256_storeu_ps(out.weight[half][j][1], fb);
            _mm256_storeu_ps(out.weight[half][j][2], fc);
        }
        const __m256i tile = _mm256_add_epi32(
            _mm256_mullo_epi32(_mm256_srai_epi32(row, kTileShift), _mm256_set1_epi32(target.tilesX)),
            _mm256_srai_epi32(column, kTileShift));
        const __m256i tileMask = _mm256_set1_epi32(kTileSize - 1);
        const __m256i entry = _mm256_or_si256(
            _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(row, tileMask), kTileShift),
                            _mm256_and_si256(column, tileMask)),
            _mm256_set1_epi32(static_cast<int32_t>(kFragmentKey)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.tile[half][j]), tile);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.entry[half][j]), entry);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.depth[half][j]), _mm256_castps_si256(depth));
    }
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

__attribute__((target("avx2"))) void classifyCells(const CellRows& rows, uint32_t c, const CellTarget& target,
                                                   CellBatch& out) {
    const bool colours = target.colours;
    Corner a, b, cc, d;
    loadCorner(a, rows.x0, rows.y0, rows.z0, rows.colour0, rows.back0, c, colours);
    loadCorner(b, rows.x0, rows.y0, rows.z0, rows.colour0, rows.back0, c + 1, colours);
    loadCorner(cc, rows.x1, rows.y1, rows.z1, rows.colour1, rows.back1, c, colours);
    loadCorner(d, rows.x1, rows.y1, rows.z1, rows.colour1, rows.back1, c + 1, colours);
    const __m256i codesA = loadCodes(rows.codes0 + c);
    const __m256i codesB = loadCodes(rows.codes0 + c + 1);
    const __m256i codesC = loadCodes(rows.codes1 + c);
    const __m256i codesD = loadCodes(rows.codes1 + c + 1);
    const Half first =
        classifyHalf(a, b, cc, _mm256_or_si256(codesA, _mm256_or_si256(codesB, codesC)), target, 0, out);
    const Half second =
        classifyHalf(b, d, cc, _mm256_or_si256(codesB, _mm256_or_si256(codesD, codesC)), target, 1, out);
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

void classifyCells(const CellRows&, uint32_t, const CellTarget&, CellBatch& out) {
    out.generic = 0xffff;
    out.covered = 0;
    out.back = 0;
}

#endif

}  // namespace q3d::raster::detail
