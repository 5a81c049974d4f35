// The vertex normals of the relief mesh: a plane through three neighbours at
// the edges and corners of the grid, Newell's plane through the four
// neighbours inside it, every normal turned to face up (+Y).
//
// Everything is single precision and inline: these run once per vertex of a
// grid with a vertex per pixel.
//
// Degenerate neighbours. A normal counts as undefined (the zero vector) when
// its neighbours are (nearly) collinear: when the unnormalised normal is
// shorter than kVectorTolerance (1e-6) times the product of the two edge (or
// diagonal) lengths it is made from, i.e. when the sine of their angle is
// below 1e-6. The test is relative on purpose: the edges of a grid one
// pixel apart shrink with the layer, and an absolute 1e-6 on their cross
// product would call every border normal of a flat 1920 × 1080 layer
// degenerate.
#pragma once

#include <cmath>

#include "scene/math/Units.h"
#include "scene/math/Vec3.h"

namespace vask::gridnormals {

inline Vec3 crossOf(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline float squaredLength(const Vec3& v) { return v.x * v.x + v.y * v.y + v.z * v.z; }

// n made unit length, or the zero vector when n is shorter than
// kVectorTolerance × `scale` (`scale` = the product of the lengths of the
// two vectors n was made from).
// Written without branches; the vector code of HeightGrid.cpp repeats these
// operations in this order, so keep the two in step.
inline Vec3 unitOrZero(const Vec3& n, float squaredScale) {
  const float squared = squaredLength(n);
  const bool usable = squared >= kVectorTolerance * kVectorTolerance * squaredScale && squared > 0.0f;
  const float inverse = 1.0f / std::sqrt(squared);
  return n * (usable ? inverse : 0.0f);
}

// The unit normal of the plane through p0, p1, p2: (p1 − p0) × (p2 − p0),
// counter-clockwise seen from the side it points to. Zero when the three are
// (nearly) collinear.
inline Vec3 planeFromThree(const Vec3& p0, const Vec3& p1, const Vec3& p2) {
  const Vec3 a = p1 - p0;
  const Vec3 b = p2 - p0;
  return unitOrZero(crossOf(a, b), squaredLength(a) * squaredLength(b));
}

// The unit normal of Newell's plane through the quadrilateral p1 p2 p3 p4:
// nx = Σ (yi − yj)(zi + zj), ny = Σ (zi − zj)(xi + xj),
// nz = Σ (xi − xj)(yi + yj) over the edges 1→2, 2→3, 3→4, 4→1. For four
// points that sum is exactly the cross product of the diagonals,
// (p3 − p1) × (p4 − p2), which is how it is computed here. Zero when the
// diagonals are (nearly) parallel.
inline Vec3 newellPlane(const Vec3& p1, const Vec3& p2, const Vec3& p3, const Vec3& p4) {
  const Vec3 d1 = p3 - p1;
  const Vec3 d2 = p4 - p2;
  return unitOrZero(crossOf(d1, d2), squaredLength(d1) * squaredLength(d2));
}

// n when it points up or sideways (n · (0, 1, 0) ≥ 0), else −n.
inline Vec3 faceUp(const Vec3& n) {
  const float sign = n.y < 0.0f ? -1.0f : 1.0f;
  return n * sign;
}

}  // namespace vask::gridnormals
