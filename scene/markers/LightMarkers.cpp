#include "scene/markers/LightMarkers.h"

#include <cmath>

#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DSet.h"
#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/QD3DTransform.h"
#include "scene/Q3Check.h"
#include "scene/builders/ObjectRef.h"
#include "scene/math/Units.h"

namespace vask {
namespace {

bool isNull(const Vec3& v) {
  return std::fabs(v.x) < kVectorTolerance && std::fabs(v.y) < kVectorTolerance &&
         std::fabs(v.z) < kVectorTolerance;
}

void addTo(TQ3GroupObject group, TQ3Object member) {
  if (!Q3Group_AddObject(group, member)) raiseQ3Error();
}

// Builds the marker group around `shape` and installs it in the record only
// once every part exists: a half-made marker would otherwise fail every later
// frame when it is recoloured.
void makeMarker(LightSequenceRecord& r, ObjectRef shape) {
  ObjectRef group(q3Check(Q3OrderedDisplayGroup_New()));
  addTo(group.get(), shape.get());
  ObjectRef shader(q3Check(Q3PhongIllumination_New()));
  addTo(group.get(), shader.get());
  TQ3Matrix4x4 identity;
  Q3Matrix4x4_SetIdentity(&identity);
  ObjectRef transform(q3Check(Q3MatrixTransform_New(&identity)));
  addTo(group.get(), transform.get());
  ObjectRef attributes(q3Check(Q3AttributeSet_New()));
  addTo(group.get(), attributes.get());
  r.markerGroup = group.release();
  r.markerTransform = transform.release();
  r.markerAttributes = attributes.release();
}

void placeMarker(LightSequenceRecord& r, const Matrix4x3& m, const TQ3ColorRGB& color) {
  q3Check(Q3AttributeSet_Add(r.markerAttributes, kQ3AttributeTypeDiffuseColor, &color));
  const TQ3Matrix4x4 placement = toQ3(m);
  q3Check(Q3MatrixTransform_Set(r.markerTransform, &placement));
}

}  // namespace

Matrix4x3 rotateTo(const Matrix4x3& m, const Vec3& t, const Vec3& s) {
  Vec3 c = cross(s, t);
  const float l = length(c);
  if (l > kVectorTolerance) c = c * (1.0f / l);
  if (l >= kVectorTolerance) {
    // The angle between the directions. asin(|s × t|) (with π − asin for
    // obtuse pairs) is the textbook form, but near a right angle it loses
    // most of its precision, and rounding can even put |s × t| of unit
    // vectors above 1, outside asin's domain. atan2 of the sine and cosine
    // gives the same angle everywhere, to full precision.
    const double theta = std::atan2(static_cast<double>(l), static_cast<double>(dot(s, t)));
    return rotateAboutAxis(m, c, static_cast<float>(theta));
  }
  if (isNull(s) || isNull(t)) return Matrix4x3{};
  if (dot(s, t) >= 0.0f) return m;
  const Vec3 n = t * (1.0f / length(t));
  const Matrix4x3 reflection =
      setMatrix(1 - 2 * n.x * n.x, -2 * n.x * n.y, -2 * n.x * n.z,   //
                -2 * n.y * n.x, 1 - 2 * n.y * n.y, -2 * n.y * n.z,   //
                -2 * n.z * n.x, -2 * n.z * n.y, 1 - 2 * n.z * n.z,  //
                0, 0, 0);
  return multiply(m, reflection);
}

Vec3 beamDirection(float azimuth, float elevation) {
  return {std::cos(elevation) * std::sin(azimuth), std::sin(elevation),
          std::cos(azimuth) * std::cos(elevation)};
}

void updateSpotMarker(LightSequenceRecord& r, const Vec3& location, const Vec3& direction,
                      const TQ3ColorRGB& color) {
  if (!r.markerGroup) {
    // Base circle of radius 0.1 at the origin, apex 0.15 behind it on −Z.
    TQ3ConeData cone{};
    cone.origin = {0, 0, 0};
    cone.orientation = {0, 0, -0.15f};
    cone.majorRadius = {0, 0.1f, 0};
    cone.minorRadius = {0.1f, 0, 0};
    cone.uMin = 0, cone.uMax = 1, cone.vMin = 0, cone.vMax = 1;
    cone.caps = kQ3EndCapMaskTop | kQ3EndCapMaskBottom;
    makeMarker(r, ObjectRef(q3Check(Q3Cone_New(&cone))));
  }
  Matrix4x3 m = rotateTo(identityMatrix(), direction, Vec3{0, 0, 1});
  m = translate(m, location);
  placeMarker(r, m, color);
}

void updatePointMarker(LightSequenceRecord& r, const Vec3& location, const TQ3ColorRGB& color) {
  if (!r.markerGroup) {
    TQ3EllipsoidData sphere{};
    sphere.origin = {0, 0, 0};
    sphere.orientation = {0, 0.1f, 0};
    sphere.majorRadius = {0, 0, 0.1f};
    sphere.minorRadius = {0.1f, 0, 0};
    sphere.uMin = 0, sphere.uMax = 1, sphere.vMin = 0, sphere.vMax = 1;
    sphere.caps = kQ3EndCapMaskTop | kQ3EndCapMaskBottom;
    makeMarker(r, ObjectRef(q3Check(Q3Ellipsoid_New(&sphere))));
  }
  placeMarker(r, translate(identityMatrix(), location), color);
}

}  // namespace vask
