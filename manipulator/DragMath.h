// The arithmetic of the manipulator's drags: rays through preview pixels,
// the preview camera's orbit, dolly and pan, and the parameter steps of the
// rotate, roll and scale tools. Pure functions of their arguments.
//
// Pixels are window pixels (y down); the camera-to-world matrix is a
// rotation followed by a translation; parameter values are 16.16 fixed
// point, degrees for angles.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/os/Canvas.h"
#include "scene/math/Matrix4x3.h"
#include "scene/math/Ray.h"
#include "scene/math/Vec3.h"

namespace vask {

// World units the dolly moves the camera per pixel of vertical drag.
inline constexpr float kDollyPerPixel = 0.01f;
// Scale factor change per pixel of vertical drag.
inline constexpr double kScalePerPixel = 0.01;
// "Up/Down" stays within ±90 degrees.
inline constexpr double kUpDownLimit = 90.0;

// The ray from the camera through pixel `p`: direction (px − cx, −(py − cy),
// −focal) in camera space, both carried into the world and the direction
// normalised.
Ray rayThroughPixel(const Matrix4x3& cameraToWorld, const Vec3& pixelCenter, float focalLength,
                    os::Point p);

// The plane through `point` facing the camera: normal the camera's Z axis in
// world space.
Plane planeFacingCamera(const Matrix4x3& cameraToWorld, const Vec3& point);

// (0, 0, −distance) in camera space, carried into the world.
Vec3 lookAtPoint(const Matrix4x3& cameraToWorld, float lookAtDistance);

// Where the drag from pixel `from` to pixel `to` moves a point held in
// `plane`: (ray through `to` ∩ plane) − (ray through `from` ∩ plane), or
// nothing when either ray runs parallel to the plane.
std::optional<Vec3> planeDrag(const Matrix4x3& cameraToWorld, const Vec3& pixelCenter,
                              float focalLength, const Plane& plane, os::Point from, os::Point to);

// The orbit: the camera saved at the press turned about `lookAt` by the
// inverse of the ball's rotation V, so the scene seems to turn with the
// mouse. Returns the new camera-to-world matrix.
Matrix4x3 orbitCamera(const Matrix4x3& savedWorldToCamera, const Vec3& lookAt,
                      const Matrix4x3& ballRotation);

// The camera moved by `distance` along its own +Z axis (backwards).
Matrix4x3 dollyCamera(const Matrix4x3& cameraToWorld, float distance);

// A 16.16 value from a number of units, truncated toward zero; values beyond
// what 16.16 holds stop at its ends instead of wrapping.
int32_t toFixed(double units);

// One step of the rotate (or aim) tool from pixel `from` to `to`: one
// degree per pixel, right raises "Left/Right" (never clamped or wrapped),
// down raises "Up/Down" (held within ±90).
struct AngleValues {
  int32_t leftRight;
  int32_t upDown;
};
AngleValues rotateStep(AngleValues now, os::Point from, os::Point to);

// One step of the rotate tool with Shift: the angle the pointer turned
// about `centre` from `from` to `to`, added to `roll` (a clockwise turn on
// screen lowers it). No change when either point is the centre or the two
// directions agree.
int32_t rollStep(int32_t roll, os::Point centre, os::Point from, os::Point to);

// One step of the scale tool: the value times 1 + 0.01 × (to.y − from.y).
int32_t scaleStep(int32_t value, os::Point from, os::Point to);

}  // namespace vask
