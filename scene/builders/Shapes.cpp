#include "scene/builders/Shapes.h"

#include "platform/q3d/QD3DGeometry.h"
#include "scene/Q3Check.h"
#include "scene/builders/Builders.h"

namespace vask {
namespace {

ObjectRef colorSet(const TQ3ColorARGB& color) {
  ObjectRef set;
  makeAttributeSet(set);
  addDiffuseColor(set, color);
  return set;
}

}  // namespace

ObjectRef makeBox(const Vec3& origin, const Vec3& u, const Vec3& v, const Vec3& w, float su,
                  float sv, float sw, const TQ3ColorARGB& color) {
  const ObjectRef attributes = colorSet(color);
  TQ3BoxData data{};
  data.origin = toQ3Point(origin);
  data.orientation = toQ3Vector(v * sv);
  data.majorAxis = toQ3Vector(w * sw);
  data.minorAxis = toQ3Vector(u * su);
  data.faceAttributeSet = nullptr;
  data.boxAttributeSet = attributes.get();
  return ObjectRef(q3Check(Q3Box_New(&data)));
}

ObjectRef makeEllipsoid(const Vec3& centre, const Vec3& u, const Vec3& v, const Vec3& w, float su,
                        float sv, float sw, const TQ3ColorARGB& color) {
  const ObjectRef attributes = colorSet(color);
  TQ3EllipsoidData data{};
  data.origin = toQ3Point(centre);
  data.orientation = toQ3Vector(v * sv);
  data.majorRadius = toQ3Vector(w * sw);
  data.minorRadius = toQ3Vector(u * su);
  data.uMin = 0.0f;
  data.uMax = 1.0f;
  data.vMin = 0.0f;
  data.vMax = 1.0f;
  data.caps = kQ3EndCapMaskTop | kQ3EndCapMaskBottom;
  data.interiorAttributeSet = nullptr;
  data.ellipsoidAttributeSet = attributes.get();
  return ObjectRef(q3Check(Q3Ellipsoid_New(&data)));
}

ObjectRef makeCone(const Vec3& origin, const Vec3& axis, const Vec3& majorRadius,
                   const Vec3& minorRadius, const TQ3ColorARGB& color) {
  const ObjectRef attributes = colorSet(color);
  TQ3ConeData data{};
  data.origin = toQ3Point(origin);
  data.orientation = toQ3Vector(axis);
  data.majorRadius = toQ3Vector(majorRadius);
  data.minorRadius = toQ3Vector(minorRadius);
  data.uMin = 0.0f;
  data.uMax = 1.0f;
  data.vMin = 0.0f;
  data.vMax = 1.0f;
  data.caps = kQ3EndCapMaskTop | kQ3EndCapMaskBottom;
  data.coneAttributeSet = attributes.get();
  return ObjectRef(q3Check(Q3Cone_New(&data)));
}

ObjectRef makeLine(const Vec3& start, const Vec3& end, const TQ3ColorARGB& color) {
  const ObjectRef attributes = colorSet(color);
  TQ3LineData data{};
  data.vertices[0].point = toQ3Point(start);
  data.vertices[0].attributeSet = nullptr;
  data.vertices[1].point = toQ3Point(end);
  data.vertices[1].attributeSet = nullptr;
  data.lineAttributeSet = attributes.get();
  return ObjectRef(q3Check(Q3Line_New(&data)));
}

}  // namespace vask
