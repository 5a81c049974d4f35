// The two light effects through their real entry point: the light they
// publish, its data from the parameters, the marker, and how both live across
// frames.
#include <cmath>

#include "PluginTestSupport.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DLight.h"
#include "platform/q3d/QD3DTransform.h"
#include "shell/ParamTables.h"

namespace vask::test {
namespace {

constexpr PF_Fixed F(double v) { return static_cast<PF_Fixed>(v * 65536.0); }

// The members of a group, each as a reference the caller disposes.
std::vector<ObjectHolder> membersOf(TQ3GroupObject group) {
  std::vector<ObjectHolder> out;
  TQ3GroupPosition pos = nullptr;
  Q3Group_GetFirstPosition(group, &pos);
  while (pos) {
    TQ3Object o = nullptr;
    Q3Group_GetPositionObject(group, pos, &o);
    out.emplace_back(o);
    Q3Group_GetNextPosition(group, &pos);
  }
  return out;
}

// The matrix of the transform inside a marker group.
TQ3Matrix4x4 markerMatrix(TQ3GroupObject marker) {
  TQ3Matrix4x4 m{};
  for (auto& member : membersOf(marker))
    if (Q3Object_IsType(member.get(), kQ3TransformTypeMatrix)) Q3MatrixTransform_Get(member.get(), &m);
  return m;
}

class LightsTest : public PluginTest {
 protected:
  TQ3SpotLightData spotData() {
    auto lights = membersOf(sceneBlock().lightGroup);
    EXPECT_EQ(lights.size(), 1u);
    TQ3SpotLightData d{};
    if (!lights.empty()) {
      EXPECT_EQ(Q3SpotLight_GetData(lights[0].get(), &d), kQ3Success);
    }
    return d;
  }
};

TEST_F(LightsTest, SpotLightDataFollowsTheParameters) {
  host::Instance& spot = apply(load("beamlamp"));
  ASSERT_TRUE(spot.frameSetup().ok());
  TQ3SpotLightData d = spotData();
  // Defaults: from (0.5, 0.5, 0.5), azimuth −130°, elevation −30°: down and
  // back toward the origin.
  EXPECT_FLOAT_EQ(d.location.x, 0.5f);
  const double a = -130 * 0.017453292, e = -30 * 0.017453292;
  EXPECT_NEAR(d.direction.x, std::cos(e) * std::sin(a), 1e-6);
  EXPECT_NEAR(d.direction.y, std::sin(e), 1e-6);
  EXPECT_NEAR(d.direction.z, std::cos(a) * std::cos(e), 1e-6);
  EXPECT_GT(-(d.direction.x + d.direction.y + d.direction.z), 0) << "toward the origin's side";
  EXPECT_EQ(d.attenuation, kQ3AttenuationTypeNone);
  EXPECT_EQ(d.fallOff, kQ3FallOffTypeNone);
  EXPECT_NEAR(d.hotAngle, 10 * 0.017453292, 1e-6);
  EXPECT_NEAR(d.outerAngle, 30 * 0.017453292, 1e-6);
  EXPECT_TRUE(d.lightData.isOn);
  EXPECT_TRUE(d.castsShadows);
  ASSERT_TRUE(spot.frameSetdown().ok());

  using namespace beamlamp;
  spot.param(kUpDown).u.fd.value = F(90);
  spot.param(kAttenuation).u.pd.value = 3;
  spot.param(kFallOff).u.pd.value = 4;
  spot.param(kHotAngle).u.fd.value = F(40);
  spot.param(kOuterAngle).u.fd.value = F(20);
  spot.param(kIntensity).u.fd.value = 0x8000;
  spot.param(kColor).u.cd.value = PF_Pixel{255, 255, 128, 0};
  ASSERT_TRUE(spot.frameSetup().ok());
  d = spotData();
  EXPECT_NEAR(d.direction.x, 0, 1e-6);
  EXPECT_NEAR(d.direction.y, 1, 1e-6) << "straight up whatever the azimuth";
  EXPECT_NEAR(d.direction.z, 0, 1e-6);
  EXPECT_EQ(d.attenuation, kQ3AttenuationTypeInverseDistanceSquared);
  EXPECT_EQ(d.fallOff, kQ3FallOffTypeCosine);
  EXPECT_EQ(d.outerAngle, d.hotAngle) << "the outer angle never below the hot angle";
  EXPECT_EQ(d.lightData.brightness, 0.5f);
  EXPECT_FLOAT_EQ(d.lightData.color.r, 1.0f);
  EXPECT_NEAR(d.lightData.color.g, 0.50196, 1e-5);
  EXPECT_FLOAT_EQ(d.lightData.color.b, 0.0f);
  ASSERT_TRUE(spot.frameSetdown().ok());
}

TEST_F(LightsTest, LightAndMarkerLiveAcrossFrames) {
  host::Instance& spot = apply(load("beamlamp"));
  host::Instance& mesh = apply(load("shapemesh"));
  spot.param(beamlamp::kVisible).u.bd.value = 1;
  ASSERT_TRUE(spot.frameSetup().ok());
  auto lights = membersOf(sceneBlock().lightGroup);
  auto shapes = membersOf(sceneBlock().displayGroup);
  ASSERT_EQ(lights.size(), 1u);
  ASSERT_EQ(shapes.size(), 1u) << "the marker";
  const TQ3Object light = lights[0].get(), marker = shapes[0].get();
  lights.clear();
  shapes.clear();

  ASSERT_TRUE(mesh.frameSetdown().ok()) << "another effect's setdown clears the groups";
  EXPECT_EQ(sceneBlock().lightGroup, nullptr);
  ASSERT_TRUE(spot.frameSetup().ok());
  lights = membersOf(sceneBlock().lightGroup);
  shapes = membersOf(sceneBlock().displayGroup);
  ASSERT_EQ(lights.size(), 1u);
  EXPECT_EQ(lights[0].get(), light) << "the same light is updated and re-added";
  ASSERT_EQ(shapes.size(), 1u);
  EXPECT_EQ(shapes[0].get(), marker) << "the marker is made once";
  ASSERT_TRUE(spot.frameSetdown().ok());

  spot.param(beamlamp::kVisible).u.bd.value = 0;
  ASSERT_TRUE(spot.frameSetup().ok());
  EXPECT_EQ(membersOf(sceneBlock().lightGroup).size(), 1u) << "the light stays";
  EXPECT_EQ(membersOf(sceneBlock().displayGroup).size(), 0u) << "the marker is left out";
  ASSERT_TRUE(spot.frameSetdown().ok());
}

TEST_F(LightsTest, SpotMarkerIsAimedAndPlaced) {
  host::Instance& spot = apply(load("beamlamp"));
  using namespace beamlamp;
  spot.param(kVisible).u.bd.value = 1;
  spot.param(kXPosition).u.fd.value = F(1);
  spot.param(kYPosition).u.fd.value = F(2);
  spot.param(kZPosition).u.fd.value = F(3);
  struct Case {
    double leftRight;
    float zz;  // the marker's +Z axis image along z
  } cases[] = {{0, 1}, {180, -1}};
  for (const Case& c : cases) {
    spot.param(kLeftRight).u.ad.value = F(c.leftRight);
    spot.param(kUpDown).u.fd.value = 0;
    ASSERT_TRUE(spot.frameSetup().ok());
    auto shapes = membersOf(sceneBlock().displayGroup);
    ASSERT_EQ(shapes.size(), 1u);
    const TQ3Matrix4x4 m = markerMatrix(shapes[0].get());
    // Straight ahead: a pure translation; straight back: the reflection
    // through the plane normal to −Z.
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j)
        EXPECT_NEAR(m.value[i][j], i == j ? (i == 2 ? c.zz : 1.0f) : 0.0f, 1e-6)
            << c.leftRight << " at " << i << "," << j;
    EXPECT_FLOAT_EQ(m.value[3][0], 1);
    EXPECT_FLOAT_EQ(m.value[3][1], 2);
    EXPECT_FLOAT_EQ(m.value[3][2], 3);
    EXPECT_FLOAT_EQ(m.value[3][3], 1);
    ASSERT_TRUE(spot.frameSetdown().ok());
  }
}

TEST_F(LightsTest, PointLightDefaultsAndMarker) {
  host::Instance& point = apply(load("glowlamp"));
  auto r = point.frameSetup();
  ASSERT_TRUE(r.ok()) << r;
  EXPECT_TRUE(r.out.out_flags & PF_OutFlag_NOP_RENDER);
  auto lights = membersOf(sceneBlock().lightGroup);
  ASSERT_EQ(lights.size(), 1u);
  TQ3PointLightData d{};
  ASSERT_EQ(Q3PointLight_GetData(lights[0].get(), &d), kQ3Success);
  EXPECT_EQ(d.lightData.brightness, 1.0f);
  EXPECT_EQ(d.lightData.color.r, 1.0f);
  EXPECT_EQ(d.lightData.color.b, 1.0f);
  EXPECT_EQ(d.location.z, 1.0f);
  EXPECT_EQ(d.attenuation, kQ3AttenuationTypeNone);
  EXPECT_EQ(membersOf(sceneBlock().displayGroup).size(), 0u);
  ASSERT_TRUE(point.frameSetdown().ok());

  point.param(glowlamp::kVisible).u.bd.value = 1;
  point.param(glowlamp::kIntensity).u.fd.value = 0;
  point.param(glowlamp::kXPosition).u.fd.value = F(-2);
  ASSERT_TRUE(point.frameSetup().ok());
  lights = membersOf(sceneBlock().lightGroup);
  ASSERT_EQ(Q3PointLight_GetData(lights[0].get(), &d), kQ3Success);
  EXPECT_EQ(d.lightData.brightness, 0.0f) << "published even when dark";
  auto shapes = membersOf(sceneBlock().displayGroup);
  ASSERT_EQ(shapes.size(), 1u);
  const TQ3Matrix4x4 m = markerMatrix(shapes[0].get());
  EXPECT_EQ(m.value[3][0], -2.0f);
  EXPECT_EQ(m.value[3][2], 1.0f);
  EXPECT_EQ(m.value[0][0], 1.0f);
  ASSERT_TRUE(point.frameSetdown().ok());
}

TEST_F(LightsTest, FailuresLeaveNothingHalfMadeAndTheNextFrameRecovers) {
  host::Instance& spot = apply(load("beamlamp"));
  spot.param(beamlamp::kVisible).u.bd.value = 1;
  Q3Testing_FailCall("Q3SpotLight_New", kQ3ErrorOutOfMemory, 0);
  auto r = spot.frameSetup();
  EXPECT_EQ(r.err, kQ3ErrorOutOfMemory);
  ASSERT_TRUE(spot.frameSetdown().ok());

  // The marker fails after its group was made: nothing of it is kept, and
  // the next frame makes it whole.
  Q3Testing_FailCall("Q3AttributeSet_New", kQ3ErrorOutOfMemory, 0);
  r = spot.frameSetup();
  EXPECT_EQ(r.err, kQ3ErrorOutOfMemory);
  EXPECT_EQ(r.message, "OS error " + std::to_string(kQ3ErrorOutOfMemory));
  ASSERT_TRUE(spot.frameSetdown().ok());
  ASSERT_TRUE(spot.frameSetup().ok());
  EXPECT_EQ(membersOf(sceneBlock().displayGroup).size(), 1u);
  ASSERT_TRUE(spot.frameSetdown().ok());
}

}  // namespace
}  // namespace vask::test
