// Matrix helpers of the rasteriser and the camera's projection onto pixels.
// Internal to the renderer.
//
// "Pixel clip space" is the homogeneous space the renderer clips in: a point
// (x, y, z, w) is at pixel (x / w, y / w) of the target (y down, pixel (i, j)
// spans [i, i+1) × [j, j+1)) with depth z / w, visible when 0 <= z <= w.
#pragma once

#include "platform/q3d/QD3D.h"
#include "platform/q3d/raster/Camera.h"

#include <cstdint>

namespace q3d::raster::detail {

// Row-vector 4×4 matrix in double, so that chained products keep precision.
struct Mat4 {
    double m[4][4];
};

Mat4 identity4();
Mat4 toMat4(const TQ3Matrix4x4& matrix);
// a then b: p · a · b.
Mat4 multiply(const Mat4& a, const Mat4& b);
// False (and `out` untouched) when the matrix is singular or not finite.
bool invert(const Mat4& matrix, Mat4& out);
bool isFinite(const Mat4& matrix);

// The matrix that carries normals of a surface transformed by the upper 3×3
// of `localToWorld` (rows 0–2): its inverse transpose up to a positive
// factor (the cofactor matrix, negated when the determinant is negative,
// scaled so that its largest entry is ±1), so it exists even for singular
// matrices. Normals must be normalised after.
void normalMatrix(const Mat4& localToWorld, double out[3][3]);

// World space (through the camera's worldToView) to pixel clip space for a
// target of width × height pixels. False for an invalid camera (isValid).
bool worldToPixelClip(const Camera& camera, uint32_t width, uint32_t height, Mat4& out);

}  // namespace q3d::raster::detail
