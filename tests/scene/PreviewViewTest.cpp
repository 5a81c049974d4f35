// The preview view: its camera arithmetic, what setup builds, how it follows
// a new rectangle, its group slots, a rendered frame landing on the canvas,
// and every failure raising the library's error without leaving the view
// stuck.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/os/Canvas.h"
#include "platform/q3d/QD3DCamera.h"
#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DTesting.h"
#include "platform/q3d/QD3DView.h"
#include "scene/builders/Builders.h"
#include "scene/builders/Constants.h"
#include "scene/builders/Shapes.h"
#include "scene/preview/PreviewView.h"
#include "shell/ErrData.h"

namespace vask {
namespace {

class PreviewViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Q3Initialize(), kQ3Success);
    Q3Testing_Reset();
    liveAtStart_ = Q3Testing_LiveObjectCount();
  }
  void TearDown() override {
    Q3Testing_Reset();
    EXPECT_EQ(Q3Exit(), kQ3Success);
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_) << "objects leaked or freed twice";
  }
  TQ3Uns32 liveAtStart_ = 0;
};

template <class F>
ErrData raisedBy(F&& f) {
  try {
    f();
  } catch (const ErrData& e) {
    return e;
  }
  ADD_FAILURE() << "no ErrData raised";
  return {};
}

constexpr os::Rect kPreview{56, 0, 100, 85};

TQ3CameraViewPort viewPortOf(TQ3CameraObject camera) {
  TQ3CameraViewPort port{};
  EXPECT_EQ(Q3Camera_GetViewPort(camera, &port), kQ3Success);
  return port;
}

// A white unit box lit by the preview's lights, for frames that must show
// something in the middle.
ObjectRef boxGroup() {
  ObjectRef group;
  makeOrderedGroup(group);
  ObjectRef illumination;
  makeIllumination(illumination);
  addToGroup(group, illumination);
  addToGroup(group,
             makeBox(Vec3{-0.5f, -0.5f, -0.5f}, kXAxis, kYAxis, kZAxis, 1, 1, 1, colors::kWhite));
  return group;
}

TEST_F(PreviewViewTest, AspectViewPortWidensTheLongerSide) {
  const TQ3CameraViewPort wide = aspectViewPort(100, 85);
  EXPECT_NEAR(wide.width, 200.0f / 85.0f, 1e-5f);  // ≈ 2.353
  EXPECT_FLOAT_EQ(wide.height, 2.0f);
  EXPECT_NEAR(wide.origin.x, -100.0f / 85.0f, 1e-5f);  // ≈ −1.176
  EXPECT_FLOAT_EQ(wide.origin.y, 1.0f);
  const TQ3CameraViewPort tall = aspectViewPort(85, 100);
  EXPECT_FLOAT_EQ(tall.width, 2.0f);
  EXPECT_NEAR(tall.height, 200.0f / 85.0f, 1e-5f);
  EXPECT_NEAR(tall.origin.y, 100.0f / 85.0f, 1e-5f);
  const TQ3CameraViewPort square = aspectViewPort(50, 50);
  EXPECT_FLOAT_EQ(square.width, 2.0f);
  EXPECT_FLOAT_EQ(square.height, 2.0f);
  // A collapsed preview still gets a usable port.
  EXPECT_GT(aspectViewPort(0, -3).width, 0.0f);
}

TEST_F(PreviewViewTest, FocalLengthSpansTheSmallerSide) {
  EXPECT_NEAR(focalLengthFor(100, 85, 45.0f * kDegreesToRadians),
              42.5 / std::tan(22.5 * M_PI / 180), 1e-3);
  EXPECT_NEAR(focalLengthFor(100, 85, 45.0f * kDegreesToRadians), 102.6, 0.05);
  EXPECT_NEAR(focalLengthFor(44, 85, 30.0f * kDegreesToRadians), 22.0 / std::tan(15 * M_PI / 180),
              1e-3);
}

