// Attribute sets: values in and out, replacement, removal, refusals.
#include <cstring>
#include <vector>

#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DSet.h"
#include "tests/q3d/Q3dTestSupport.h"

namespace {

using q3dtest::Q3dTest;
using q3dtest::Ref;

// The types Q3AttributeSet_GetNextAttributeType walks through.
std::vector<TQ3AttributeType> typesOf(TQ3AttributeSet set) {
    std::vector<TQ3AttributeType> types;
    TQ3AttributeType type = kQ3AttributeTypeNone;
    while (Q3AttributeSet_GetNextAttributeType(set, &type) == kQ3Success && type != kQ3AttributeTypeNone) {
        types.push_back(type);
    }
    return types;
}

TEST_F(Q3dTest, AttributeSetKeepsOneValueOfEachTypeAndReplacesOnAdd) {
    Ref set(Q3AttributeSet_New());
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(Q3Object_GetLeafType(set.get()), kQ3SetTypeAttribute);
    EXPECT_EQ(Q3Object_IsDrawable(set.get()), kQ3True);
    EXPECT_EQ(typesOf(set.get()), std::vector<TQ3AttributeType>{});

    const TQ3Vector3D normal{0.0f, 1.0f, 0.0f};
    const TQ3Param2D uv{0.25f, 0.75f};
    const TQ3ColorRGB red{1.0f, 0.0f, 0.0f};
    const TQ3Tangent2D tangent{{1, 0, 0}, {0, 0, 1}};
    const float shininess = 30.0f;
    const TQ3Switch on = kQ3On;
    ASSERT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeNormal, &normal), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeSurfaceUV, &uv), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeDiffuseColor, &red), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeSurfaceTangent, &tangent), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeSpecularControl, &shininess), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeHighlightState, &on), kQ3Success);
    EXPECT_EQ(typesOf(set.get()),
              (std::vector<TQ3AttributeType>{kQ3AttributeTypeSurfaceUV, kQ3AttributeTypeNormal,
                                              kQ3AttributeTypeDiffuseColor, kQ3AttributeTypeSpecularControl,
                                              kQ3AttributeTypeSurfaceTangent, kQ3AttributeTypeHighlightState}));

    TQ3Vector3D normalOut{};
    TQ3Param2D uvOut{};
    TQ3ColorRGB colorOut{};
    TQ3Tangent2D tangentOut{};
    float shininessOut = 0;
    ASSERT_EQ(Q3AttributeSet_Get(set.get(), kQ3AttributeTypeNormal, &normalOut), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Get(set.get(), kQ3AttributeTypeSurfaceUV, &uvOut), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Get(set.get(), kQ3AttributeTypeDiffuseColor, &colorOut), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Get(set.get(), kQ3AttributeTypeSurfaceTangent, &tangentOut), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Get(set.get(), kQ3AttributeTypeSpecularControl, &shininessOut), kQ3Success);
    EXPECT_EQ(std::memcmp(&normalOut, &normal, sizeof normal), 0);
    EXPECT_EQ(std::memcmp(&uvOut, &uv, sizeof uv), 0);
    EXPECT_EQ(std::memcmp(&colorOut, &red, sizeof red), 0);
    EXPECT_EQ(std::memcmp(&tangentOut, &tangent, sizeof tangent), 0);
    EXPECT_EQ(shininessOut, shininess);

    // Adding a type again replaces its value, inline or not.
    const TQ3Vector3D tilted{0.6f, 0.8f, 0.0f};
    const TQ3ColorRGB blue{0.0f, 0.0f, 1.0f};
    ASSERT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeNormal, &tilted), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeDiffuseColor, &blue), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Get(set.get(), kQ3AttributeTypeNormal, &normalOut), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Get(set.get(), kQ3AttributeTypeDiffuseColor, &colorOut), kQ3Success);
    EXPECT_EQ(normalOut.x, 0.6f);
    EXPECT_EQ(colorOut.b, 1.0f);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNone);
}

TEST_F(Q3dTest, AttributeSetClearsOneTypeOrAll) {
    Ref set(Q3AttributeSet_New());
    const TQ3Vector3D normal{0, 0, 1};
    const TQ3ColorRGB grey{0.5f, 0.5f, 0.5f};
    ASSERT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeNormal, &normal), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeDiffuseColor, &grey), kQ3Success);

    ASSERT_EQ(Q3AttributeSet_Clear(set.get(), kQ3AttributeTypeNormal), kQ3Success);
    EXPECT_EQ(Q3AttributeSet_Contains(set.get(), kQ3AttributeTypeNormal), kQ3False);
    EXPECT_EQ(Q3AttributeSet_Contains(set.get(), kQ3AttributeTypeDiffuseColor), kQ3True);
    EXPECT_EQ(Q3AttributeSet_Clear(set.get(), kQ3AttributeTypeNormal), kQ3Success) << "clearing nothing is fine";

    // A value the set does not hold is reported, and the caller's buffer kept.
    TQ3Vector3D untouched{7, 7, 7};
    EXPECT_EQ(Q3AttributeSet_Get(set.get(), kQ3AttributeTypeNormal, &untouched), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorAttributeNotContained);
    EXPECT_EQ(untouched.x, 7.0f);

    ASSERT_EQ(Q3AttributeSet_Empty(set.get()), kQ3Success);
    EXPECT_EQ(typesOf(set.get()), std::vector<TQ3AttributeType>{});
    // An emptied set takes values again, the rarer ones included.
    ASSERT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeDiffuseColor, &grey), kQ3Success);
    TQ3ColorRGB out{};
    ASSERT_EQ(Q3AttributeSet_Get(set.get(), kQ3AttributeTypeDiffuseColor, &out), kQ3Success);
    EXPECT_EQ(out.g, 0.5f);
}

TEST_F(Q3dTest, AttributeSetRefusesBadTypesValuesAndHandles) {
    Ref set(Q3AttributeSet_New());
    const TQ3Vector3D normal{0, 1, 0};
    for (TQ3AttributeType type : std::vector<TQ3AttributeType>{kQ3AttributeTypeNone, kQ3AttributeTypeNumTypes, 42, -1,
                                                               Q3_OBJECT_TYPE('c', 'u', 's', 't')}) {
        EXPECT_EQ(Q3AttributeSet_Add(set.get(), type, &normal), kQ3Failure) << type;
        EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorAttributeInvalidType) << type;
        EXPECT_EQ(Q3AttributeSet_Contains(set.get(), type), kQ3False) << type;
        EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorAttributeInvalidType) << type;
    }
    EXPECT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeNormal, nullptr), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);
    EXPECT_EQ(Q3AttributeSet_Get(set.get(), kQ3AttributeTypeNormal, nullptr), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);

    // A switch holds only off or on; the set stays without a highlight state.
    const TQ3Uns32 notASwitch = 2;
    EXPECT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeHighlightState, &notASwitch), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorParameterOutOfRange);
    EXPECT_EQ(Q3AttributeSet_Contains(set.get(), kQ3AttributeTypeHighlightState), kQ3False);

    // Only attribute sets: a group is of the wrong type, garbage is no object.
    Ref group(Q3Group_New());
    EXPECT_EQ(Q3AttributeSet_Add(group.get(), kQ3AttributeTypeNormal, &normal), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObjectType);
    long garbage[8] = {};
    EXPECT_EQ(Q3AttributeSet_Add(reinterpret_cast<TQ3AttributeSet>(garbage), kQ3AttributeTypeNormal, &normal),
              kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObject);
}

}  // namespace
