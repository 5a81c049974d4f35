// The front end's fast path for triangle grids whose cells are about a
// pixel or smaller on the screen, as a relief with a vertex per pixel is.
// Internal to the renderer.
//
// Most triangles of such a grid hold no pixel centre in their box, or one,
// or at most 2 × 2. classifyCells decides for eight cells (sixteen
// triangles) at a time, in 256-bit lanes, what the scalar front end would:
// nothing to draw, the pixel centres covered, or "too much for this path"
// (clipped or larger triangles), which the scalar front end then takes. The
// decisions and the edge values are exact integers computed as the scalar
// code computes them, only in 32 bits, which the path's bounds make wide
// enough: a triangle it decides spans less than kCellExtent in x and y.
#pragma once

#include <cstdint>

namespace q3d::raster::detail {

// Two consecutive vertex rows of a grid: fixed-point screen positions,
// depths, outcodes and packed colours (front and, for two-sided lighting,
// back) by column.
struct CellRows {
    const int32_t* x0;  // vertex row r
    const int32_t* y0;
    const float* z0;
    const uint8_t* codes0;
    const uint32_t* colour0;
    const uint32_t* back0;  // null: back faces take the front colours
    const int32_t* x1;  // vertex row r + 1
    const int32_t* y1;
    const float* z1;
    const uint8_t* codes1;
    const uint32_t* colour1;
    const uint32_t* back1;
};

// Triangle k of a batch is half k & 1 of cell k >> 1, so that bit order is
// the draw order. Half 0 has the corners (r, c), (r, c+1), (r+1, c), half 1
// (r, c+1), (r+1, c+1), (r+1, c).
struct CellBatch {
    static constexpr int kCells = 8;
    uint16_t generic;  // for the scalar front end
    uint16_t covered;  // covers one or more pixel centres (the rest: nothing to draw)
    uint16_t back;     // positive screen area (drawn only when not culled)
    // Per half and cell, for covered triangles: which of the up to 2 × 2
    // pixel centres of the box they cover (bit j: j & 1 to the right of the
    // first, j >> 1 below it), and per centre the fragment's tile, its first
    // bin word (kFragmentKey and its place in the tile), depth (float bits)
    // and either its colour (0x00RRGGBB, with CellTarget::colours) or its
    // weights: the edge values opposite the corners a, B, C times 1 / area.
    // All are the very values Gouraud.h and TexturedPixel.h compute for the
    // back end's corner order and edge values.
    int32_t centres[2][kCells];
    int32_t tile[2][4][kCells];
    uint32_t entry[2][4][kCells];
    uint32_t depth[2][4][kCells];
    uint32_t colour[2][4][kCells];
    float weight[2][4][3][kCells];
};

// Bound on a decided triangle's box, in fixed-point units.
constexpr int32_t kCellExtent = 1 << 12;

// Whether classifyCells can run on this processor.
bool cellsAvailable();

// The target and what a draw asks of the path.
struct CellTarget {
    int32_t lastX;  // the last pixel column and row
    int32_t lastY;
    int32_t tilesX;  // tiles in a row (Pipeline.h)
    bool removeBack;  // back faces are culled
    bool colours;     // Gouraud colours for the fragments (the colours in CellRows are then read)
};

// Cells c … c + 7 of the cell row between `rows` (vertex columns c … c + 8
// must exist).
void classifyCells(const CellRows& rows, uint32_t c, const CellTarget& target, CellBatch& out);

}  // namespace q3d::raster::detail
