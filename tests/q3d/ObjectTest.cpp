// Reference counting, type chains and handles that are not live objects.
#include <vector>

#include "platform/q3d/QD3DGroup.h"
#include "tests/q3d/Q3dTestSupport.h"

namespace {

using q3dtest::Q3dTest;
using q3dtest::Ref;
using q3dtest::refCount;

TEST_F(Q3dTest, ReferencesAddAndDisposeDropsUntilDestroyed) {
    TQ3Object group = Q3Group_New();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_ + 1);
    EXPECT_EQ(refCount(group), 1u);

    EXPECT_EQ(Q3Shared_GetReference(group), group);
    EXPECT_EQ(Q3Shared_GetReference(group), group);
    EXPECT_EQ(refCount(group), 3u);

    EXPECT_EQ(Q3Object_Dispose(group), kQ3Success);
    EXPECT_EQ(Q3Object_Dispose(group), kQ3Success);
    EXPECT_EQ(refCount(group), 1u);
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_ + 1);

    EXPECT_EQ(Q3Object_Dispose(group), kQ3Success);
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNone);

    // The handle is now stale: every call refuses it without touching it.
    EXPECT_EQ(Q3Object_Dispose(group), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObject);
    EXPECT_EQ(Q3Shared_GetReference(group), nullptr);
    EXPECT_EQ(refCount(group), 0u);
    EXPECT_EQ(Q3Object_GetLeafType(group), kQ3ObjectTypeInvalid);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObject);
}

TEST_F(Q3dTest, TypeChainRunsFromSharedToLeaf) {
    Ref ordered(Q3OrderedDisplayGroup_New());
    ASSERT_NE(ordered, nullptr);
    EXPECT_EQ(Q3Object_GetType(ordered.get()), kQ3ObjectTypeShared);
    EXPECT_EQ(Q3Shared_GetType(ordered.get()), kQ3SharedTypeShape);
    EXPECT_EQ(Q3Object_GetLeafType(ordered.get()), kQ3DisplayGroupTypeOrdered);
    for (TQ3ObjectType link : {kQ3ObjectTypeShared, kQ3SharedTypeShape, kQ3ShapeTypeGroup, kQ3GroupTypeDisplay,
                               kQ3DisplayGroupTypeOrdered}) {
        EXPECT_EQ(Q3Object_IsType(ordered.get(), link), kQ3True) << std::hex << link;
    }
    EXPECT_EQ(Q3Object_IsType(ordered.get(), kQ3GroupTypeLight), kQ3False);
    EXPECT_EQ(Q3Object_IsType(ordered.get(), kQ3ShapeTypeGeometry), kQ3False);

    Ref light(Q3LightGroup_New());
    Ref plain(Q3Group_New());
    Ref display(Q3DisplayGroup_New());
    EXPECT_EQ(Q3Object_GetLeafType(light.get()), kQ3GroupTypeLight);
    EXPECT_EQ(Q3Object_GetLeafType(plain.get()), kQ3ShapeTypeGroup);
    EXPECT_EQ(Q3Object_IsDrawable(display.get()), kQ3True);
    EXPECT_EQ(Q3Object_IsDrawable(ordered.get()), kQ3True);
    EXPECT_EQ(Q3Object_IsDrawable(light.get()), kQ3False);
    EXPECT_EQ(Q3Object_IsDrawable(plain.get()), kQ3False);
}

TEST_F(Q3dTest, NullAndForeignHandlesAreRefusedWithoutCrashing) {
    EXPECT_EQ(Q3Object_Dispose(nullptr), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);
    EXPECT_EQ(Q3Shared_GetReference(nullptr), nullptr);
    EXPECT_EQ(Q3Object_GetType(nullptr), kQ3ObjectTypeInvalid);
    EXPECT_EQ(Q3Object_IsDrawable(nullptr), kQ3False);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);

    // Memory that was never an object: filled with a pattern that would look
    // like a vtable and a count if it were dereferenced.
    std::vector<unsigned char> foreign(64, 0xAB);
    auto* bogus = reinterpret_cast<TQ3Object>(foreign.data());
    EXPECT_EQ(Q3Object_Dispose(bogus), kQ3Failure);
    EXPECT_EQ(Q3Object_IsType(bogus, kQ3ObjectTypeShared), kQ3False);
    EXPECT_EQ(Q3Group_AddObject(bogus, bogus), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObject);
    EXPECT_EQ(foreign, std::vector<unsigned char>(64, 0xAB));
}

}  // namespace
