// Clipping in pixel clip space (Projection.h) against the near and far
// planes and the guard band around the target. Internal to the renderer.
#pragma once

#include <cstdint>

namespace q3d::raster::detail {

constexpr int kClipAttributes = 8;
// A triangle clipped by six planes has at most nine corners.
constexpr int kMaxClipVertices = 16;

// A position (x, y, z, w) and attributes interpolated linearly in clip
// space, which is perspective-correct.
struct ClipVertex {
    float c[4];
    float a[kClipAttributes];
};

// Signed distance of `v` to clipping plane `plane` (0 left, 1 right, 2 top,
// 3 bottom, 4 near, 5 far; the bit order of the outcodes), negative outside.
// guard: the guard band's x min, x max, y min, y max in pixels.
float planeDistance(const float c[4], int plane, const float guard[4]);

// Clips the convex polygon poly[0..count) against every plane whose outcode
// bit is set in `planes` and returns the new corner count (0 when nothing
// is left). count <= 3 on entry; poly and scratch hold kMaxClipVertices.
// A new corner on an edge is always computed from the edge's inside end, so
// two triangles sharing a clipped edge get the same corner.
int clipPolygon(ClipVertex* poly, int count, uint8_t planes, const float guard[4], int attributeCount,
                ClipVertex* scratch);

// Clips the segment a–b in place; false when nothing is left.
bool clipSegment(ClipVertex& a, ClipVertex& b, uint8_t planes, const float guard[4], int attributeCount);

}  // namespace q3d::raster::detail
