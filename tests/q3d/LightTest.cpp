// Lights: data round trips and the refusal of data a renderer could not use.
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/q3d/QD3DLight.h"
#include "tests/q3d/Q3dTestSupport.h"

namespace {

using q3dtest::Q3dTest;
using q3dtest::Ref;

template <class Record>
bool sameBytes(const Record& a, const Record& b) {
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

// A spot light as the spot light effect publishes it.
TQ3SpotLightData spotData() {
    TQ3SpotLightData data{};
    data.lightData = {kQ3True, 0.5f, {1.0f, 0.50196f, 0.0f}};
    data.castsShadows = kQ3True;
    data.attenuation = kQ3AttenuationTypeInverseDistanceSquared;
    data.location = {0.5f, 0.5f, 0.5f};
    data.direction = {-0.66341f, -0.5f, -0.55667f};
    data.hotAngle = 0.17453292f;
    data.outerAngle = 0.52359876f;
    data.fallOff = kQ3FallOffTypeCosine;
    return data;
}

TEST_F(Q3dTest, LightsGiveBackTheirDataAndTakeNewData) {
    const TQ3LightData ambientData{kQ3True, 0.2f, {1, 1, 1}};
    const TQ3DirectionalLightData headlightData{{kQ3True, 0.8f, {1, 1, 1}}, kQ3False, {0, 0, -1}};
    const TQ3PointLightData pointData{{kQ3True, 1.0f, {1, 1, 1}}, kQ3True, kQ3AttenuationTypeNone, {0, 0, 1}};
    const TQ3SpotLightData spot = spotData();
    Ref ambient(Q3AmbientLight_New(&ambientData));
    Ref headlight(Q3DirectionalLight_New(&headlightData));
    Ref point(Q3PointLight_New(&pointData));
    Ref spotLight(Q3SpotLight_New(&spot));
    ASSERT_NE(ambient, nullptr);
    ASSERT_NE(headlight, nullptr);
    ASSERT_NE(point, nullptr);
    ASSERT_NE(spotLight, nullptr);
    EXPECT_EQ(Q3Light_GetType(spotLight.get()), kQ3LightTypeSpot);
    EXPECT_EQ(Q3Object_IsType(point.get(), kQ3ShapeTypeLight), kQ3True);

    TQ3LightData ambientOut;
    TQ3DirectionalLightData headlightOut;
    TQ3PointLightData pointOut;
    TQ3SpotLightData spotOut;
    ASSERT_EQ(Q3AmbientLight_GetData(ambient.get(), &ambientOut), kQ3Success);
    ASSERT_EQ(Q3DirectionalLight_GetData(headlight.get(), &headlightOut), kQ3Success);
    ASSERT_EQ(Q3PointLight_GetData(point.get(), &pointOut), kQ3Success);
    ASSERT_EQ(Q3SpotLight_GetData(spotLight.get(), &spotOut), kQ3Success);
    EXPECT_TRUE(sameBytes(ambientOut, ambientData));
    EXPECT_TRUE(sameBytes(headlightOut, headlightData));
    EXPECT_TRUE(sameBytes(pointOut, pointData));
    EXPECT_TRUE(sameBytes(spotOut, spot));

    // A second frame updates the same light in place.
    TQ3PointLightData moved = pointData;
    moved.location = {2, 3, 4};
    moved.attenuation = kQ3AttenuationTypeInverseDistance;
    moved.lightData.brightness = 0;
    ASSERT_EQ(Q3PointLight_SetData(point.get(), &moved), kQ3Success);
    ASSERT_EQ(Q3PointLight_GetData(point.get(), &pointOut), kQ3Success);
    EXPECT_TRUE(sameBytes(pointOut, moved));

    // The common part reads and writes the same fields of any light.
    TQ3LightData common;
    ASSERT_EQ(Q3Light_GetData(spotLight.get(), &common), kQ3Success);
    EXPECT_TRUE(sameBytes(common, spot.lightData));
    common.isOn = kQ3False;
    ASSERT_EQ(Q3Light_SetData(spotLight.get(), &common), kQ3Success);
    ASSERT_EQ(Q3SpotLight_GetData(spotLight.get(), &spotOut), kQ3Success);
    EXPECT_EQ(spotOut.lightData.isOn, kQ3False);
    EXPECT_EQ(spotOut.fallOff, kQ3FallOffTypeCosine);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNone);

    // Brighter than full is allowed, with a notice.
    TQ3LightData bright = ambientData;
    bright.brightness = 2;
    ASSERT_EQ(Q3AmbientLight_SetData(ambient.get(), &bright), kQ3Success);
    EXPECT_EQ(Q3Notice_Get(nullptr), kQ3NoticeBrightnessGreaterThanOne);

    // The data calls of one kind refuse the others.
    EXPECT_EQ(Q3SpotLight_GetData(point.get(), &spotOut), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObjectType);
}

TEST_F(Q3dTest, LightsRefuseDataOutOfRangeAndKeepTheirOwn) {
    const TQ3SpotLightData good = spotData();
    Ref light(Q3SpotLight_New(&good));
    ASSERT_NE(light, nullptr);
    const float nan = std::numeric_limits<float>::quiet_NaN();

    struct Case {
        const char* what;
        void (*spoil)(TQ3SpotLightData&, float nan);
        TQ3Error error;
    };
    const Case cases[] = {
        {"attenuation 3", [](TQ3SpotLightData& d, float) { std::memset(&d.attenuation, 3, 1); }, kQ3ErrorParameterOutOfRange},
        {"attenuation -1",
         [](TQ3SpotLightData& d, float) { std::memset(&d.attenuation, 0xFF, sizeof d.attenuation); },
         kQ3ErrorParameterOutOfRange},
        {"fall-off 4", [](TQ3SpotLightData& d, float) { std::memset(&d.fallOff, 4, 1); }, kQ3ErrorParameterOutOfRange},
        {"isOn 2", [](TQ3SpotLightData& d, float) { std::memset(&d.lightData.isOn, 2, 1); }, kQ3ErrorParameterOutOfRange},
        {"castsShadows 7", [](TQ3SpotLightData& d, float) { std::memset(&d.castsShadows, 7, 1); },
         kQ3ErrorParameterOutOfRange},
        {"NaN brightness", [](TQ3SpotLightData& d, float n) { d.lightData.brightness = n; }, kQ3ErrorParameterOutOfRange},
        {"NaN colour", [](TQ3SpotLightData& d, float n) { d.lightData.color.g = n; }, kQ3ErrorParameterOutOfRange},
        {"infinite location", [](TQ3SpotLightData& d, float) { d.location.x = INFINITY; }, kQ3ErrorParameterOutOfRange},
        {"negative hot angle", [](TQ3SpotLightData& d, float) { d.hotAngle = -0.1f; }, kQ3ErrorParameterOutOfRange},
        {"NaN outer angle", [](TQ3SpotLightData& d, float n) { d.outerAngle = n; }, kQ3ErrorParameterOutOfRange},
        {"zero direction", [](TQ3SpotLightData& d, float) { d.direction = {0, 0, 0}; }, kQ3ErrorVector3DZeroLength},
    };
    for (const Case& c : cases) {
        TQ3SpotLightData bad = good;
        c.spoil(bad, nan);
        EXPECT_EQ(Q3SpotLight_New(&bad), nullptr) << c.what;
        EXPECT_EQ(Q3Error_Get(nullptr), c.error) << c.what;
        EXPECT_EQ(Q3SpotLight_SetData(light.get(), &bad), kQ3Failure) << c.what;
        EXPECT_EQ(Q3Error_Get(nullptr), c.error) << c.what;
    }
    TQ3SpotLightData out;
    ASSERT_EQ(Q3SpotLight_GetData(light.get(), &out), kQ3Success);
    EXPECT_TRUE(sameBytes(out, good));

    TQ3PointLightData point{{kQ3True, 1, {1, 1, 1}}, kQ3True, kQ3AttenuationTypeNone, {0, 0, 0}};
    std::memset(&point.attenuation, 9, 1);
    EXPECT_EQ(Q3PointLight_New(&point), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorParameterOutOfRange);
    const TQ3DirectionalLightData sideways{{kQ3True, 1, {1, 1, 1}}, kQ3False, {0, 0, 0}};
    EXPECT_EQ(Q3DirectionalLight_New(&sideways), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorVector3DZeroLength);
    EXPECT_EQ(Q3AmbientLight_New(nullptr), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);
}

}  // namespace
