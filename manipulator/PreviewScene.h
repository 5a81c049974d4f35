// The preview's scene: what each plug-in's manipulator shows and how the
// parameters place it.
#pragma once

#include "manipulator/ToolSet.h"
#include "platform/os/Canvas.h"
#include "scene/builders/ObjectRef.h"
#include "scene/math/Matrix4x3.h"
#include "scene/math/Placement.h"
#include "scene/preview/PreviewView.h"

namespace vask {

// The preview camera at creation and after the reset-camera action: at
// (0, 0, 4) looking down −Z at the origin, 30 degrees wide.
inline constexpr float kPreviewCameraDistance = 4.0f;
inline constexpr float kPreviewFieldOfView = 30.0f * kDegreesToRadians;

// Puts the preview camera back to where it starts.
void resetPreviewCamera(PreviewView& view);

// Sets `view` up at `previewRect` with a view-angle camera in its starting
// place, and gives it its scene: the axes (cyan X, yellow Y, magenta Z, 0.75
// long), the red look-at sphere (object plug-ins), and the object group
// holding the marker placed by the gizmo transform, which is made into
// `gizmo`: the white unit box with black face labels (object plug-ins), a
// yellow cone whose apex lies 0.45 along +Z (Spot Light) or a yellow sphere
// of radius 0.2 (Point Light). Raises the scene library's error.
void buildPreviewScene(PanelKind kind, PreviewView& view, os::Rect previewRect, ObjectRef& gizmo);

// Where the marker goes for the current parameters (all 16.16): the object
// scaled, turned and moved as the scene places the object; the cone aimed
// so its apex points away from the beam, at the light; the sphere at the
// light. Uses the values of the plug-in's placement parameters only.
Matrix4x3 gizmoMatrix(PanelKind kind, const PlacementValues& values);

}  // namespace vask
