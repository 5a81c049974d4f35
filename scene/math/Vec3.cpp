#include "scene/math/Vec3.h"

#include <cmath>

#include "scene/math/Units.h"

namespace vask {

// Sums are formed in double and stored back as float: the extra precision
// keeps tiny and huge components from underflowing or overflowing the squares.
float length(const Vec3& v) {
  const double x = v.x, y = v.y, z = v.z;
  return static_cast<float>(std::sqrt(x * x + y * y + z * z));
}

Vec3 normalize(const Vec3& v) {
  const float len = length(v);
  if (!(len >= kVectorTolerance)) return v;  // also keeps NaN input as it is
  return {v.x / len, v.y / len, v.z / len};
}

Vec3 cross(const Vec3& a, const Vec3& b) {
  const double ax = a.x, ay = a.y, az = a.z, bx = b.x, by = b.y, bz = b.z;
  return {static_cast<float>(ay * bz - az * by), static_cast<float>(az * bx - ax * bz),
          static_cast<float>(ax * by - ay * bx)};
}

float dot(const Vec3& a, const Vec3& b) {
  return static_cast<float>(static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                            static_cast<double>(a.z) * b.z);
}

bool differs(const Vec3& a, const Vec3& b) {
  const auto close = [](float p, float q) { return std::fabs(p - q) < kVectorTolerance; };
  return !(close(a.x, b.x) && close(a.y, b.y) && close(a.z, b.z));
}

std::ostream& operator<<(std::ostream& os, const Vec3& v) {
  return os << '(' << v.x << ", " << v.y << ", " << v.z << ')';
}

}  // namespace vask
