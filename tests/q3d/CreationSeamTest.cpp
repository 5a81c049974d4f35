// Every creation and setter of scene content can be made to fail through
// the test seam, and fails cleanly: NULL or kQ3Failure, the armed error, no
// object made, nothing changed.
#include <functional>
#include <string>
#include <vector>

#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DLight.h"
#include "platform/q3d/QD3DSet.h"
#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/QD3DStorage.h"
#include "tests/q3d/Q3dTestSupport.h"

namespace {

using q3dtest::Q3dTest;
using q3dtest::Ref;

TEST_F(Q3dTest, EveryCreationFailsWhenArmedAndWorksAgainAfter) {
    static unsigned char bytes[16];
    static TQ3Vertex3D vertices[4];
    Ref storage(Q3MemoryStorage_NewBuffer(bytes, 16, 16));
    const TQ3StoragePixmap pixmap{storage.get(), 2, 2, 8, 32, kQ3PixelTypeARGB32, kQ3EndianLittle, kQ3EndianLittle};
    Ref texture(Q3PixmapTexture_New(&pixmap));
    const TQ3BoxData box{};
    TQ3EllipsoidData ellipsoid{};
    TQ3ConeData cone{};
    const TQ3LineData line{};
    const TQ3TriGridData grid{2, 2, vertices, nullptr, nullptr};
    const TQ3LightData light{kQ3True, 1, {1, 1, 1}};
    const TQ3DirectionalLightData directional{light, kQ3False, {0, 0, -1}};
    const TQ3PointLightData point{light, kQ3True, kQ3AttenuationTypeNone, {0, 0, 1}};
    const TQ3SpotLightData spot{light, kQ3True, kQ3AttenuationTypeNone, {0, 0, 1}, {0, 0, -1}, 0.1f, 0.2f,
                                kQ3FallOffTypeNone};

    const std::vector<std::pair<std::string, std::function<TQ3Object()>>> creations = {
        {"Q3AttributeSet_New", [] { return Q3AttributeSet_New(); }},
        {"Q3Box_New", [&] { return Q3Box_New(&box); }},
        {"Q3Ellipsoid_New", [&] { return Q3Ellipsoid_New(&ellipsoid); }},
        {"Q3Cone_New", [&] { return Q3Cone_New(&cone); }},
        {"Q3Line_New", [&] { return Q3Line_New(&line); }},
        {"Q3TriGrid_New", [&] { return Q3TriGrid_New(&grid); }},
        {"Q3TriGrid_NewBlank", [] { return Q3TriGrid_NewBlank(2, 2, kQ3True, kQ3True); }},
        {"Q3AmbientLight_New", [&] { return Q3AmbientLight_New(&light); }},
        {"Q3DirectionalLight_New", [&] { return Q3DirectionalLight_New(&directional); }},
        {"Q3PointLight_New", [&] { return Q3PointLight_New(&point); }},
        {"Q3SpotLight_New", [&] { return Q3SpotLight_New(&spot); }},
        {"Q3PhongIllumination_New", [] { return Q3PhongIllumination_New(); }},
        {"Q3LambertIllumination_New", [] { return Q3LambertIllumination_New(); }},
        {"Q3NULLIllumination_New", [] { return Q3NULLIllumination_New(); }},
        {"Q3TextureShader_New", [&] { return Q3TextureShader_New(texture.get()); }},
        {"Q3PixmapTexture_New", [&] { return Q3PixmapTexture_New(&pixmap); }},
        {"Q3MemoryStorage_New", [] { return Q3MemoryStorage_New(bytes, 16); }},
        {"Q3MemoryStorage_NewBuffer", [] { return Q3MemoryStorage_NewBuffer(bytes, 16, 16); }},
    };
    for (const auto& [name, create] : creations) {
        const TQ3Uns32 live = Q3Testing_LiveObjectCount();
        Q3Testing_FailCall(name.c_str(), kQ3ErrorOutOfMemory, 0);
        EXPECT_EQ(create(), nullptr) << name;
        EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorOutOfMemory) << name;
        EXPECT_EQ(Q3Testing_LiveObjectCount(), live) << name;
        Ref made(create());
        EXPECT_NE(made, nullptr) << name << ": " << Q3Error_Get(nullptr);
    }

    // Before Q3Initialize nothing is made.
    ASSERT_EQ(Q3Exit(), kQ3Success);
    for (const auto& [name, create] : creations) {
        EXPECT_EQ(create(), nullptr) << name;
        EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNotInitialized) << name;
    }
    ASSERT_EQ(Q3Initialize(), kQ3Success);
}

TEST_F(Q3dTest, ArmedSettersFailWithoutChangingAnything) {
    Ref set(Q3AttributeSet_New());
    const TQ3Vector3D normal{0, 1, 0};
    Q3Testing_FailCall("Q3AttributeSet_Add", kQ3ErrorOutOfMemory, 0);
    EXPECT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeNormal, &normal), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorOutOfMemory);
    EXPECT_EQ(Q3AttributeSet_Contains(set.get(), kQ3AttributeTypeNormal), kQ3False);

    TQ3Vertex3D vertices[4] = {};
    vertices[1].attributeSet = set.get();
    const TQ3TriGridData data{2, 2, vertices, nullptr, nullptr};
    Ref grid(Q3TriGrid_New(&data));
    Q3Testing_FailCall("Q3TriGrid_GetData", kQ3ErrorOutOfMemory, 0);
    TQ3TriGridData out{};
    EXPECT_EQ(Q3TriGrid_GetData(grid.get(), &out), kQ3Failure);
    EXPECT_EQ(out.vertices, nullptr);
    EXPECT_EQ(q3dtest::refCount(set.get()), 2u);

    TQ3SpotLightData spot{{kQ3True, 1, {1, 1, 1}}, kQ3True, kQ3AttenuationTypeNone, {0, 0, 1}, {0, 0, -1}, 0.1f,
                          0.2f, kQ3FallOffTypeNone};
    Ref light(Q3SpotLight_New(&spot));
    spot.hotAngle = 0.5f;
    Q3Testing_FailCall("Q3SpotLight_SetData", kQ3ErrorOutOfMemory, 0);
    EXPECT_EQ(Q3SpotLight_SetData(light.get(), &spot), kQ3Failure);
    TQ3SpotLightData seen;
    ASSERT_EQ(Q3SpotLight_GetData(light.get(), &seen), kQ3Success);
    EXPECT_EQ(seen.hotAngle, 0.1f);
}

}  // namespace
