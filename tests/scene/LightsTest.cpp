// Light values from host parameters, and the preview's fixed lighting.
#include <gtest/gtest.h>

#include <vector>

#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DLight.h"
#include "platform/q3d/QD3DTesting.h"
#include "scene/builders/ObjectRef.h"
#include "scene/lights/LightGroups.h"
#include "scene/lights/LightValues.h"
#include "shell/ErrData.h"

namespace vask {
namespace {

// The ErrData a call raises; a call that returns instead is a test failure.
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

void expectColor(const TQ3ColorRGB& c, float r, float g, float b) {
  EXPECT_NEAR(c.r, r, 1e-5f);
  EXPECT_NEAR(c.g, g, 1e-5f);
  EXPECT_NEAR(c.b, b, 1e-5f);
}

TEST(LightValuesTest, ColourAndIntensity) {
  expectColor(lightColor({0, 255, 128, 0}), 1.0f, 0.50196f, 0.0f);
  // Alpha plays no part.
  expectColor(lightColor({255, 0, 51, 255}), 0.0f, 0.2f, 1.0f);

  const TQ3LightData data = publishedLightData(0x8000, {255, 255, 255, 255});
  EXPECT_EQ(data.isOn, kQ3True);
  EXPECT_EQ(data.brightness, 0.5f);
  expectColor(data.color, 1, 1, 1);
  EXPECT_EQ(publishedLightData(0, {}).brightness, 0.0f);
}

TEST(LightValuesTest, PopupsBecomeZeroBasedEnumerations) {
  EXPECT_EQ(attenuationFromPopup(1), kQ3AttenuationTypeNone);
  EXPECT_EQ(attenuationFromPopup(2), kQ3AttenuationTypeInverseDistance);
  EXPECT_EQ(attenuationFromPopup(3), kQ3AttenuationTypeInverseDistanceSquared);
  EXPECT_EQ(fallOffFromPopup(1), kQ3FallOffTypeNone);
  EXPECT_EQ(fallOffFromPopup(2), kQ3FallOffTypeLinear);
  EXPECT_EQ(fallOffFromPopup(3), kQ3FallOffTypeExponential);
  EXPECT_EQ(fallOffFromPopup(4), kQ3FallOffTypeCosine);

  // Values outside the choices can only come from damaged parameters.
  const ErrData damaged = ErrData::host(PF_Err_BAD_CALLBACK_PARAM);
  for (int32_t bad : {0, 4, -1, 1 << 16})
    EXPECT_EQ(raisedBy([=] { (void)attenuationFromPopup(bad); }), damaged) << "attenuation " << bad;
  for (int32_t bad : {0, 5})
    EXPECT_EQ(raisedBy([=] { (void)fallOffFromPopup(bad); }), damaged) << "fall-off " << bad;
}

class LightGroupsTest : public ::testing::Test {
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

std::vector<ObjectRef> membersOf(const ObjectRef& group) {
  std::vector<ObjectRef> members;
  TQ3GroupPosition position = nullptr;
  EXPECT_EQ(Q3Group_GetFirstPosition(group.get(), &position), kQ3Success);
  while (position) {
    TQ3Object member = nullptr;
    EXPECT_EQ(Q3Group_GetPositionObject(group.get(), position, &member), kQ3Success);
    members.emplace_back(member);
    EXPECT_EQ(Q3Group_GetNextPosition(group.get(), &position), kQ3Success);
  }
  return members;
}

TEST_F(LightGroupsTest, PreviewHasAHeadlightAlongMinusZAndAnAmbient) {
  ObjectRef group;
  makePreviewLightGroup(group);
  ASSERT_TRUE(group);
  EXPECT_EQ(Q3Object_GetLeafType(group.get()), kQ3GroupTypeLight);
  const std::vector<ObjectRef> lights = membersOf(group);
  ASSERT_EQ(lights.size(), 2u);

  ASSERT_EQ(Q3Object_GetLeafType(lights[0].get()), kQ3LightTypeDirectional);
  TQ3DirectionalLightData head{};
  ASSERT_EQ(Q3DirectionalLight_GetData(lights[0].get(), &head), kQ3Success);
  EXPECT_EQ(head.lightData.isOn, kQ3True);
  EXPECT_EQ(head.lightData.brightness, 0.8f);
  expectColor(head.lightData.color, 1, 1, 1);
  EXPECT_EQ(head.castsShadows, kQ3False);
  EXPECT_EQ(head.direction.x, 0.0f);
  EXPECT_EQ(head.direction.y, 0.0f);
  EXPECT_EQ(head.direction.z, -1.0f);

  ASSERT_EQ(Q3Object_GetLeafType(lights[1].get()), kQ3LightTypeAmbient);
  TQ3LightData ambient{};
  ASSERT_EQ(Q3AmbientLight_GetData(lights[1].get(), &ambient), kQ3Success);
  EXPECT_EQ(ambient.isOn, kQ3True);
  EXPECT_EQ(ambient.brightness, 0.2f);
  expectColor(ambient.color, 1, 1, 1);
}

TEST_F(LightGroupsTest, FailuresRaiseAndKeepNothing) {
  for (const char* call : {"Q3LightGroup_New", "Q3DirectionalLight_New", "Q3AmbientLight_New"}) {
    SCOPED_TRACE(call);
    ObjectRef group;
    makeLightGroup(group);  // something for the failed rebuild to release
    const TQ3Uns32 live = Q3Testing_LiveObjectCount();
    Q3Testing_FailCall(call, kQ3ErrorOutOfMemory, 0);
    EXPECT_EQ(raisedBy([&] { makePreviewLightGroup(group); }), ErrData::quickDraw(kQ3ErrorOutOfMemory));
    EXPECT_FALSE(group);
    EXPECT_EQ(Q3Testing_LiveObjectCount(), live - 1);
    Q3Testing_ClearFailures();
  }
}

}  // namespace
}  // namespace vask
