// Placement of an object from its nine placement parameters.
//
// Both object effects and the controls panel's preview box build their
// transform here, so that what the preview shows and what the scene gets
// agree to the last bit.
#pragma once

#include <cstdint>
#include <ostream>

#include "scene/math/Matrix4x3.h"
#include "scene/math/Vec3.h"

namespace vask {

// The nine parameter values as the host hands them over, all 16.16 fixed point.
struct PlacementValues {
  int32_t leftRight = 0;  // azimuth, degrees: turn about the vertical Y axis
  int32_t upDown = 0;     // elevation, degrees: raise toward +Y
  int32_t roll = 0;       // degrees: roll about Z (the "Vask" parameter)
  int32_t xTranslation = 0;
  int32_t yTranslation = 0;
  int32_t zTranslation = 0;
  int32_t xScale = 0x10000;  // 1.0
  int32_t yScale = 0x10000;
  int32_t zScale = 0x10000;
};

// Scale, then rotate, then translate: a point p goes to ((p·S)·R) + T, with
// S = diag(scales), R = rotationFromAngles of the three angles (degrees turned
// into radians by ÷ 65536 × kDegreesToRadians) and T the translation.
Matrix4x3 placementMatrix(const PlacementValues& values);

// The imported model's placement: first the model's own normalisation (its
// measured centre moved to the origin, then scaled by `modelScale` so that its
// largest extent is one unit), then `placementMatrix` of the parameters. A
// point p goes to (((p − centre)·modelScale)·S)·R + T.
Matrix4x3 modelPlacementMatrix(const PlacementValues& values, const Vec3& centre, float modelScale);

std::ostream& operator<<(std::ostream& os, const PlacementValues& values);

}  // namespace vask
