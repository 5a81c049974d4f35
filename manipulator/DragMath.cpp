#include "manipulator/DragMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "scene/math/Units.h"

namespace vask {
namespace {

constexpr double kRadiansToDegrees = 57.29578;

Vec3 unitFrom(os::Point centre, os::Point p) {
  return normalize(Vec3{static_cast<float>(p.x - centre.x), static_cast<float>(p.y - centre.y), 0.0f});
}

}  // namespace

Ray rayThroughPixel(const Matrix4x3& cameraToWorld, const Vec3& pixelCenter, float focalLength,
                    os::Point p) {
  const Vec3 direction{static_cast<float>(p.x) - pixelCenter.x,
                       -(static_cast<float>(p.y) - pixelCenter.y), -focalLength};
  return transformRay(Ray{{0.0f, 0.0f, 0.0f}, direction}, cameraToWorld);
}

Plane planeFacingCamera(const Matrix4x3& cameraToWorld, const Vec3& point) {
  const Vec3 n = normalize(transformVector({0.0f, 0.0f, 1.0f}, cameraToWorld));
  return {n, -dot(n, point)};
}

Vec3 lookAtPoint(const Matrix4x3& cameraToWorld, float lookAtDistance) {
  return transformPoint({0.0f, 0.0f, -lookAtDistance}, cameraToWorld);
}

std::optional<Vec3> planeDrag(const Matrix4x3& cameraToWorld, const Vec3& pixelCenter,
                              float focalLength, const Plane& plane, os::Point from, os::Point to) {
  const auto a = intersectRayPlane(rayThroughPixel(cameraToWorld, pixelCenter, focalLength, to), plane);
  const auto b = intersectRayPlane(rayThroughPixel(cameraToWorld, pixelCenter, focalLength, from), plane);
  if (!a || !b) return std::nullopt;
  return *a - *b;
}

Matrix4x3 orbitCamera(const Matrix4x3& savedWorldToCamera, const Vec3& lookAt,
                      const Matrix4x3& ballRotation) {
  Matrix4x3 k = translate(rigidInverse(savedWorldToCamera), negate(lookAt));
  k = multiply(k, rigidInverse(ballRotation));
  return translate(k, lookAt);
}

Matrix4x3 dollyCamera(const Matrix4x3& cameraToWorld, float distance) {
  const Vec3 back = transformVector({0.0f, 0.0f, 1.0f}, cameraToWorld);
  return translate(cameraToWorld, back * distance);
}

int32_t toFixed(double units) {
  const double v = std::trunc(units * 65536.0);
  if (!(v > std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (v >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

AngleValues rotateStep(AngleValues now, os::Point from, os::Point to) {
  const double dx = from.x - to.x;
  const double dy = from.y - to.y;
  const double upDown = std::clamp(now.upDown / 65536.0 - dy, -kUpDownLimit, kUpDownLimit);
  return {toFixed(now.leftRight / 65536.0 - dx), toFixed(upDown)};
}

int32_t rollStep(int32_t roll, os::Point centre, os::Point from, os::Point to) {
  if (to == centre || from == centre) return roll;
  const Vec3 u = unitFrom(centre, to);
  const Vec3 w = unitFrom(centre, from);
  if (!differs(u, w)) return roll;
  double angle = std::acos(std::clamp(static_cast<double>(dot(u, w)), -1.0, 1.0)) * kRadiansToDegrees;
  if (cross(u, w).z < 0.0f) angle = -angle;
  return toFixed(roll / 65536.0 + angle);
}

int32_t scaleStep(int32_t value, os::Point from, os::Point to) {
  const double factor = 1.0 + kScalePerPixel * (to.y - from.y);
  return toFixed(value * factor / 65536.0);
}

}  // namespace vask
