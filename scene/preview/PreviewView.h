// PreviewView: the small live QuickDraw 3D preview inside each plug-in's
// Manipulator control — one view with its camera, fixed lights (a headlight
// and an ambient light), the interactive renderer, four styles and a pixmap
// draw context over an offscreen image, and the scene groups it shows.
//
// The camera itself never moves: orbiting the preview changes
// `worldToCamera`, a transform submitted in front of the object and axes
// groups. The look-at group is drawn in camera space instead, a fixed
// `lookAtDistance` in front of the eye, so it marks the point the orbit
// turns about.
//
// Lifecycle: constructed empty with the manipulator, `setup` once, then
// `setRect` and `renderTo` at every draw of the control, destroyed with it.
// Every object is made once by `setup` and reused; a frame makes only the
// matrix transforms it submits. Used on the host's UI thread only.
//
// Failures: every QuickDraw 3D creation, setter and submit that fails
// raises ErrData (QuickDraw kind) with the library's error (scene/Q3Check.h).
// What was made before a failure stays in its field and is released by the
// destructor.
#pragma once

#include <cstdint>

#include "platform/os/Canvas.h"
#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DCamera.h"
#include "scene/builders/ObjectRef.h"
#include "scene/image/OffscreenImage.h"
#include "scene/math/Matrix4x3.h"
#include "scene/math/Units.h"
#include "scene/math/Vec3.h"

namespace vask {

// Which camera `setup` gives the preview.
enum class PreviewCamera : std::uint8_t {
  ViewAngle = 0,     // perspective, 45 degrees until setFieldOfView
  Orthographic = 1,  // parallel, the box −1..1 seen through the aspect view port
};

// The orthographic camera's view port for a preview `width` × `height`
// pixels: the longer side sees more of the scene, so the picture is never
// stretched. w > h: width 2w ÷ h, height 2; otherwise width 2, height 2h ÷ w;
// origin (width × −0.5, height × 0.5). Sizes of 0 or less count as 1.
TQ3CameraViewPort aspectViewPort(int width, int height);

// Pixels spanned by one unit at unit distance in front of the view-angle
// camera: (smaller of width and height × 0.5) ÷ tan(fieldOfView × 0.5).
float focalLengthFor(int width, int height, float fieldOfView);

class PreviewView {
 public:
  // Look-at distance after setup.
  static constexpr float kSetupLookAtDistance = 10.0f;
  // Field of view of the view-angle camera after setup: 45 degrees.
  static constexpr float kSetupFieldOfView = 45.0f * kDegreesToRadians;

  // Everything empty: no objects, an empty image, identity matrices.
  PreviewView();
  // Releases the image, then every object reference.
  ~PreviewView();
  PreviewView(const PreviewView&) = delete;
  PreviewView& operator=(const PreviewView&) = delete;

  // Builds the view for a preview at `rect` (window pixels) with `camera`:
  // the view, the pixmap draw context over an image of the rectangle's size
  // (cleared to opaque black), the light group with the headlight (0.8,
  // along −Z) and the ambient light (0.2), the interactive renderer, the
  // camera (below), the styles (filled, vertex interpolation, back faces
  // removed, constant 20 × 20 subdivision) and an empty ordered object
  // group; world-to-camera becomes the identity translated by (0, 0, −10)
  // and the look-at distance 10. A second call replaces everything.
  //  - ViewAngle: eye at the origin looking down −Z, up +Y, hither 0.01, yon
  //    1000, view port (−1, 1) 2 × 2, field of view 45 degrees, aspect ratio
  //    width ÷ height; focalLength from them.
  //  - Orthographic: eye at (0, 0, 10) looking at the origin, up +Y, hither
  //    0.01, yon 1000, box −1..1 both ways, the aspect view port.
  void setup(os::Rect rect, PreviewCamera camera);

  // Follows a change of the preview's place or size. Nothing happens for an
  // unchanged rectangle. Otherwise the rectangle and its centre are stored,
  // the image is re-created when its size differs, and the camera follows:
  // the aspect view port (orthographic), or the aspect ratio and the focal
  // length (view angle). Before setup only the rectangle is stored.
  void setRect(os::Rect rect);

