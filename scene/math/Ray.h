// Rays and planes for picking and dragging in the preview.
#pragma once

#include <optional>
#include <ostream>

#include "scene/math/Matrix4x3.h"
#include "scene/math/Vec3.h"

namespace vask {

// An origin point and a direction, meant to be unit length (the operations
// below that make rays keep it so; s in `pointOnRay` is then a distance).
struct Ray {
  Vec3 origin;
  Vec3 direction;
};

// The points p with normal · p + offset = 0.
struct Plane {
  Vec3 normal;
  float offset = 0.0f;
};

// The origin by transformPoint, the direction by transformVector and then
// normalize (a direction that the matrix collapses stays as transformed).
Ray transformRay(const Ray& ray, const Matrix4x3& m);

// origin + s·direction.
Vec3 pointOnRay(const Ray& ray, float s);

// The point where the ray's line meets the plane, or nothing when the ray runs
// parallel to it (|normal · direction| < kVectorTolerance, or not a finite
// number). Hits behind the origin (negative s) count too: the caller asks
// for the line's crossing, not only for what lies ahead.
std::optional<Vec3> intersectRayPlane(const Ray& ray, const Plane& plane);

std::ostream& operator<<(std::ostream& os, const Ray& ray);
std::ostream& operator<<(std::ostream& os, const Plane& plane);

}  // namespace vask
