// The camera of the software rasteriser: where the eye is and how view space
// maps onto the target's pixels.
//
// Conventions (QuickDraw 3D's):
// - Points are row vectors multiplied on the left: p' = p · M; the fourth row
//   of a matrix is its translation.
// - View space: the eye at the origin looking down −Z, +Y up, +X right.
// - Camera plane: the picture the projection makes spans [−1, 1] on both
//   axes before the view port picks the part that fills the target.
#pragma once

#include "platform/q3d/QD3D.h"

#include <cstdint>
#include <iosfwd>

namespace q3d::raster {

enum class ProjectionKind : uint8_t {
    // Field of view and aspect ratio (QuickDraw 3D's view-angle-aspect camera).
    Perspective,
    // A box from left to right and bottom to top (QuickDraw 3D's orthographic camera).
    Orthographic,
};

// The rectangle of the camera plane that fills the whole target: `origin` is
// its top-left corner, `width` and `height` its size, in camera-plane units
// where the picture spans [−1, 1]. The default shows the picture as it is;
// a wider rectangle shows more of the scene at a smaller scale.
struct CameraViewPort {
    TQ3Point2D origin{-1.0f, 1.0f};
    float width = 2.0f;
    float height = 2.0f;
};

struct Camera {
    // World to view space (rows: X axis, Y axis, Z axis, translation).
    TQ3Matrix4x4 worldToView{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    ProjectionKind kind = ProjectionKind::Perspective;

    // Perspective: full angle in radians, in (0, π), spanning the smaller side
    // of the picture; aspectRatio = picture width ÷ height, > 0. With aspect
    // ≥ 1 the angle is vertical, otherwise horizontal.
    float fieldOfView = 0.78539816f;
    float aspectRatio = 1.0f;

    // Orthographic: the view-space box shown, left ≠ right, top ≠ bottom.
    float left = -1.0f;
    float top = 1.0f;
    float right = 1.0f;
    float bottom = -1.0f;

    // Distances in front of the eye (positive along −Z) of the near and far
    // clipping planes. Perspective needs 0 < hither < yon; orthographic needs
    // hither < yon. Depth 0 is at hither, 1 at yon.
    float hither = 0.01f;
    float yon = 1000.0f;

    CameraViewPort viewPort;
};

// True when the fields describe a camera the renderer can use: finite values
// and the ranges stated above. The renderer draws nothing through an invalid
// camera.
bool isValid(const Camera& camera);

std::ostream& operator<<(std::ostream& out, const Camera& camera);

}  // namespace q3d::raster
