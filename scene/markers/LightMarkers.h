// The visible markers of the two lights, and the turn that aims a marker.
//
// A marker is an ordered display group holding its shape (a cone for the spot
// light, a sphere for the point light), a Phong illumination shader, a matrix
// transform placing it and an attribute set with its diffuse colour. It is made
// once per sequence and afterwards only recoloured and re-placed.
#pragma once

#include "platform/q3d/QD3D.h"
#include "scene/LightRecord.h"
#include "scene/math/Matrix4x3.h"
#include "scene/math/Vec3.h"

namespace vask {

// m followed by the turn that carries direction `s` onto direction `t`.
// Parallel directions leave m as it is; opposite ones append the reflection
// through the plane normal to t; a null direction gives the all-zero matrix.
Matrix4x3 rotateTo(const Matrix4x3& m, const Vec3& t, const Vec3& s);

// The spot light's beam for an azimuth and an elevation in radians:
// (cos e · sin a, sin e, cos a · cos e). (0, 0) aims along +Z.
Vec3 beamDirection(float azimuth, float elevation);

// Makes the cone marker on first use, then colours it and places its base at
// `location`, its open face along `direction`. Raises the scene library's
// error; a marker that could not be made whole is not kept.
void updateSpotMarker(LightSequenceRecord& record, const Vec3& location, const Vec3& direction,
                      const TQ3ColorRGB& color);

// Makes the sphere marker on first use, then colours it and moves it to
// `location`.
void updatePointMarker(LightSequenceRecord& record, const Vec3& location, const TQ3ColorRGB& color);

}  // namespace vask
