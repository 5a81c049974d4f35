#include "manipulator/Trackball.h"

#include <cmath>

namespace vask {

void Trackball::reset() {
  start_ = end_ = {0.0f, 0.0f, 1.0f};
  frame_ = identityMatrix();
}

void Trackball::place(Vec3 centre, float radius, const Matrix4x3& frame) {
  centre_ = centre;
  radius_ = radius > 0.0f ? radius : 1.0f;
  frame_ = frame;
}

void Trackball::begin(os::Point p) { start_ = end_ = ballPoint(p); }

void Trackball::update(os::Point p) { end_ = ballPoint(p); }

Vec3 Trackball::ballPoint(os::Point p) const {
  // The window's y axis points down, the ball's up.
  float x = (static_cast<float>(p.x) - centre_.x) / radius_;
  float y = -(static_cast<float>(p.y) - centre_.y) / radius_;
  float z = 0.0f;
  const float rim = x * x + y * y;
  if (rim > 1.0f) {
    const float s = 1.0f / std::sqrt(rim);
    x *= s;
    y *= s;
  } else {
    z = std::sqrt(1.0f - rim);
  }
  return transformVector({x, y, z}, frame_);
}

Matrix4x3 Trackball::rotation() const {
  const Vec3 axis = cross(start_, end_);
  return quaternionMatrix(axis.x, axis.y, axis.z, dot(start_, end_));
}

Matrix4x3 quaternionMatrix(float x, float y, float z, float w) {
  // Rows are the images of the basis vectors: the columns of the usual
  // column-vector matrix.
  return setMatrix(1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y),  //
                   2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x),  //
                   2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y),  //
                   0, 0, 0);
}

}  // namespace vask