TEST_F(PreviewViewTest, SetupBuildsAViewAngleCamera) {
  PreviewView preview;
  preview.setup(kPreview, PreviewCamera::ViewAngle);
  EXPECT_FALSE(preview.isOrthographic());
  EXPECT_NEAR(preview.fieldOfView(), 0.7854f, 1e-4f);
  EXPECT_NEAR(preview.focalLength(), 102.6f, 0.05f);
  EXPECT_FLOAT_EQ(preview.lookAtDistance(), 10.0f);
  EXPECT_EQ(preview.worldToCamera(), translate(identityMatrix(), Vec3{0, 0, -10}));
  EXPECT_EQ(preview.cameraToWorld(), translate(identityMatrix(), Vec3{0, 0, 10}));
  EXPECT_EQ(preview.pixelCenter(), (Vec3{106, 42.5f, 0}));
  EXPECT_EQ(preview.image().width(), 100);
  EXPECT_EQ(preview.image().height(), 85);

  EXPECT_EQ(Q3Camera_GetType(preview.camera()), kQ3CameraTypeViewAngleAspect);
  TQ3ViewAngleAspectCameraData data{};
  ASSERT_EQ(Q3ViewAngleAspectCamera_GetData(preview.camera(), &data), kQ3Success);
  EXPECT_FLOAT_EQ(data.aspectRatioXToY, 100.0f / 85.0f);
  EXPECT_EQ(data.cameraData.placement.pointOfInterest.z, -1.0f);
  EXPECT_FLOAT_EQ(data.cameraData.range.hither, 0.01f);
  EXPECT_FLOAT_EQ(data.cameraData.range.yon, 1000.0f);
  TQ3Uns32 lights = 0;
  ASSERT_EQ(Q3Group_CountObjects(preview.lightGroup(), &lights), kQ3Success);
  EXPECT_EQ(lights, 2u);
  TQ3Uns32 members = 1;
  ASSERT_EQ(Q3Group_CountObjects(preview.objectGroup(), &members), kQ3Success);
  EXPECT_EQ(members, 0u);
  EXPECT_EQ(preview.axesGroup(), nullptr);
  EXPECT_EQ(preview.lookAtGroup(), nullptr);
}

TEST_F(PreviewViewTest, SetupBuildsAnOrthographicCameraWithTheAspectPort) {
  PreviewView preview;
  preview.setup(kPreview, PreviewCamera::Orthographic);
  EXPECT_TRUE(preview.isOrthographic());
  EXPECT_EQ(Q3Camera_GetType(preview.camera()), kQ3CameraTypeOrthographic);
  const TQ3CameraViewPort port = viewPortOf(preview.camera());
  EXPECT_NEAR(port.width, 2.353f, 1e-3f);
  EXPECT_NEAR(port.origin.x, -1.176f, 1e-3f);
  // Only a view-angle camera has a field of view.
  EXPECT_EQ(raisedBy([&] { preview.setFieldOfView(0.5f); }),
            ErrData::quickDraw(kQ3ErrorInvalidObjectType));
}

TEST_F(PreviewViewTest, UnchangedRectangleTouchesNeitherImageNorCamera) {
  PreviewView preview;
  preview.setup(kPreview, PreviewCamera::Orthographic);
  const std::uint32_t* bits = preview.image().bits();
  // A port the preview would never set: it must survive.
  const TQ3CameraViewPort odd{{-3, 3}, 6, 6};
  ASSERT_EQ(Q3Camera_SetViewPort(preview.camera(), &odd), kQ3Success);
  preview.setRect(kPreview);
  EXPECT_EQ(preview.image().bits(), bits);
  EXPECT_EQ(viewPortOf(preview.camera()).width, 6.0f);

  preview.setRect({56, 0, 60, 85});
  EXPECT_EQ(preview.image().width(), 60);
  EXPECT_FLOAT_EQ(viewPortOf(preview.camera()).height, 2.0f * 85.0f / 60.0f);
  EXPECT_EQ(preview.pixelCenter(), (Vec3{86, 42.5f, 0}));
}

