// The back end's pixel loops: triangles, lines and points into a target with
// a depth buffer, under the rules stated in Renderer.h. Internal to the
// renderer.
#pragma once

#include "platform/q3d/raster/Pipeline.h"
#include "platform/q3d/raster/TextureSampler.h"

#include <cstddef>
#include <cstdint>

namespace q3d::raster::detail {

struct RasterTarget {
    uint8_t* pixels = nullptr;
    size_t rowBytes = 0;
    float* depth = nullptr;  // width × height floats, row after row
    int32_t width = 0;
    int32_t height = 0;
    bool swapBytes = false;  // pixel words are stored byte-swapped
};

// Pixel columns [x0, x1) and rows [y0, y1), inside the target.
struct TileRect {
    int32_t x0;
    int32_t y0;
    int32_t x1;
    int32_t y1;
};

// A textured triangle, corners in any winding, positions in fixed point
// (Pipeline.h) no further than the guard band from the target.
struct TriangleSetup {
    int32_t x[3];
    int32_t y[3];
    float z[3];
    // The factor the texture colour is multiplied by, per channel.
    float colour[3][3];
    // Specular colour added, 0–255; texture coordinates; 1/w.
    float specular[3][3];
    float u[3];
    float v[3];
    float invW[3];
};

// Draws the pixels of a textured triangle inside `tile`.
void rasterTexturedTriangle(const RasterTarget& target, const TileRect& tile, const TriangleSetup& triangle,
                            const TextureSampler& texture);

// Draws the pixels of an untextured triangle inside `tile`: corners in any
// winding (valid fixed-point positions, Pipeline.h) with packed colours
// (0xAARRGGBB) interpolated across it.
void rasterGouraud(const RasterTarget& target, const TileRect& tile, const ScreenVertex& a, const ScreenVertex& b,
                   const ScreenVertex& c, uint32_t colourA, uint32_t colourB, uint32_t colourC);

// A line end or a point in pixel coordinates, with depth and colour 0–255.
struct LinePoint {
    float x;
    float y;
    float z;
    float rgb[3];
};

void rasterLine(const RasterTarget& target, const LinePoint& a, const LinePoint& b);
void rasterPoint(const RasterTarget& target, const LinePoint& point);

// Writes a fragment of the front end: depth `z` and packed colour at pixel
// (x, y) when z passes the depth test.
void rasterFragment(const RasterTarget& target, int32_t x, int32_t y, float z, uint32_t colour);

// Fills rows [y0, y1) with `word` (a stored pixel word) unless `word` is
// null, and their depth with 1.
void clearRows(const RasterTarget& target, int32_t y0, int32_t y1, const uint32_t* word);

}  // namespace q3d::raster::detail
