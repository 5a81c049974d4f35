// Group membership, ownership, positions and refusals, through the C API.
#include <vector>

#include "platform/q3d/QD3DGroup.h"
#include "tests/q3d/Q3dTestSupport.h"

extern "C" int q3dtestBuildSceneFromC(void);  // FromC.c

namespace {

using q3dtest::Q3dTest;
using q3dtest::Ref;
using q3dtest::refCount;

// The members of group in order, each checked out and released again.
std::vector<TQ3Object> membersOf(TQ3GroupObject group) {
    std::vector<TQ3Object> members;
    TQ3GroupPosition position = nullptr;
    EXPECT_EQ(Q3Group_GetFirstPosition(group, &position), kQ3Success);
    while (position != nullptr) {
        TQ3Object member = nullptr;
        EXPECT_EQ(Q3Group_GetPositionObject(group, position, &member), kQ3Success);
        members.push_back(member);
        Q3Object_Dispose(member);
        EXPECT_EQ(Q3Group_GetNextPosition(group, &position), kQ3Success);
    }
    return members;
}

TEST_F(Q3dTest, GroupHoldsItsOwnReferenceToEachMember) {
    Ref scene(Q3DisplayGroup_New());
    Ref a(Q3DisplayGroup_New());
    Ref b(Q3OrderedDisplayGroup_New());
    ASSERT_NE(Q3Group_AddObject(scene.get(), a.get()), nullptr);
    ASSERT_NE(Q3Group_AddObject(scene.get(), b.get()), nullptr);
    ASSERT_NE(Q3Group_AddObject(scene.get(), a.get()), nullptr);  // twice: two references
    EXPECT_EQ(refCount(a.get()), 3u);
    EXPECT_EQ(refCount(b.get()), 2u);
    EXPECT_EQ(membersOf(scene.get()), (std::vector<TQ3Object>{a.get(), b.get(), a.get()}));

    // The frame's groups go at setdown; the contributions stay with their owners.
    scene.reset();
    EXPECT_EQ(refCount(a.get()), 1u);
    EXPECT_EQ(refCount(b.get()), 1u);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNone);
}

TEST_F(Q3dTest, PositionsWalkMembersAndRefuseStrangers) {
    Ref group(Q3Group_New());
    Ref other(Q3Group_New());
    Ref member(Q3DisplayGroup_New());
    TQ3GroupPosition position = nullptr;
    ASSERT_EQ(Q3Group_GetFirstPosition(group.get(), &position), kQ3Success);
    EXPECT_EQ(position, nullptr) << "an empty group has no first position";

    TQ3GroupPosition added = Q3Group_AddObject(group.get(), member.get());
    TQ3GroupPosition foreign = Q3Group_AddObject(other.get(), member.get());
    ASSERT_NE(added, nullptr);
    ASSERT_EQ(Q3Group_GetFirstPosition(group.get(), &position), kQ3Success);
    EXPECT_EQ(position, added);

    // Checking a member out hands the caller a new reference.
    TQ3Object out = nullptr;
    ASSERT_EQ(Q3Group_GetPositionObject(group.get(), position, &out), kQ3Success);
    EXPECT_EQ(out, member.get());
    EXPECT_EQ(refCount(member.get()), 4u);
    Q3Object_Dispose(out);

    ASSERT_EQ(Q3Group_GetNextPosition(group.get(), &position), kQ3Success);
    EXPECT_EQ(position, nullptr);

    // Positions of another group, NULL positions and garbage are refused.
    position = foreign;
    EXPECT_EQ(Q3Group_GetNextPosition(group.get(), &position), kQ3Failure);
    EXPECT_EQ(position, foreign);
    EXPECT_EQ(Q3Group_GetPositionObject(group.get(), nullptr, &out), kQ3Failure);
    int garbage = 0;
    EXPECT_EQ(Q3Group_GetPositionObject(group.get(), reinterpret_cast<TQ3GroupPosition>(&garbage), &out),
              kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidPositionForGroup);
    EXPECT_EQ(Q3Group_GetPositionObject(group.get(), added, nullptr), kQ3Failure);
    EXPECT_EQ(Q3Group_CountObjects(group.get(), nullptr), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);

    // Emptying releases the members and retires their positions.
    ASSERT_EQ(Q3Group_EmptyObjects(group.get()), kQ3Success);
    TQ3Uns32 count = 99;
    ASSERT_EQ(Q3Group_CountObjects(group.get(), &count), kQ3Success);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(refCount(member.get()), 2u);
    EXPECT_EQ(Q3Group_GetPositionObject(group.get(), added, &out), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidPositionForGroup);
}

TEST_F(Q3dTest, GroupsRefuseObjectsOfTheWrongKind) {
    Ref lights(Q3LightGroup_New());
    Ref display(Q3DisplayGroup_New());
    Ref plain(Q3Group_New());

    EXPECT_EQ(Q3Group_AddObject(lights.get(), display.get()), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObjectForGroup);
    EXPECT_EQ(Q3Group_AddObject(display.get(), lights.get()), nullptr) << "a light group is not drawable";
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObjectForGroup);
    EXPECT_EQ(Q3Group_AddObject(display.get(), plain.get()), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObjectForGroup);
    EXPECT_EQ(refCount(display.get()), 1u);
    EXPECT_EQ(refCount(lights.get()), 1u);

    EXPECT_NE(Q3Group_AddObject(plain.get(), lights.get()), nullptr);
    EXPECT_NE(Q3Group_AddObject(plain.get(), display.get()), nullptr);

    // Only groups have members.
    TQ3Uns32 count = 0;
    EXPECT_EQ(Q3Group_CountObjects(nullptr, &count), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);
}

TEST_F(Q3dTest, CyclesAreRefusedBecauseTheyCouldNeverBeFreed) {
    Ref a(Q3DisplayGroup_New());
    Ref b(Q3DisplayGroup_New());
    Ref c(Q3OrderedDisplayGroup_New());
    EXPECT_EQ(Q3Group_AddObject(a.get(), a.get()), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObjectForGroup);

    ASSERT_NE(Q3Group_AddObject(a.get(), b.get()), nullptr);
    ASSERT_NE(Q3Group_AddObject(b.get(), c.get()), nullptr);
    EXPECT_EQ(Q3Group_AddObject(c.get(), a.get()), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObjectForGroup);
    EXPECT_EQ(refCount(a.get()), 1u);

    // Sharing one group in two places is no cycle.
    EXPECT_NE(Q3Group_AddObject(a.get(), c.get()), nullptr);
}

TEST_F(Q3dTest, DeeplyNestedGroupsAreFreedWithoutRecursion) {
    constexpr int kDepth = 100000;  // far beyond what a recursive free survives
    TQ3Object root = Q3DisplayGroup_New();
    TQ3Object parent = root;
    for (int i = 0; i < kDepth; ++i) {
        TQ3Object child = Q3DisplayGroup_New();
        ASSERT_NE(Q3Group_AddObject(parent, child), nullptr) << "depth " << i;
        Q3Object_Dispose(child);  // the parent holds it now
        parent = child;
    }
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_ + kDepth + 1);
    EXPECT_EQ(Q3Object_Dispose(root), kQ3Success);
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_);
}

TEST_F(Q3dTest, CallersInCUseTheSameApi) { EXPECT_EQ(q3dtestBuildSceneFromC(), 1); }

}  // namespace
