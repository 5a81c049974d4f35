#include "scene/math/Ray.h"

#include <cmath>

#include "scene/math/Units.h"

namespace vask {

Ray transformRay(const Ray& ray, const Matrix4x3& m) {
  return {transformPoint(ray.origin, m), normalize(transformVector(ray.direction, m))};
}

Vec3 pointOnRay(const Ray& ray, float s) { return ray.origin + ray.direction * s; }

std::optional<Vec3> intersectRayPlane(const Ray& ray, const Plane& plane) {
  const float d = dot(plane.normal, ray.direction);
  if (!(std::fabs(d) >= kVectorTolerance)) return std::nullopt;
  const float s = -(dot(plane.normal, ray.origin) + plane.offset) / d;
  return pointOnRay(ray, s);
}

std::ostream& operator<<(std::ostream& os, const Ray& ray) {
  return os << "Ray{" << ray.origin << " -> " << ray.direction << '}';
}

std::ostream& operator<<(std::ostream& os, const Plane& plane) {
  return os << "Plane{" << plane.normal << ", " << plane.offset << '}';
}

}  // namespace vask
