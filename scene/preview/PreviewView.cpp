#include "scene/preview/PreviewView.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/q3d/QD3DDrawContext.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DRenderer.h"
#include "platform/q3d/QD3DStyle.h"
#include "platform/q3d/QD3DTransform.h"
#include "platform/q3d/QD3DView.h"
#include "scene/Q3Check.h"
#include "scene/lights/LightGroups.h"

namespace vask {
namespace {

constexpr float kHither = 0.01f;
constexpr float kYon = 1000.0f;
constexpr float kSubdivisionSteps = 20.0f;

// Aspect ratio of a preview; a collapsed side counts as one pixel so that
// the camera always gets a usable ratio.
float aspectOf(const os::Rect& r) {
  return static_cast<float>(std::max(r.width, 1)) / static_cast<float>(std::max(r.height, 1));
}

// The identity translated by (0, 0, z), for QuickDraw 3D.
TQ3Matrix4x4 translationZ(float z) {
  return toQ3(translate(identityMatrix(), Vec3{0.0f, 0.0f, z}));
}

// Takes a new reference to `group` into `slot` unless it is null or already
// there; the old reference goes only once the new one is had.
void shareInto(ObjectRef& slot, TQ3GroupObject group) {
  if (group == nullptr || group == slot.get()) return;
  ObjectRef fresh(q3Check(Q3Shared_GetReference(group)));
  slot = std::move(fresh);
}

}  // namespace

TQ3CameraViewPort aspectViewPort(int width, int height) {
  const float w = static_cast<float>(std::max(width, 1));
  const float h = static_cast<float>(std::max(height, 1));
  TQ3CameraViewPort port{};
  if (w > h) {
    port.width = 2.0f * w / h;
    port.height = 2.0f;
  } else {
    port.width = 2.0f;
    port.height = 2.0f * h / w;
  }
  port.origin = {port.width * -0.5f, port.height * 0.5f};
  return port;
}

float focalLengthFor(int width, int height, float fieldOfView) {
  return static_cast<float>(std::min(width, height)) * 0.5f / std::tan(fieldOfView * 0.5f);
}

PreviewView::PreviewView() { pixmap_.pixelSize = 32; }

PreviewView::~PreviewView() {
  image_.release();
  // The object references go with their slots.
}

void PreviewView::storeRect(os::Rect rect) {
  pixelRect_ = rect;
  pixelCenter_ = {static_cast<float>(rect.x) + static_cast<float>(rect.width) * 0.5f,
                  static_cast<float>(rect.y) + static_cast<float>(rect.height) * 0.5f, 0.0f};
}

void PreviewView::setup(os::Rect rect, PreviewCamera cameraKind) {
  storeRect(rect);
  lookAtDistance_ = kSetupLookAtDistance;

  view_.reset(q3Check(Q3View_New()));

  image_.ensureSize({0, 0, rect.width, rect.height});
  image_.fillPixmap(pixmap_);

  TQ3PixmapDrawContextData context{};
  context.drawContextData.clearImageMethod = kQ3ClearMethodWithColor;
  context.drawContextData.clearImageColor = {1.0f, 0.0f, 0.0f, 0.0f};
  context.drawContextData.paneState = kQ3False;
  context.drawContextData.maskState = kQ3False;
  context.drawContextData.doubleBufferState = kQ3False;
  context.pixmap = pixmap_;
  drawContext_.reset(q3Check(Q3PixmapDrawContext_New(&context)));
  q3Check(Q3View_SetDrawContext(view_.get(), drawContext_.get()));

  makePreviewLightGroup(lightGroup_);
  q3Check(Q3View_SetLightGroup(view_.get(), lightGroup_.get()));

  renderer_.reset(q3Check(Q3Renderer_NewFromType(kQ3RendererTypeInteractive)));
  q3Check(Q3View_SetRenderer(view_.get(), renderer_.get()));

  camera_.reset();
  if (cameraKind == PreviewCamera::Orthographic) {
    isOrthographic_ = true;
    TQ3OrthographicCameraData data{};
    data.cameraData.placement = {{0.0f, 0.0f, 10.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}};
    data.cameraData.range = {kHither, kYon};
    data.cameraData.viewPort = aspectViewPort(rect.width, rect.height);
    data.left = -1.0f;
    data.top = 1.0f;
    data.right = 1.0f;
    data.bottom = -1.0f;
    camera_.reset(q3Check(Q3OrthographicCamera_New(&data)));
  } else {
    isOrthographic_ = false;
    fieldOfView_ = kSetupFieldOfView;
    focalLength_ = focalLengthFor(rect.width, rect.height, fieldOfView_);
    TQ3ViewAngleAspectCameraData data{};
    data.cameraData.placement = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, -1.0f}, {0.0f, 1.0f, 0.0f}};
    data.cameraData.range = {kHither, kYon};
    data.cameraData.viewPort = {{-1.0f, 1.0f}, 2.0f, 2.0f};
    data.fov = fieldOfView_;
    data.aspectRatioXToY = aspectOf(rect);
    camera_.reset(q3Check(Q3ViewAngleAspectCamera_New(&data)));
  }
  q3Check(Q3View_SetCamera(view_.get(), camera_.get()));

  fillStyle_.reset(q3Check(Q3FillStyle_New(kQ3FillStyleFilled)));
  interpolationStyle_.reset(q3Check(Q3InterpolationStyle_New(kQ3InterpolationStyleVertex)));
  backfacingStyle_.reset(q3Check(Q3BackfacingStyle_New(kQ3BackfacingStyleRemove)));
  const TQ3SubdivisionStyleData subdivision{kQ3SubdivisionMethodConstant, kSubdivisionSteps,
                                            kSubdivisionSteps};
  subdivisionStyle_.reset(q3Check(Q3SubdivisionStyle_New(&subdivision)));

  objectGroup_.reset(q3Check(Q3OrderedDisplayGroup_New()));

  setWorldToCamera(translate(identityMatrix(), Vec3{0.0f, 0.0f, -lookAtDistance_}));
}

