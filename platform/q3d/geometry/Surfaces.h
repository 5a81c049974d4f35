// Triangles and lines for the curved geometry of model files that the
// library has no object of its own for: cylinders, disks, tori and NURB
// curves and patches, tessellated once when they are read.
//
// u runs around (0..1 a whole turn), v along; a range whose ends are equal
// or not finite means the whole 0..1, as for ellipsoids and cones
// (Tessellation.h). Normals point away from the axis or centre.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/geometry/MeshedGeometry.h"

namespace q3d {

struct SurfaceFrame {
    TQ3Vector3D orientation{0, 1, 0};
    TQ3Vector3D majorRadius{0, 0, 1};
    TQ3Vector3D minorRadius{1, 0, 0};
    TQ3Point3D origin{0, 0, 0};
    float uMin = 0, uMax = 1, vMin = 0, vMax = 1;
};

// Colours of a cylinder's parts, for caps with attribute sets of their own:
// nullptr where a part has none (it then takes `side`).
struct PartColors {
    TQ3ColorRGB side{1, 1, 1};
    const TQ3ColorRGB* top = nullptr;
    const TQ3ColorRGB* bottom = nullptr;
};

// P = origin + cos(2πu)·major + sin(2πu)·minor + v·orientation; caps close
// v = vMin (kQ3EndCapMaskBottom) and v = vMax (kQ3EndCapMaskTop). With
// `colors`, every point gets its part's colour.
void tessellateCylinder(const SurfaceFrame& f, TQ3Uns32 caps, ShapeMesh& mesh, const PartColors* colors = nullptr);
// P = origin + v·(cos(2πu)·major + sin(2πu)·minor): the centre at v = 0.
void tessellateDisk(const SurfaceFrame& f, ShapeMesh& mesh);
// A ring along the ellipse of major and minor round origin, its tube
// |orientation| high along orientation and ratio·|orientation| wide
// outwards; v runs round the tube.
void tessellateTorus(const SurfaceFrame& f, float ratio, ShapeMesh& mesh);

// A NURB curve of `order` (2..16) over `points` (homogeneous x·w, y·w,
// z·w, w) with order + points.size() knots. Returns an empty text, or what
// is wrong with the data (knots that decrease, too few points, ...).
std::string tessellateNURBCurve(TQ3Uns32 order, std::span<const float> points4, std::span<const float> knots,
                                ShapeMesh& mesh);
// A NURB patch of rows × columns points (row after row), uOrder along a
// row with uOrder + columns u knots, vOrder down the columns with
// vOrder + rows v knots.
std::string tessellateNURBPatch(TQ3Uns32 uOrder, TQ3Uns32 vOrder, TQ3Uns32 rows, TQ3Uns32 columns,
                                std::span<const float> points4, std::span<const float> uKnots,
                                std::span<const float> vKnots, ShapeMesh& mesh);

inline constexpr TQ3Uns32 kMaxNURBOrder = 16;

}  // namespace q3d
