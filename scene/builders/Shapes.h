// Coloured shapes for markers and the preview: boxes, ellipsoids, cones and lines.
//
// Each returns its shape in a fresh slot owned by the caller; the shape holds
// its own reference to an attribute set carrying the colour's red, green and
// blue as diffuse colour. A failure raises ErrData (QuickDraw kind) and
// releases everything made so far.
#pragma once

#include "platform/q3d/QD3D.h"
#include "scene/builders/ObjectRef.h"
#include "scene/math/Vec3.h"

namespace vask {

// The box with a corner at `origin` and edges u·su, v·sv and w·sw from it
// (QuickDraw 3D's minor axis, orientation and major axis). Axes X, Y, Z with
// unit scales from (−0.5, −0.5, −0.5) give the unit box centred on the origin.
ObjectRef makeBox(const Vec3& origin, const Vec3& u, const Vec3& v, const Vec3& w, float su,
                  float sv, float sw, const TQ3ColorARGB& color);

// The closed ellipsoid centred on `centre` with semi-axes u·su, v·sv and
// w·sw (minor radius, orientation and major radius), both caps on.
ObjectRef makeEllipsoid(const Vec3& centre, const Vec3& u, const Vec3& v, const Vec3& w, float su,
                        float sv, float sw, const TQ3ColorARGB& color);

// The closed cone whose base ellipse, centred on `origin`, is spanned by
// `majorRadius` and `minorRadius`, with its apex at origin + `axis`; both
// caps on.
ObjectRef makeCone(const Vec3& origin, const Vec3& axis, const Vec3& majorRadius,
                   const Vec3& minorRadius, const TQ3ColorARGB& color);

// The line from `start` to `end`.
ObjectRef makeLine(const Vec3& start, const Vec3& end, const TQ3ColorARGB& color);

}  // namespace vask