void PreviewView::setRect(os::Rect rect) {
  if (rect == pixelRect_) return;
  storeRect(rect);
  if (!camera_) return;
  image_.ensureSize({0, 0, rect.width, rect.height});
  if (isOrthographic_) {
    const TQ3CameraViewPort port = aspectViewPort(rect.width, rect.height);
    q3Check(Q3Camera_SetViewPort(camera_.get(), &port));
  } else {
    q3Check(Q3ViewAngleAspectCamera_SetAspectRatio(camera_.get(), aspectOf(rect)));
    focalLength_ = focalLengthFor(rect.width, rect.height, fieldOfView_);
  }
}

void PreviewView::setFieldOfView(float radians) {
  q3Check(Q3ViewAngleAspectCamera_SetFOV(camera_.get(), radians));
  fieldOfView_ = radians;
  focalLength_ = focalLengthFor(pixelRect_.width, pixelRect_.height, fieldOfView_);
}

void PreviewView::setWorldToCamera(const Matrix4x3& worldToCamera) {
  worldToCamera_ = worldToCamera;
  cameraToWorld_ = rigidInverse(worldToCamera);
}

void PreviewView::setCameraToWorld(const Matrix4x3& cameraToWorld) {
  cameraToWorld_ = cameraToWorld;
  worldToCamera_ = rigidInverse(cameraToWorld);
}

void PreviewView::setObjectGroup(TQ3GroupObject group) { shareInto(objectGroup_, group); }
void PreviewView::setAxesGroup(TQ3GroupObject group) { shareInto(axesGroup_, group); }
void PreviewView::setLookAtGroup(TQ3GroupObject group) { shareInto(lookAtGroup_, group); }

void PreviewView::refreshPixmap() {
  image_.fillPixmap(pixmap_);
  q3Check(Q3PixmapDrawContext_SetPixmap(drawContext_.get(), &pixmap_));
}

void PreviewView::submitPass() {
  TQ3ViewObject view = view_.get();
  q3Check(Q3Style_Submit(interpolationStyle_.get(), view));
  q3Check(Q3Style_Submit(fillStyle_.get(), view));
  q3Check(Q3Style_Submit(backfacingStyle_.get(), view));
  q3Check(Q3Style_Submit(subdivisionStyle_.get(), view));

  if (lookAtGroup_) {
    // Camera space: the marker stays in front of the eye whatever the orbit.
    const TQ3Matrix4x4 lookAt = translationZ(-lookAtDistance_);
    const ObjectRef transform(q3Check(Q3MatrixTransform_New(&lookAt)));
    q3Check(Q3Push_Submit(view));
    q3Check(Q3Transform_Submit(transform.get(), view));
    q3Check(Q3DisplayGroup_Submit(lookAtGroup_.get(), view));
    q3Check(Q3Pop_Submit(view));
  }

  const TQ3Matrix4x4 orbit = toQ3(worldToCamera_);
  const ObjectRef transform(q3Check(Q3MatrixTransform_New(&orbit)));
  q3Check(Q3Transform_Submit(transform.get(), view));
  q3Check(Q3DisplayGroup_Submit(objectGroup_.get(), view));
  if (axesGroup_) q3Check(Q3DisplayGroup_Submit(axesGroup_.get(), view));
}

void PreviewView::renderTo(os::Canvas& canvas) {
  refreshPixmap();
  TQ3ViewObject view = view_.get();
  // Checked, unlike a pass's end: a start that fails would otherwise show
  // only as "view not started" at the first submit, hiding its cause.
  q3Check(Q3View_StartRendering(view));
  try {
    do {
      submitPass();
    } while (Q3View_EndRendering(view) == kQ3ViewStatusRetraverse);
  } catch (...) {
    // A pass left running would refuse every later start: the preview
    // would stay dark for the rest of the session.
    Q3View_Cancel(view);
    throw;
  }
  image_.drawTo(canvas, {0, 0, image_.width(), image_.height()}, {pixelRect_.x, pixelRect_.y});
}

void makeMeasuringView(ObjectRef& slot) {
  slot.reset();
  ObjectRef view(q3Check(Q3View_New()));
  TQ3ViewAngleAspectCameraData data{};
  data.cameraData.placement = {{0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}};
  data.cameraData.range = {0.001f, 1000.0f};
  data.cameraData.viewPort = {{-1.0f, 1.0f}, 2.0f, 2.0f};
  data.fov = 0.5f;
  data.aspectRatioXToY = 1.0f;
  // The view keeps its own reference; this one goes at the end of the call.
  const ObjectRef camera(q3Check(Q3ViewAngleAspectCamera_New(&data)));
  q3Check(Q3View_SetCamera(view.get(), camera.get()));
  slot = std::move(view);
}

}  // namespace vask
