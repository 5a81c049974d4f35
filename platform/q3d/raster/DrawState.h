// What one draw call of the software rasteriser takes besides its indices:
// the caller's vertex arrays and the state that applies to them.
#pragma once

#include "platform/q3d/QD3D.h"
#include "platform/q3d/raster/Lights.h"

#include <cstdint>

namespace q3d::raster {

// Values as QuickDraw 3D's TQ3BackfacingStyle. A triangle is front-facing
// when its corners run counter-clockwise as the eye sees them.
enum class Backfacing : uint8_t {
    Both = 0,    // back faces drawn, lit with their own normals
    Remove = 1,  // back faces not drawn
    Flip = 2,    // back faces drawn, lit with their normals reversed
};

// Values as QuickDraw 3D's TQ3FillStyle. Edges and points are lit like the
// filled triangles but never textured, and follow the backfacing style.
enum class Fill : uint8_t {
    Filled = 0,
    Edges = 1,   // each triangle's three edges as one-pixel lines
    Points = 2,  // each triangle's corners as single pixels
};

// Values as QuickDraw 3D's TQ3ShaderUVBoundary.
enum class UVBoundary : uint8_t { Wrap = 0, Clamp = 1 };

// A texture: a 32-bit pixmap (kQ3PixelTypeRGB32 or ARGB32, either byte order,
// rowBytes >= width × 4, width and height >= 1) read through bilinear
// filtering. (u, v) = (0, 0) is the bottom-left corner of the image (its last
// row), (1, 1) the top-right; texel (i, j) (column, row from the top) has its
// centre at ((i + 0.5) / width, 1 − (j + 0.5) / height). Wrap repeats the
// image; Clamp extends its border texels. Alpha is ignored. The texture's
// colour replaces the diffuse colour. A pixmap that breaks these rules is
// ignored and the draw is untextured.
struct Texture {
    TQ3Pixmap pixmap{};
    UVBoundary boundaryU = UVBoundary::Wrap;
    UVBoundary boundaryV = UVBoundary::Wrap;
};

// The caller's per-vertex arrays, borrowed for the length of one draw call.
// `points` holds `count` positions in local coordinates; each optional array
// is null or has `count` entries. Normals need not be unit length (they are
// transformed and normalised); without them each triangle is lit once, at
// its centre with its face normal, and lines and points are not lit.
struct VertexArrays {
    const TQ3Point3D* points = nullptr;
    uint32_t count = 0;
    const TQ3Vector3D* normals = nullptr;
    const TQ3Param2D* uvs = nullptr;      // needed for a texture
    const TQ3ColorRGB* colors = nullptr;  // per-vertex diffuse colours, replace Material::diffuseColor
};

struct DrawState {
    // Local to world (row vectors). Normals go through its inverse transpose.
    TQ3Matrix4x4 localToWorld{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    Material material;
    Backfacing backfacing = Backfacing::Remove;
    Fill fill = Fill::Filled;
    // Borrowed for the draw call; null for none.
    const Texture* texture = nullptr;
};

}  // namespace q3d::raster