TEST_F(PreviewViewTest, NewRectangleUpdatesAspectAndFocalLength) {
  PreviewView preview;
  preview.setup(kPreview, PreviewCamera::ViewAngle);
  preview.setFieldOfView(30.0f * kDegreesToRadians);
  preview.setRect({56, 0, 44, 85});
  TQ3Float32 aspect = 0;
  ASSERT_EQ(Q3ViewAngleAspectCamera_GetAspectRatio(preview.camera(), &aspect), kQ3Success);
  EXPECT_FLOAT_EQ(aspect, 44.0f / 85.0f);
  EXPECT_NEAR(preview.focalLength(), focalLengthFor(44, 85, 30.0f * kDegreesToRadians), 1e-4f);
  TQ3Float32 fov = 0;
  Q3ViewAngleAspectCamera_GetFOV(preview.camera(), &fov);
  EXPECT_FLOAT_EQ(fov, 30.0f * kDegreesToRadians);
  // Refused values leave the field as it was.
  EXPECT_EQ(raisedBy([&] { preview.setFieldOfView(0.0f); }),
            ErrData::quickDraw(kQ3ErrorParameterOutOfRange));
  EXPECT_FLOAT_EQ(preview.fieldOfView(), 30.0f * kDegreesToRadians);
}

TEST_F(PreviewViewTest, CameraMatricesStayRigidInversesOfEachOther) {
  PreviewView preview;
  const Matrix4x3 orbit = translate(rotationFromAngles(0.3f, -0.2f, 0.1f), Vec3{1, 2, -6});
  preview.setWorldToCamera(orbit);
  const Vec3 p{0.25f, -1, 3};
  const Vec3 back =
      transformPoint(transformPoint(p, preview.worldToCamera()), preview.cameraToWorld());
  EXPECT_FALSE(differs(back, p)) << back;
  preview.setCameraToWorld(orbit);
  EXPECT_EQ(preview.cameraToWorld(), orbit);
  EXPECT_EQ(preview.worldToCamera(), rigidInverse(orbit));
}

TEST_F(PreviewViewTest, GroupSlotsSwapReferencesAndIgnoreNullAndRepeats) {
  PreviewView preview;
  preview.setup(kPreview, PreviewCamera::ViewAngle);
  ObjectRef axes;
  makeOrderedGroup(axes);
  preview.setAxesGroup(axes.get());
  EXPECT_EQ(preview.axesGroup(), axes.get());
  EXPECT_EQ(Q3Shared_GetReferenceCount(axes.get()), 2u);
  preview.setAxesGroup(axes.get());
  EXPECT_EQ(Q3Shared_GetReferenceCount(axes.get()), 2u);
  preview.setAxesGroup(nullptr);
  EXPECT_EQ(preview.axesGroup(), axes.get());
  ObjectRef other;
  makeOrderedGroup(other);
  preview.setAxesGroup(other.get());
  EXPECT_EQ(Q3Shared_GetReferenceCount(axes.get()), 1u);
  EXPECT_EQ(preview.axesGroup(), other.get());
}

TEST_F(PreviewViewTest, RenderedFrameLandsAtThePreviewRectangle) {
  PreviewView preview;
  preview.setup(kPreview, PreviewCamera::ViewAngle);
  preview.setWorldToCamera(translate(identityMatrix(), Vec3{0, 0, -4}));
  ObjectRef group = boxGroup();
  preview.setObjectGroup(group.get());
  os::Canvas canvas(200, 100, os::Pixel{255, 0, 0, 255});
  preview.renderTo(canvas);
  // The box faces the headlight: 0.8 + 0.2 of white.
  EXPECT_EQ(canvas.pixel(106, 42), (os::Pixel{255, 255, 255, 255}));
  // The cleared background, opaque black, fills the rest of the rectangle.
  EXPECT_EQ(canvas.pixel(57, 1), (os::Pixel{255, 0, 0, 0}));
  EXPECT_EQ(canvas.pixel(155, 84), (os::Pixel{255, 0, 0, 0}));
  // Outside it the canvas is untouched.
  EXPECT_EQ(canvas.pixel(55, 10), (os::Pixel{255, 0, 0, 255}));
  EXPECT_EQ(canvas.pixel(100, 85), (os::Pixel{255, 0, 0, 255}));
}

