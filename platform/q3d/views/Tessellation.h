// Triangles for the geometry that the rasteriser does not take as it is:
// boxes, ellipsoids and cones, in their local coordinates, with exact
// surface normals, surface UVs and a diffuse colour per vertex.
//
// Parameterisation (u around, v along, both 0..1):
//  - ellipsoid: P = origin + sin(πv)·(cos(2πu)·major + sin(2πu)·minor)
//    − cos(πv)·orientation, from the pole at −orientation (v = 0) to the
//    one at +orientation (v = 1);
//  - cone: P = origin + (1 − v)·(cos(2πu)·major + sin(2πu)·minor)
//    + v·orientation, from the base (v = 0) to the apex (v = 1).
// The u and v ranges of the records select a part: a range whose two ends
// are equal, or not finite, means the whole 0..1; otherwise it is cut to
// 0..1, and a range that is then empty gives no triangles. Caps close the
// cut edges as the end-cap mask asks: Bottom the v = min edge (a cone's
// base), Top the v = max edge, Interior the two u cuts (walls to the axis).
//
// Triangles run counter-clockwise seen from outside, whatever the
// handedness of the record's three vectors, and every normal points out.
// Singular vectors (a flat ellipsoid) still give triangles; their normals
// may then be zero, which lights them by the ambient light alone.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/q3d/QD3DGeometry.h"

namespace q3d::views {

struct Mesh {
    std::vector<TQ3Point3D> points;
    std::vector<TQ3Vector3D> normals;  // one per point
    std::vector<TQ3Param2D> uvs;       // one per point
    std::vector<TQ3ColorRGB> colors;   // one per point
    std::vector<uint32_t> indices;     // three per triangle

    // Empties the arrays, keeping their memory for the next shape.
    void clear();
};

// Steps around (u) and along (v) a whole surface; a part gets its share,
// at least one step each way.
struct Steps {
    uint32_t around = 20;
    uint32_t along = 20;
};

inline constexpr uint32_t kMaxSteps = 256;

// Colours by part. Box: one per face in the record's face order. Ellipsoid:
// surface, then caps and interior walls. Cone: side, base (bottom cap),
// then top cap and interior walls.
void tessellateBox(const TQ3BoxData& box, const TQ3ColorRGB faceColors[6], Mesh& mesh);
void tessellateEllipsoid(const TQ3EllipsoidData& ellipsoid, Steps steps, const TQ3ColorRGB& surfaceColor,
                         const TQ3ColorRGB& capColor, Mesh& mesh);
void tessellateCone(const TQ3ConeData& cone, Steps steps, const TQ3ColorRGB& sideColor, const TQ3ColorRGB& baseColor,
                    const TQ3ColorRGB& capColor, Mesh& mesh);

// A u or v range as the tessellation reads it (above).
struct ParamRange {
    double lo = 0;
    double hi = 1;
    bool empty() const { return !(hi - lo > 1e-6); }
    bool whole() const { return lo <= 0 && hi >= 1; }
};
ParamRange paramRange(float a, float b);

}  // namespace q3d::views
