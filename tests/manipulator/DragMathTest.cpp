// The manipulator's drag arithmetic against closed forms: the orbit as a
// turn of the camera about the look-at point, the dolly's units per pixel,
// the pan through the plane at the look-at distance, the trackball's
// quaternion, and the parameter steps of the rotate, roll and scale tools.
#include <gtest/gtest.h>

#include <cmath>

#include "manipulator/DragMath.h"
#include "manipulator/PreviewScene.h"
#include "manipulator/Trackball.h"
#include "scene/markers/LightMarkers.h"

namespace vask {
namespace {

constexpr float kPi = 3.14159265f;
constexpr float kTol = 1e-4f;

void expectNear(const Vec3& got, const Vec3& want, float tol = kTol) {
  EXPECT_NEAR(got.x, want.x, tol) << "got " << got << ", want " << want;
  EXPECT_NEAR(got.y, want.y, tol) << "got " << got << ", want " << want;
  EXPECT_NEAR(got.z, want.z, tol) << "got " << got << ", want " << want;
}

void expectNear(const Matrix4x3& got, const Matrix4x3& want, float tol = kTol) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(got.m[r][c], want.m[r][c], tol) << "[" << r << "][" << c << "]\n got " << got
                                                  << "\nwant " << want;
}

int32_t deg(double d) { return static_cast<int32_t>(d * 65536); }

// A camera at (1, 2, 5) looking down −Z: its look-at point 4 ahead is (1, 2, 1).
const Matrix4x3 kCameraToWorld = translate(identityMatrix(), {1, 2, 5});
const Vec3 kCentre{100, 50, 0};  // the preview's centre, window pixels
constexpr float kFocal = 80;

TEST(DragMath, OrbitTurnsTheCameraAboutTheLookAtPointAgainstTheBall) {
  const Vec3 lookAt = lookAtPoint(kCameraToWorld, 4);
  expectNear(lookAt, {1, 2, 1});
  const float angle = 0.7f;
  const Vec3 axis = normalize({0.3f, 1, 0.2f});
  const Matrix4x3 ball = rotateAboutAxis(identityMatrix(), axis, angle);
  const Matrix4x3 got = orbitCamera(rigidInverse(kCameraToWorld), lookAt, ball);

  // The same camera turned by −angle about the axis through the look-at point.
  Matrix4x3 want = translate(kCameraToWorld, negate(lookAt));
  want = translate(rotateAboutAxis(want, axis, -angle), lookAt);
  expectNear(got, want);
  expectNear(lookAtPoint(got, 4), lookAt);
  // No drag, no turn.
  expectNear(orbitCamera(rigidInverse(kCameraToWorld), lookAt, identityMatrix()), kCameraToWorld);
}

TEST(DragMath, TrackballTurnsTwiceTheAngleBetweenItsPoints) {
  Trackball ball;
  ball.place(kCentre, 40, identityMatrix());
  expectNear(ball.ballPoint({100, 50}), {0, 0, 1});
  // Above the ball (window y down) and beyond its rim.
  expectNear(ball.ballPoint({100, 30}), {0, 0.5f, std::sqrt(0.75f)});
  expectNear(ball.ballPoint({300, 50}), {1, 0, 0});

  ball.begin({100, 50});
  expectNear(ball.rotation(), identityMatrix());
  // From the centre a quarter of the way around the sphere to the right:
  // a quarter turn of the points is a half turn about +Y.
  ball.update({140, 50});
  expectNear(ball.rotation(), rotateAboutAxis(identityMatrix(), {0, 1, 0}, kPi));
  // A small drag turns by twice the angle between the ball points.
  ball.update({110, 50});
  const float between = std::asin(10.0f / 40);
  expectNear(ball.rotation(), rotateAboutAxis(identityMatrix(), {0, 1, 0}, 2 * between));

  // The ball's axes are the frame's: a camera turned about Z turns them.
  const Matrix4x3 frame = rotateAboutAxis(identityMatrix(), {0, 0, 1}, kPi / 2);
  ball.place(kCentre, 40, frame);
  expectNear(ball.ballPoint({300, 50}), {0, 1, 0});
}

TEST(DragMath, DollyMovesPerPixelAlongTheViewAxisAndKeepsTheLookAtPoint) {
  const Matrix4x3 turned = translate(rotateAboutAxis(identityMatrix(), {0, 1, 0}, 0.5f), {1, 2, 5});
  const float delta = 25 * kDollyPerPixel;  // 25 pixels down
  const Matrix4x3 moved = dollyCamera(turned, delta);
  const Vec3 back = transformVector({0, 0, 1}, turned);
  expectNear(transformPoint({0, 0, 0}, moved), transformPoint({0, 0, 0}, turned) + back * 0.25f);
  expectNear(lookAtPoint(moved, 4 + delta), lookAtPoint(turned, 4));
}

TEST(DragMath, PanAndMoveFollowThePointerThroughThePlane) {
  const Vec3 lookAt = lookAtPoint(kCameraToWorld, 4);
  const Plane plane = planeFacingCamera(kCameraToWorld, lookAt);
  expectNear(plane.normal, {0, 0, 1});
  // A pixel at the look-at distance spans distance ÷ focal units.
  const auto moved = planeDrag(kCameraToWorld, kCentre, kFocal, plane, {100, 50}, {120, 40});
  ASSERT_TRUE(moved.has_value());
  expectNear(*moved, {20 * 4 / kFocal, 10 * 4 / kFocal, 0});
  // Measured from the press: back at the start, nothing moved.
  expectNear(*planeDrag(kCameraToWorld, kCentre, kFocal, plane, {130, 70}, {130, 70}), {0, 0, 0});
  // A plane the rays run along gives no meeting point.
  const Plane edgeOn{{1, 0, 0}, -1};
  EXPECT_FALSE(planeDrag(kCameraToWorld, kCentre, kFocal, edgeOn, {100, 50}, {100, 60}));
}

TEST(DragMath, RotateStepIsOneDegreePerPixelWithUpDownHeld) {
  const AngleValues start{deg(10), deg(20)};
  const AngleValues next = rotateStep(start, {50, 50}, {80, 60});
  EXPECT_EQ(next.leftRight, deg(40));
  EXPECT_EQ(next.upDown, deg(30));
  EXPECT_EQ(rotateStep(start, {50, 50}, {50, 500}).upDown, deg(90));
  EXPECT_EQ(rotateStep(start, {50, 500}, {50, 0}).upDown, deg(-90));
  // "Left/Right" goes on past a full turn.
  EXPECT_EQ(rotateStep({deg(350), 0}, {0, 0}, {40, 0}).leftRight, deg(390));
  // Truncation toward zero, and no wrap at the ends of 16.16.
  EXPECT_EQ(toFixed(-1.0 / 65536 * 0.5), 0);
  EXPECT_EQ(toFixed(1e9), INT32_MAX);
  EXPECT_EQ(toFixed(-1e9), INT32_MIN);
}

TEST(DragMath, RollFollowsThePointerAroundTheCentre) {
  const os::Point c{50, 50};
  // Window y points down: right → down is a clockwise quarter turn.
  EXPECT_EQ(rollStep(deg(5), c, {80, 50}, {50, 80}), deg(5) - deg(90));
  EXPECT_EQ(rollStep(deg(5), c, {50, 80}, {80, 50}), deg(5) + deg(90));
  EXPECT_EQ(rollStep(deg(5), c, c, {80, 50}), deg(5));
  EXPECT_EQ(rollStep(deg(5), c, {80, 50}, c), deg(5));
  EXPECT_EQ(rollStep(deg(5), c, {80, 50}, {90, 50}), deg(5)) << "same direction";
}

TEST(DragMath, ScaleStepsAreRelativeSoTheyDoNotUndoEachOther) {
  const int32_t one = 65536;
  const int32_t down = scaleStep(one, {0, 10}, {0, 20});
  EXPECT_EQ(down, 72089);  // 1.1
  EXPECT_EQ(scaleStep(down, {0, 20}, {0, 10}), 64880);  // × 0.9 = 0.99
  EXPECT_EQ(scaleStep(one, {0, 0}, {0, -150}), -32768) << "no clamp";
}

TEST(DragMath, SpotGizmoAimsTheConeAwayFromTheBeam) {
  for (double lr : {0.0, 90.0, -130.0, 180.0}) {
    PlacementValues v;
    v.leftRight = deg(lr);
    v.upDown = deg(-30);
    v.xTranslation = deg(0.5);
    const Matrix4x3 m = gizmoMatrix(PanelKind::SpotLight, v);
    const Vec3 beam = beamDirection(static_cast<float>(lr) * kDegreesToRadians, -30 * kDegreesToRadians);
    expectNear(transformVector({0, 0, -1}, m), beam);
    expectNear(transformPoint({0, 0, 0.45f}, m), Vec3{0.5f, 0, 0} - beam * 0.45f);
  }
  PlacementValues p;
  p.yTranslation = deg(2);
  expectNear(transformPoint({0, 0, 0}, gizmoMatrix(PanelKind::PointLight, p)), {0, 2, 0});
}

}  // namespace
}  // namespace vask
