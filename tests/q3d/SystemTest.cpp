// Initialisation, version, error channels and the fail seam.
#include <vector>

#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DSet.h"
#include "tests/q3d/Q3dTestSupport.h"

namespace {

using q3dtest::Q3dTest;
using q3dtest::Ref;

// Callers print these codes by name from their own tables; a shifted value
// would name the wrong error.
static_assert(kQ3ErrorNoRecovery == -28499 && kQ3ErrorLastFatalError == -28498);
static_assert(kQ3ErrorNotInitialized == -28490 && kQ3ErrorAlreadyInitialized == -28489);
static_assert(kQ3ErrorNULLParameter == -28481 && kQ3ErrorFileCancelled == -28456);
static_assert(kQ3ErrorInvalidObjectForGroup == -28398 && kQ3ErrorBoundingLoopFailed == -28378);
static_assert(kQ3WarningNoObjectSupportForDuplicateMethod == -28299);
static_assert(kQ3WarningInvalidObjectInGroupMetafile == -28261);
static_assert(kQ3NoticeMethodNotSupported == -28099 && kQ3NoticeFileCancelled == -28085);
static_assert(kQ3DisplayGroupTypeOrdered == 0x6f726467);  // 'ordg'

TEST_F(Q3dTest, InitialisationIsCountedAndObjectsOutliveExit) {
    // A second plug-in initialising is told so by a notice, not an error.
    ASSERT_EQ(Q3Initialize(), kQ3Success);
    EXPECT_EQ(Q3Notice_Get(nullptr), kQ3NoticeSystemAlreadyInitialized);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNone);

    // One of them shutting down leaves the library to the other.
    ASSERT_EQ(Q3Exit(), kQ3Success);
    EXPECT_EQ(Q3IsInitialized(), kQ3True);
    Ref group(Q3DisplayGroup_New());
    ASSERT_NE(group, nullptr);

    // The last exit shuts it down: creation refuses, held objects stay usable.
    ASSERT_EQ(Q3Exit(), kQ3Success);
    EXPECT_EQ(Q3IsInitialized(), kQ3False);
    EXPECT_EQ(Q3Group_New(), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNotInitialized);
    EXPECT_EQ(Q3Exit(), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNotInitialized);

    Ref extra(Q3Shared_GetReference(group.get()));
    EXPECT_EQ(extra.get(), group.get());
    EXPECT_EQ(q3dtest::refCount(group.get()), 2u);
    extra.reset();
    group.reset();
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNone);

    ASSERT_EQ(Q3Initialize(), kQ3Success);  // for TearDown
    EXPECT_EQ(Q3Notice_Get(nullptr), kQ3NoticeNone);
}

// The last exit gives back the memory kept for objects and large buffers,
// unless an object outlives it; a handle from before then is refused, and
// the library starts again empty at the next initialisation.
TEST_F(Q3dTest, LastExitWithNothingLiveGivesTheMemoryBack) {
    auto fill = [] {
        // Sets spread over pool chunks, and a grid whose arrays and lent
        // vertex array are large buffers (kept for reuse once freed).
        std::vector<Ref> sets;
        for (int i = 0; i < 20000; ++i) sets.emplace_back(Q3AttributeSet_New());
        std::vector<TQ3Vertex3D> vertices(512 * 512, TQ3Vertex3D{{0, 0, 0}, nullptr});
        const TQ3TriGridData data{512, 512, vertices.data(), nullptr, nullptr};
        Ref grid(Q3TriGrid_New(&data));
        TQ3TriGridData lent;
        EXPECT_EQ(Q3TriGrid_GetData(grid.get(), &lent), kQ3Success);
        EXPECT_EQ(Q3TriGrid_EmptyData(&lent), kQ3Success);
        return sets.back().get();  // disposed with the rest
    };

    // TearDown's exit is the last one: drop the fixture's count first.
    ASSERT_EQ(Q3Exit(), kQ3Success);
    ASSERT_EQ(Q3Initialize(), kQ3Success);
    fill();
    EXPECT_GT(Q3Testing_HeldBytes(), 0u);

    // An object alive at the last exit keeps everything.
    Ref survivor(Q3AttributeSet_New());
    const TQ3Uns64 held = Q3Testing_HeldBytes();
    ASSERT_EQ(Q3Exit(), kQ3Success);
    EXPECT_EQ(Q3Testing_HeldBytes(), held);
    const TQ3Vector3D up{0, 1, 0};
    EXPECT_EQ(Q3AttributeSet_Add(survivor.get(), kQ3AttributeTypeNormal, &up), kQ3Success);
    survivor.reset();

    ASSERT_EQ(Q3Initialize(), kQ3Success);
    const TQ3Object stale = fill();
    ASSERT_EQ(Q3Exit(), kQ3Success);
    EXPECT_EQ(Q3Testing_HeldBytes(), 0u);
    EXPECT_EQ(Q3Object_Dispose(stale), kQ3Failure) << "a handle into freed memory is refused, not read";
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObject);

    ASSERT_EQ(Q3Initialize(), kQ3Success);  // for TearDown, and to work again
    fill();
}

