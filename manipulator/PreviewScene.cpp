#include "manipulator/PreviewScene.h"

#include "scene/builders/Builders.h"
#include "scene/builders/Constants.h"
#include "scene/builders/FaceLabels.h"
#include "scene/builders/Shapes.h"
#include "scene/markers/LightMarkers.h"
#include "scene/math/Units.h"

namespace vask {
namespace {

constexpr float kAxisLength = 0.75f;
constexpr float kLookAtRadius = 0.05f;

ObjectRef newGroup(const ObjectRef& illumination) {
  ObjectRef group;
  makeOrderedGroup(group);
  addToGroup(group, illumination);
  return group;
}

ObjectRef makeMarker(PanelKind kind) {
  switch (kind) {
    case PanelKind::SpotLight:
      // The axis runs 0.45 along +Z; the base has radius 0.2.
      return makeCone(kOrigin, {0.0f, 0.0f, 0.45f}, {0.0f, -0.2f, 0.0f}, {0.2f, 0.0f, 0.0f},
                      colors::kYellow);
    case PanelKind::PointLight:
      return makeEllipsoid(kOrigin, kXAxis, kYAxis, kZAxis, 0.2f, 0.2f, 0.2f, colors::kYellow);
    case PanelKind::FileObject:
    case PanelKind::MeshObject:
      break;
  }
  return makeBox({-0.5f, -0.5f, -0.5f}, kXAxis, kYAxis, kZAxis, 1.0f, 1.0f, 1.0f, colors::kWhite);
}

}  // namespace

void resetPreviewCamera(PreviewView& view) {
  view.setWorldToCamera(translate(identityMatrix(), {0.0f, 0.0f, -kPreviewCameraDistance}));
  view.setFieldOfView(kPreviewFieldOfView);
  view.setLookAtDistance(kPreviewCameraDistance);
}

void buildPreviewScene(PanelKind kind, PreviewView& view, os::Rect previewRect, ObjectRef& gizmo) {
  view.setup(previewRect, PreviewCamera::ViewAngle);
  resetPreviewCamera(view);

  ObjectRef illumination;
  makeIllumination(illumination);

  ObjectRef axes = newGroup(illumination);
  addToGroup(axes, makeLine(kOrigin, kXAxis * kAxisLength, colors::kCyan));
  addToGroup(axes, makeLine(kOrigin, kYAxis * kAxisLength, colors::kYellow));
  addToGroup(axes, makeLine(kOrigin, kZAxis * kAxisLength, colors::kMagenta));
  view.setAxesGroup(axes.get());

  if (toolSet(kind).showsLookAt) {
    ObjectRef lookAt = newGroup(illumination);
    addToGroup(lookAt, makeEllipsoid(kOrigin, kXAxis, kYAxis, kZAxis, kLookAtRadius, kLookAtRadius,
                                     kLookAtRadius, colors::kRed));
    view.setLookAtGroup(lookAt.get());
  }

  ObjectRef object = newGroup(illumination);
  addToGroup(object, makeMarker(kind));
  if (kind == PanelKind::FileObject || kind == PanelKind::MeshObject) {
    addToGroup(object, makeFaceLabels(colors::kBlack));
  }
  // The group keeps its members ordered by kind, so the transform placing
  // the marker acts on it though it comes last.
  makeIdentityTransform(gizmo);
  addToGroup(object, gizmo);
  view.setObjectGroup(object.get());
}

Matrix4x3 gizmoMatrix(PanelKind kind, const PlacementValues& v) {
  const Vec3 position{fixedToFloat(v.xTranslation), fixedToFloat(v.yTranslation),
                      fixedToFloat(v.zTranslation)};
  switch (kind) {
    case PanelKind::SpotLight: {
      const Vec3 beam = beamDirection(fixedDegreesToRadians(v.leftRight), fixedDegreesToRadians(v.upDown));
      return translate(rotateTo(identityMatrix(), beam, {0.0f, 0.0f, -1.0f}), position);
    }
    case PanelKind::PointLight:
      return translate(identityMatrix(), position);
    case PanelKind::FileObject:
    case PanelKind::MeshObject:
      break;
  }
  return placementMatrix(v);
}

}  // namespace vask