  // [set up, view-angle camera] The field of view in radians, 0 < fov < π;
  // recomputes the focal length. Raises for an orthographic camera (the
  // library refuses it) and for a value out of range; the field is then
  // unchanged.
  void setFieldOfView(float radians);

  void setLookAtDistance(float distance) { lookAtDistance_ = distance; }

  // Stores the matrix and its rigid inverse (the matrix must be a rotation
  // followed by a translation).
  void setWorldToCamera(const Matrix4x3& worldToCamera);
  void setCameraToWorld(const Matrix4x3& cameraToWorld);

  // Take a new reference to `group` and release the old one. Nothing
  // happens when `group` is null or already the one held. [set up] for the
  // object group only in the sense that setup replaces it with an empty one.
  void setObjectGroup(TQ3GroupObject group);
  void setAxesGroup(TQ3GroupObject group);
  void setLookAtGroup(TQ3GroupObject group);

  // [set up] Renders a frame into the image (one pass per traversal the view
  // asks for) and copies it to `canvas` at pixelRect(). A failure during a
  // pass abandons the pass (the view is left ready for the next frame),
  // copies nothing and raises.
  void renderTo(os::Canvas& canvas);

  bool isOrthographic() const { return isOrthographic_; }
  const Matrix4x3& worldToCamera() const { return worldToCamera_; }
  const Matrix4x3& cameraToWorld() const { return cameraToWorld_; }
  float fieldOfView() const { return fieldOfView_; }
  // Pixels; 0 until a view-angle camera is set up.
  float focalLength() const { return focalLength_; }
  const os::Rect& pixelRect() const { return pixelRect_; }
  // (x + width × 0.5, y + height × 0.5, 0) of pixelRect().
  const Vec3& pixelCenter() const { return pixelCenter_; }
  float lookAtDistance() const { return lookAtDistance_; }

  // The held references (null when not made), still owned by the view.
  TQ3ViewObject view() const { return view_.get(); }
  TQ3CameraObject camera() const { return camera_.get(); }
  TQ3DrawContextObject drawContext() const { return drawContext_.get(); }
  TQ3GroupObject lightGroup() const { return lightGroup_.get(); }
  TQ3RendererObject renderer() const { return renderer_.get(); }
  TQ3GroupObject objectGroup() const { return objectGroup_.get(); }
  TQ3GroupObject axesGroup() const { return axesGroup_.get(); }
  TQ3GroupObject lookAtGroup() const { return lookAtGroup_.get(); }
  const OffscreenImage& image() const { return image_; }

 private:
  void storeRect(os::Rect rect);
  // Hands the image's current pixels to the draw context.
  void refreshPixmap();
  // The submits of one traversal.
  void submitPass();

  bool isOrthographic_ = false;
  Matrix4x3 worldToCamera_ = identityMatrix();
  Matrix4x3 cameraToWorld_ = identityMatrix();
  float fieldOfView_ = 0.0f;
  float focalLength_ = 0.0f;
  os::Rect pixelRect_;
  Vec3 pixelCenter_;
  float lookAtDistance_ = 0.0f;
  ObjectRef view_;
  ObjectRef drawContext_;
  TQ3Pixmap pixmap_{};
  ObjectRef lightGroup_;
  ObjectRef camera_;
  ObjectRef renderer_;
  ObjectRef objectGroup_;
  ObjectRef axesGroup_;
  ObjectRef lookAtGroup_;
  ObjectRef backfacingStyle_;
  ObjectRef interpolationStyle_;
  ObjectRef fillStyle_;
  ObjectRef subdivisionStyle_;
  OffscreenImage image_;
};

// The measuring view for bounding boxes, stored in `slot` (what it held is
// released first): a view with no draw context, renderer or lights and a
// view-angle camera at (0, 0, 1) looking at the origin, up +Y, hither
// 0.001, yon 1000, view port (−1, 1) 2 × 2, field of view 0.5 radians,
// aspect ratio 1. Raises the QuickDraw 3D error on failure, the slot then
// empty.
void makeMeasuringView(ObjectRef& slot);

}  // namespace vask
