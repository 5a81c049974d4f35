// Trackball: the virtual trackball of the orbit tool (an arc ball without
// axis constraints).
//
// The ball sits on the preview: a pixel maps to a point of the unit sphere
// seen from the front (pixels outside the ball's circle to its rim), turned
// into world axes by the rotation of the frame captured when the ball was
// placed. The rotation from the press point a to the current point b is the
// quaternion (a × b, a · b): a turn about a × b by twice the angle between
// them, so dragging across the whole ball turns a full half turn.
#pragma once

#include "platform/os/Canvas.h"
#include "scene/math/Matrix4x3.h"
#include "scene/math/Vec3.h"

namespace vask {

class Trackball {
 public:
  // Back to no rotation.
  void reset();
  // Centre in window pixels, radius in pixels (> 0), and the frame whose
  // rotation part turns ball coordinates into world axes.
  void place(Vec3 centre, float radius, const Matrix4x3& frame);
  // The press: the ball point of `p` becomes the start and the end.
  void begin(os::Point p);
  // The pointer moved: the ball point of `p` becomes the end.
  void update(os::Point p);

  // The point of the ball under pixel `p`, in world axes (unit length).
  Vec3 ballPoint(os::Point p) const;
  // The rotation from start to end in the row-vector convention: p · V
  // turns p. The identity before a drag.
  Matrix4x3 rotation() const;

 private:
  Vec3 centre_;
  float radius_ = 1.0f;
  Matrix4x3 frame_ = identityMatrix();
  Vec3 start_{0.0f, 0.0f, 1.0f};
  Vec3 end_{0.0f, 0.0f, 1.0f};
};

// The matrix of the unit quaternion (x, y, z, w) in the row-vector
// convention.
Matrix4x3 quaternionMatrix(float x, float y, float z, float w);

}  // namespace vask
