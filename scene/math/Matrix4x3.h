// Matrix4x3: an affine matrix of twelve floats in QuickDraw 3D's row-vector
// convention.
//
// Rows 0 to 2 are the linear part L (row i is the image of the i-th basis
// vector), row 3 the translation t. A point p maps to p·L + t, a direction v to
// v·L. `multiply(A, B)` applies A first, then B. Rotations are right-handed: a
// positive angle turns counter-clockwise seen from the tip of the axis, so a
// quarter turn about +Z carries +X onto +Y.
//
// Storage is single precision; products are formed in double and stored back
// as float. Everything works on values; nothing allocates.
#pragma once

#include <ostream>

#include "platform/q3d/QD3D.h"
#include "scene/math/Vec3.h"

namespace vask {

struct Matrix4x3 {
  float m[4][3] = {};  // [row][column]; zero-filled by default
};

// Exact element-wise comparison.
bool operator==(const Matrix4x3& a, const Matrix4x3& b);

// The identity: L = I, t = 0.
constexpr Matrix4x3 identityMatrix() {
  return {{{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f}}};
}

// The matrix of the twelve values, row by row (L row 0, row 1, row 2, then t).
constexpr Matrix4x3 setMatrix(float m00, float m01, float m02, float m10, float m11, float m12,
                              float m20, float m21, float m22, float tx, float ty, float tz) {
  return {{{m00, m01, m02}, {m10, m11, m12}, {m20, m21, m22}, {tx, ty, tz}}};
}

// The matrix that applies a and then b: L = L_a·L_b, t = t_a·L_b + t_b.
Matrix4x3 multiply(const Matrix4x3& a, const Matrix4x3& b);

// m followed by a translation by v: t += v.
Matrix4x3 translate(const Matrix4x3& m, const Vec3& v);

// m followed by a non-uniform scale: every row, the translation included,
// multiplied component-wise by (s.x, s.y, s.z).
Matrix4x3 scale(const Matrix4x3& m, const Vec3& s);

// m followed by the right-handed rotation by `radians` about `axis`. The axis
// is used as given: pass a unit vector, since a longer or shorter one also
// scales and shears.
Matrix4x3 rotateAboutAxis(const Matrix4x3& m, const Vec3& axis, float radians);

// p·L + t.
Vec3 transformPoint(const Vec3& p, const Matrix4x3& m);

// v·L (no translation).
Vec3 transformVector(const Vec3& v, const Matrix4x3& m);

// L' = Lᵀ, t' = −(t·Lᵀ). Exact only when L is a rotation (the matrix is a
// rotation followed by a translation); for anything else use `inverse`.
Matrix4x3 rigidInverse(const Matrix4x3& m);

// The general affine inverse: L' = adj(L) ÷ det(L), t' = −(t·L').
// Singularity test: the six products of the determinant's expansion are summed
// into P (those ≥ 0) and N (those < 0), det = P + N. When det is 0, not a
// finite number, or |det ÷ (P − N)| < kInverseTolerance (1e-7), the matrix is
// singular and the result is the all-zero matrix, which callers can test with
// `isZero`.
Matrix4x3 inverse(const Matrix4x3& m);

// True when all twelve values are 0 (the result `inverse` gives for a singular
// matrix).
bool isZero(const Matrix4x3& m);

// The orientation of the three angle parameters, in radians: the roll about Z
// first, then the azimuth about the vertical Y axis, then the elevation about
// the horizontal axis the azimuth turned X onto. Equal to Rz(roll)·Rx(elevation)·
// Ry(azimuth) about the fixed axes. rotationFromAngles(π/2, 0, 0) carries +Z
// onto +X; an elevation of π/2 alone carries +Y onto +Z.
Matrix4x3 rotationFromAngles(float azimuth, float elevation, float roll);

// Widened to QuickDraw 3D's 4×4 matrix: the three columns copied, the fourth
// column (0, 0, 0, 1).
TQ3Matrix4x4 toQ3(const Matrix4x3& m);

// Narrowed from a QuickDraw 3D 4×4 matrix: the first three columns. The fourth
// column is dropped unread, so a projective matrix loses its projection.
Matrix4x3 fromQ3(const TQ3Matrix4x4& m);

// Prints the four rows, e.g. "[[1, 0, 0], [0, 1, 0], [0, 0, 1], [0, 0, 0]]".
std::ostream& operator<<(std::ostream& os, const Matrix4x3& m);

}  // namespace vask