TEST_F(Q3dTest, VersionDefaultsTo16AndCanBeFaked) {
    TQ3Uns32 major = 0, minor = 0;
    ASSERT_EQ(Q3GetVersion(&major, &minor), kQ3Success);
    EXPECT_EQ(major, 1u);
    EXPECT_EQ(minor, 6u);

    Q3Testing_SetVersion(1, 4);
    ASSERT_EQ(Q3GetVersion(&major, &minor), kQ3Success);
    EXPECT_EQ(major, 1u);
    EXPECT_EQ(minor, 4u);

    Q3Testing_Reset();
    ASSERT_EQ(Q3GetVersion(&major, &minor), kQ3Success);
    EXPECT_EQ(minor, 6u);

    EXPECT_EQ(Q3GetVersion(nullptr, &minor), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);

    Q3Testing_FailCall("Q3GetVersion", kQ3ErrorUnimplemented, 0);
    EXPECT_EQ(Q3GetVersion(&major, &minor), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorUnimplemented);
}

TEST_F(Q3dTest, ErrorGetReturnsLatestHandsOutFirstAndClears) {
    EXPECT_EQ(Q3Object_Dispose(nullptr), kQ3Failure);  // kQ3ErrorNULLParameter
    Q3Testing_FailCall("Q3Group_New", kQ3ErrorOutOfMemory, 0);
    EXPECT_EQ(Q3Group_New(), nullptr);
    EXPECT_EQ(Q3Exit(), kQ3Success);
    EXPECT_EQ(Q3Exit(), kQ3Failure);  // kQ3ErrorNotInitialized
    ASSERT_EQ(Q3Initialize(), kQ3Success);

    TQ3Error first = kQ3ErrorNone;
    EXPECT_EQ(Q3Error_Get(&first), kQ3ErrorNotInitialized);
    EXPECT_EQ(first, kQ3ErrorNULLParameter);
    EXPECT_EQ(Q3Error_Get(&first), kQ3ErrorNone);
    EXPECT_EQ(first, kQ3ErrorNone);
}

TEST_F(Q3dTest, ArmedFailureFiresOnTheChosenCallOnce) {
    Q3Testing_FailCall("Q3DisplayGroup_New", kQ3ErrorOutOfMemory, 2);
    Ref first(Q3DisplayGroup_New());
    Ref second(Q3DisplayGroup_New());
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNone);
    EXPECT_EQ(Q3DisplayGroup_New(), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorOutOfMemory);
    Ref fourth(Q3DisplayGroup_New());
    EXPECT_NE(fourth, nullptr) << "a fired failure must disarm";

    // Other functions are not affected; arming again replaces; clearing disarms.
    Q3Testing_FailCall("Q3LightGroup_New", kQ3ErrorOutOfMemory, 0);
    Q3Testing_FailCall("Q3LightGroup_New", kQ3ErrorInvalidParameter, 1);
    Ref plain(Q3Group_New());
    Ref light(Q3LightGroup_New());
    EXPECT_NE(plain, nullptr);
    EXPECT_NE(light, nullptr);
    EXPECT_EQ(Q3LightGroup_New(), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidParameter);

    Q3Testing_FailCall("Q3OrderedDisplayGroup_New", kQ3ErrorOutOfMemory, 0);
    Q3Testing_ClearFailures();
    Ref ordered(Q3OrderedDisplayGroup_New());
    EXPECT_NE(ordered, nullptr);
}

TEST_F(Q3dTest, ArmedFailureOfSetterLeavesStateUnchanged) {
    Ref group(Q3DisplayGroup_New());
    Ref member(Q3DisplayGroup_New());

    Q3Testing_FailCall("Q3Group_AddObject", kQ3ErrorInvalidObjectForGroup, 0);
    EXPECT_EQ(Q3Group_AddObject(group.get(), member.get()), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObjectForGroup);
    EXPECT_EQ(q3dtest::refCount(member.get()), 1u);

    Q3Testing_FailCall("Q3Group_CountObjects", kQ3ErrorUnimplemented, 0);
    TQ3Uns32 count = 99;
    EXPECT_EQ(Q3Group_CountObjects(group.get(), &count), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorUnimplemented);
    ASSERT_EQ(Q3Group_CountObjects(group.get(), &count), kQ3Success);
    EXPECT_EQ(count, 0u);

    // A failing dispose keeps the reference: nothing is freed behind the caller.
    Q3Testing_FailCall("Q3Object_Dispose", kQ3ErrorUnimplemented, 0);
    EXPECT_EQ(Q3Object_Dispose(member.get()), kQ3Failure);
    EXPECT_EQ(q3dtest::refCount(member.get()), 1u);
}

TEST_F(Q3dTest, FailedInitializeLeavesLibraryUninitialised) {
    ASSERT_EQ(Q3Exit(), kQ3Success);
    ASSERT_EQ(Q3IsInitialized(), kQ3False);

    Q3Testing_FailCall("Q3Initialize", kQ3ErrorRegistrationFailed, 0);
    EXPECT_EQ(Q3Initialize(), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorRegistrationFailed);
    EXPECT_EQ(Q3IsInitialized(), kQ3False);
    EXPECT_EQ(Q3DisplayGroup_New(), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNotInitialized);

    ASSERT_EQ(Q3Initialize(), kQ3Success);
    EXPECT_EQ(Q3IsInitialized(), kQ3True);
}

}  // namespace
