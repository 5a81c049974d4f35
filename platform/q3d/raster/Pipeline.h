// Data that flows between the renderer's stages. Internal to the renderer.
//
// vertex stage → per-vertex screen positions, outcodes and shades
// front end    → per triangle: cull, clip, bin into screen tiles
// back end     → per tile: rasterise its triangles in submission order
#pragma once

#include <cstdint>

namespace q3d::raster::detail {

// Corners snap to 1/256 pixel.
constexpr int kSubPixelBits = 8;
constexpr int32_t kSubPixel = 1 << kSubPixelBits;
constexpr int32_t kHalfPixel = kSubPixel / 2;

// Triangles may reach this many pixels past each side of the target before
// they are clipped; fixed-point positions then stay below 2^23, so edge
// functions fit 64-bit integers with room to spare.
constexpr float kGuardBand = 8192.0f;

// Screen tiles of the back end, 64 × 64 pixels.
constexpr int kTileShift = 6;
constexpr int kTileSize = 1 << kTileShift;

// Vertex outcode bits: outside a clipping plane, or unusable.
enum : uint8_t {
    kOutLeft = 1,
    kOutRight = 2,
    kOutTop = 4,
    kOutBottom = 8,
    kOutNear = 16,
    kOutFar = 32,
    kOutPlanes = 63,
    kOutInvalid = 128,  // a NaN or infinite clip coordinate
};

// A vertex projected onto the target: fixed-point pixel position (valid
// when its outcode is 0), depth and 1 / w.
struct ScreenVertex {
    int32_t x;
    int32_t y;
    float z;
    float invW;
};

// Lighting of a textured vertex: the factor the texture colour is multiplied
// by, in 8.8 fixed point, and the specular colour added, 0–255.
struct LitFactors {
    uint16_t factor[3];
    uint8_t specular[3];
    uint8_t pad;
};

struct TexShade {
    float u;
    float v;
    LitFactors lit;
};

// Colours travel packed as 0xAARRGGBB with alpha 255.
inline uint32_t packColour(uint32_t r, uint32_t g, uint32_t b) {
    return 0xff000000u | (r << 16) | (g << 8) | b;
}

// Entries of the tile bins, one 32-bit word each unless said otherwise, by
// their top two bits:
//   00  a triangle key of the draw's source (below 2^30)
//   10  an index into the front end's list of clipped triangles
//   11  a fragment: the pixel's place in the tile (row × 64 + column) in
//       the low 12 bits, followed by two words, its depth (float bits) and
//       its packed colour
constexpr uint32_t kKeyLimit = 0x40000000u;
constexpr uint32_t kClippedKey = 0x80000000u;
constexpr uint32_t kFragmentKey = 0xc0000000u;
constexpr uint32_t kEntryKind = 0xc0000000u;

// A triangle made by clipping, with everything the back end needs.
struct ClippedTriangle {
    ScreenVertex v[3];
    uint32_t colour[3];
    TexShade tex[3];
};

}  // namespace q3d::raster::detail