TEST_F(PreviewViewTest, FailingSubmitRaisesCopiesNothingAndLeavesTheViewUsable) {
  PreviewView preview;
  preview.setup(kPreview, PreviewCamera::ViewAngle);
  preview.setWorldToCamera(translate(identityMatrix(), Vec3{0, 0, -4}));
  ObjectRef group = boxGroup();
  preview.setObjectGroup(group.get());
  os::Canvas canvas(200, 100, os::Pixel{255, 0, 0, 255});
  for (const char* call :
       {"Q3Style_Submit", "Q3MatrixTransform_New", "Q3Transform_Submit", "Q3DisplayGroup_Submit",
        "Q3PixmapDrawContext_SetPixmap", "Q3View_StartRendering"}) {
    Q3Testing_FailCall(call, kQ3ErrorOutOfMemory, 0);
    EXPECT_EQ(raisedBy([&] { preview.renderTo(canvas); }), ErrData::quickDraw(kQ3ErrorOutOfMemory))
        << call;
    EXPECT_EQ(canvas.pixel(106, 42), (os::Pixel{255, 0, 0, 255})) << call;
  }
  ObjectRef lookAt;
  makeOrderedGroup(lookAt);
  preview.setLookAtGroup(lookAt.get());
  for (const char* call : {"Q3Push_Submit", "Q3Pop_Submit"}) {
    Q3Testing_FailCall(call, kQ3ErrorInternalError, 0);
    EXPECT_EQ(raisedBy([&] { preview.renderTo(canvas); }),
              ErrData::quickDraw(kQ3ErrorInternalError))
        << call;
  }
  preview.renderTo(canvas);
  EXPECT_EQ(canvas.pixel(106, 42), (os::Pixel{255, 255, 255, 255}));
}

TEST_F(PreviewViewTest, SetupFailuresRaiseAndLeaveNothingBehind) {
  for (const char* call :
       {"Q3View_New", "Q3PixmapDrawContext_New", "Q3View_SetDrawContext", "Q3LightGroup_New",
        "Q3Renderer_NewFromType", "Q3ViewAngleAspectCamera_New", "Q3View_SetCamera",
        "Q3SubdivisionStyle_New", "Q3OrderedDisplayGroup_New"}) {
    PreviewView preview;
    Q3Testing_FailCall(call, kQ3ErrorOutOfMemory, 0);
    EXPECT_EQ(raisedBy([&] { preview.setup(kPreview, PreviewCamera::ViewAngle); }),
              ErrData::quickDraw(kQ3ErrorOutOfMemory))
        << call;
  }
  // (Live objects are counted at tear-down.)
}

TEST_F(PreviewViewTest, MeasuringViewBoundsWhatIsSubmitted) {
  ObjectRef view;
  makeMeasuringView(view);
  TQ3CameraObject camera = nullptr;
  ASSERT_EQ(Q3View_GetCamera(view.get(), &camera), kQ3Success);
  EXPECT_EQ(Q3Shared_GetReferenceCount(camera), 2u);  // the view's and ours
  TQ3ViewAngleAspectCameraData data{};
  Q3ViewAngleAspectCamera_GetData(camera, &data);
  EXPECT_FLOAT_EQ(data.fov, 0.5f);
  EXPECT_FLOAT_EQ(data.cameraData.range.hither, 0.001f);
  Q3Object_Dispose(camera);

  ObjectRef box = makeBox(Vec3{-10, 0, 0}, kXAxis, kYAxis, kZAxis, 20, 5, 2, colors::kWhite);
  TQ3BoundingBox bounds{};
  ASSERT_EQ(Q3View_StartBoundingBox(view.get(), kQ3ComputeBoundsApproximate), kQ3Success);
  do {
    ASSERT_EQ(Q3Geometry_Submit(box.get(), view.get()), kQ3Success);
  } while (Q3View_EndBoundingBox(view.get(), &bounds) == kQ3ViewStatusRetraverse);
  EXPECT_EQ(bounds.isEmpty, kQ3False);
  EXPECT_EQ(bounds.min.x, -10.0f);
  EXPECT_EQ(bounds.max.y, 5.0f);
  EXPECT_EQ(bounds.max.z, 2.0f);

  Q3Testing_FailCall("Q3View_SetCamera", kQ3ErrorInternalError, 0);
  EXPECT_EQ(raisedBy([&] { makeMeasuringView(view); }), ErrData::quickDraw(kQ3ErrorInternalError));
  EXPECT_FALSE(view);
}

}  // namespace
}  // namespace vask
