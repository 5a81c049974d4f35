// Vec3: three floats, used for points and for directions.
//
// All operations are plain value functions on the stack; none allocates.
#pragma once

#include <ostream>

#include "platform/q3d/QD3D.h"

namespace vask {

struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// Exact component-wise comparison; use `differs` for a tolerant one.
constexpr bool operator==(const Vec3& a, const Vec3& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

constexpr Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr Vec3 operator*(const Vec3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }
constexpr Vec3 operator*(float s, const Vec3& v) { return v * s; }

// √(x² + y² + z²).
float length(const Vec3& v);

// v ÷ length(v). A vector shorter than kVectorTolerance (1e-6) has no usable
// direction and is returned unchanged, so the result is unit length only when
// the input was not (nearly) null.
Vec3 normalize(const Vec3& v);

// (−x, −y, −z).
constexpr Vec3 negate(const Vec3& v) { return {-v.x, -v.y, -v.z}; }

// The right-handed cross product a × b.
Vec3 cross(const Vec3& a, const Vec3& b);

// a · b.
float dot(const Vec3& a, const Vec3& b);

// False when every component of a and b differs by less than kVectorTolerance
// (1e-6), true otherwise (NaN components always differ).
bool differs(const Vec3& a, const Vec3& b);

// The same three floats as QuickDraw 3D's point and vector records.
constexpr TQ3Point3D toQ3Point(const Vec3& v) { return {v.x, v.y, v.z}; }
constexpr TQ3Vector3D toQ3Vector(const Vec3& v) { return {v.x, v.y, v.z}; }
constexpr Vec3 fromQ3(const TQ3Point3D& p) { return {p.x, p.y, p.z}; }
constexpr Vec3 fromQ3(const TQ3Vector3D& v) { return {v.x, v.y, v.z}; }

std::ostream& operator<<(std::ostream& os, const Vec3& v);

}  // namespace vask
