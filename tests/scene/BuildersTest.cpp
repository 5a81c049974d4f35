// The owning slot's sharing rules and the object builders: what they make,
// and that a failure halfway releases everything made before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DSet.h"
#include "platform/q3d/QD3DTransform.h"
#include "scene/builders/Builders.h"
#include "scene/builders/Constants.h"
#include "scene/builders/FaceLabels.h"
#include "scene/builders/ObjectRef.h"
#include "scene/builders/Shapes.h"
#include "shell/ErrData.h"
#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DTesting.h"

// Printing and comparing QuickDraw 3D colours; at global scope, where
// GoogleTest's lookup finds them.
static std::ostream& operator<<(std::ostream& os, const TQ3ColorRGB& c) {
  return os << "rgb(" << c.r << ", " << c.g << ", " << c.b << ')';
}
static bool operator==(const TQ3ColorRGB& a, const TQ3ColorRGB& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

namespace vask {
namespace {

// Each test starts initialised with no armed failures and must leave exactly
// as many live objects as it found.
class Q3Fixture : public ::testing::Test {
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

class ObjectRefTest : public Q3Fixture {};
class BuildersTest : public Q3Fixture {};

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

TQ3Uns32 refCount(TQ3Object object) { return Q3Shared_GetReferenceCount(object); }

TQ3ColorRGB diffuseOf(TQ3AttributeSet set) {
  TQ3ColorRGB color{-1, -1, -1};
  EXPECT_EQ(Q3AttributeSet_Get(set, kQ3AttributeTypeDiffuseColor, &color), kQ3Success);
  return color;
}

Vec3 vec(const TQ3Vector3D& v) { return {v.x, v.y, v.z}; }
Vec3 vec(const TQ3Point3D& p) { return {p.x, p.y, p.z}; }

// The members of a group, as new references.
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

TEST_F(ObjectRefTest, CopySharesAndDestructionReleases) {
  const TQ3Uns32 live = Q3Testing_LiveObjectCount();
  {
    ObjectRef group;
    makeOrderedGroup(group);
    ASSERT_TRUE(group);
    EXPECT_EQ(refCount(group.get()), 1u);
    {
      ObjectRef copy(group);
      EXPECT_EQ(copy.get(), group.get());
      EXPECT_EQ(refCount(group.get()), 2u);
    }
    EXPECT_EQ(refCount(group.get()), 1u);
    ObjectRef empty;
    ObjectRef copyOfEmpty(empty);
    EXPECT_FALSE(copyOfEmpty);
  }
  EXPECT_EQ(Q3Testing_LiveObjectCount(), live);
}

TEST_F(ObjectRefTest, AssignmentKeepsTheTargetWhenTheSourceIsEmpty) {
  ObjectRef target, other;
  makeOrderedGroup(target);
  makeOrderedGroup(other);
  const TQ3Object kept = target.get();

  ObjectRef empty;
  target = empty;
  EXPECT_EQ(target.get(), kept);
  target = ObjectRef{};
  EXPECT_EQ(target.get(), kept);
  target = target;
  EXPECT_EQ(target.get(), kept);
  EXPECT_EQ(refCount(kept), 1u);

  // A real source: the target's old object goes, the new one is shared.
  const TQ3Uns32 live = Q3Testing_LiveObjectCount();
  target = other;
  EXPECT_EQ(target.get(), other.get());
  EXPECT_EQ(refCount(other.get()), 2u);
  EXPECT_EQ(Q3Testing_LiveObjectCount(), live - 1) << "the replaced group must be released";

  // Moving hands the reference over without a new one.
  ObjectRef moved = std::move(other);
  EXPECT_FALSE(other);
  EXPECT_EQ(refCount(moved.get()), 2u);

  // Two slots holding one object: assigning one to the other keeps it alive.
  target = moved;
  EXPECT_EQ(refCount(moved.get()), 2u);

  TQ3Object raw = moved.release();
  EXPECT_FALSE(moved);
  EXPECT_EQ(Q3Object_Dispose(raw), kQ3Success);
}

TEST_F(BuildersTest, TransformHoldsIdentityThenTheWidenedMatrix) {
  ObjectRef transform;
  makeIdentityTransform(transform);
  TQ3Matrix4x4 m;
  ASSERT_EQ(Q3MatrixTransform_Get(transform.get(), &m), kQ3Success);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(m.value[r][c], r == c ? 1.0f : 0.0f) << r << ", " << c;

  setTransformMatrix(transform, setMatrix(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12));
  ASSERT_EQ(Q3MatrixTransform_Get(transform.get(), &m), kQ3Success);
  EXPECT_EQ(m.value[3][0], 10.0f);
  EXPECT_EQ(m.value[1][2], 6.0f);
  EXPECT_EQ(m.value[2][3], 0.0f);
  EXPECT_EQ(m.value[3][3], 1.0f);
}

TEST_F(BuildersTest, FailuresRaiseTheQuickDrawError) {
  ObjectRef group;
  makeOrderedGroup(group);
  Q3Testing_FailCall("Q3OrderedDisplayGroup_New", kQ3ErrorOutOfMemory, 0);
  EXPECT_EQ(raisedBy([&] { makeOrderedGroup(group); }), ErrData::quickDraw(kQ3ErrorOutOfMemory));
  EXPECT_FALSE(group) << "the old object is released before the new one is made";

  // Empty slots and refused members are errors, not silent no-ops.
  ObjectRef empty;
  EXPECT_THROW(setTransformMatrix(empty, identityMatrix()), ErrData);
  makeOrderedGroup(group);
  EXPECT_THROW(addToGroup(group, group), ErrData);
  EXPECT_THROW(addToGroup(empty, group), ErrData);
}

TEST_F(BuildersTest, UnitBoxFromTheCornerSpansHalfAUnitEachWay) {
  const ObjectRef box = makeBox({-0.5f, -0.5f, -0.5f}, kXAxis, kYAxis, kZAxis, 1, 1, 1, colors::kWhite);
  TQ3BoxData data{};
  ASSERT_EQ(Q3Box_GetData(box.get(), &data), kQ3Success);
  Vec3 low{1e9f, 1e9f, 1e9f}, high{-1e9f, -1e9f, -1e9f};
  for (int corner = 0; corner < 8; ++corner) {
    const Vec3 p = vec(data.origin) + vec(data.minorAxis) * float(corner & 1) +
                   vec(data.orientation) * float((corner >> 1) & 1) +
                   vec(data.majorAxis) * float((corner >> 2) & 1);
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
  }
  EXPECT_EQ(low, (Vec3{-0.5f, -0.5f, -0.5f}));
  EXPECT_EQ(high, (Vec3{0.5f, 0.5f, 0.5f}));
  EXPECT_EQ(diffuseOf(data.boxAttributeSet), (TQ3ColorRGB{1, 1, 1}));
  EXPECT_EQ(data.faceAttributeSet, nullptr);
  EXPECT_EQ(Q3Box_EmptyData(&data), kQ3Success);

  // Each axis goes with its own scale: u is the width, v the height, w the depth.
  const ObjectRef scaled = makeBox(kOrigin, kXAxis, kYAxis, kZAxis, 2, 3, 4, colors::kRed);
  ASSERT_EQ(Q3Box_GetData(scaled.get(), &data), kQ3Success);
  EXPECT_EQ(vec(data.minorAxis), (Vec3{2, 0, 0}));
  EXPECT_EQ(vec(data.orientation), (Vec3{0, 3, 0}));
  EXPECT_EQ(vec(data.majorAxis), (Vec3{0, 0, 4}));
  EXPECT_EQ(Q3Box_EmptyData(&data), kQ3Success);
}

TEST_F(BuildersTest, EllipsoidAndLineCarryTheirShapeAndColour) {
  const ObjectRef sphere = makeEllipsoid(kOrigin, kXAxis, kYAxis, kZAxis, 0.05f, 0.05f, 0.05f, colors::kRed);
  TQ3EllipsoidData e{};
  ASSERT_EQ(Q3Ellipsoid_GetData(sphere.get(), &e), kQ3Success);
  EXPECT_EQ(vec(e.minorRadius), (Vec3{0.05f, 0, 0}));
  EXPECT_EQ(vec(e.orientation), (Vec3{0, 0.05f, 0}));
  EXPECT_EQ(vec(e.majorRadius), (Vec3{0, 0, 0.05f}));
  EXPECT_EQ(e.caps, TQ3EndCap{kQ3EndCapMaskTop | kQ3EndCapMaskBottom});
  EXPECT_EQ(e.uMax - e.uMin, 1.0f);
  EXPECT_EQ(e.vMax - e.vMin, 1.0f);
  EXPECT_EQ(diffuseOf(e.ellipsoidAttributeSet), (TQ3ColorRGB{1, 0, 0}));
  EXPECT_EQ(Q3Ellipsoid_EmptyData(&e), kQ3Success);

  const ObjectRef axis = makeLine(kOrigin, {0, 0.75f, 0}, colors::kYellow);
  TQ3LineData l{};
  ASSERT_EQ(Q3Line_GetData(axis.get(), &l), kQ3Success);
  EXPECT_EQ(vec(l.vertices[1].point), (Vec3{0, 0.75f, 0}));
  EXPECT_EQ(diffuseOf(l.lineAttributeSet), (TQ3ColorRGB{1, 1, 0}));
  EXPECT_EQ(Q3Line_EmptyData(&l), kQ3Success);
}

TEST_F(BuildersTest, FaceLabelsLieJustOutsideTheirFaces) {
  // Plane of each label: axis index and side.
  constexpr int kAxis[6] = {2, 0, 2, 0, 1, 1};
  constexpr float kSide[6] = {1, 1, -1, -1, 1, -1};
  int32_t next = 0;
  for (size_t g = 0; g < kFaceLabelGroups.size(); ++g) {
    const FaceLabelGroup label = kFaceLabelGroups[g];
    EXPECT_EQ(label.first, next) << "group " << g << " must follow the previous one";
    next = label.first + label.count;
    for (int32_t i = label.first; i < next; ++i) {
      const FaceLabelSegment& s = kFaceLabelSegments[static_cast<size_t>(i)];
      for (int end = 0; end < 2; ++end) {
        for (int a = 0; a < 3; ++a) {
          const float value = s[static_cast<size_t>(end * 3 + a)];
          if (a == kAxis[g]) {
            EXPECT_EQ(value, kSide[g] * 0.52f) << "segment " << i << " end " << end;
          } else {
            EXPECT_LE(std::fabs(value), 0.4f) << "segment " << i << " end " << end;
          }
        }
      }
    }
  }
  EXPECT_EQ(next, 25);

  const ObjectRef labels = makeFaceLabels(colors::kBlack);
  EXPECT_EQ(Q3Object_GetLeafType(labels.get()), kQ3DisplayGroupTypeOrdered);
  const std::vector<ObjectRef> lines = membersOf(labels);
  ASSERT_EQ(lines.size(), 25u);
  TQ3AttributeSet shared = nullptr;
  for (size_t i = 0; i < lines.size(); ++i) {
    TQ3LineData l{};
    ASSERT_EQ(Q3Line_GetData(lines[i].get(), &l), kQ3Success) << "member " << i;
    const FaceLabelSegment& s = kFaceLabelSegments[i];
    EXPECT_EQ(vec(l.vertices[0].point), (Vec3{s[0], s[1], s[2]})) << "member " << i;
    EXPECT_EQ(vec(l.vertices[1].point), (Vec3{s[3], s[4], s[5]})) << "member " << i;
    if (i == 0) {
      shared = l.lineAttributeSet;
      EXPECT_EQ(diffuseOf(shared), (TQ3ColorRGB{0, 0, 0}));
    }
    EXPECT_EQ(l.lineAttributeSet, shared) << "member " << i << " should share the one colour set";
    EXPECT_EQ(Q3Line_EmptyData(&l), kQ3Success);
  }
}

TEST_F(BuildersTest, FailureHalfwayReleasesEverythingMadeBefore) {
  struct Case {
    const char* call;
    TQ3Uns32 skip;
  };
  const Case cases[] = {{"Q3Line_New", 10}, {"Q3Group_AddObject", 24}, {"Q3AttributeSet_Add", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    const TQ3Uns32 live = Q3Testing_LiveObjectCount();
    Q3Testing_FailCall(c.call, kQ3ErrorOutOfMemory, c.skip);
    EXPECT_EQ(raisedBy([] { (void)makeFaceLabels(colors::kBlack); }),
              ErrData::quickDraw(kQ3ErrorOutOfMemory));
    EXPECT_EQ(Q3Testing_LiveObjectCount(), live);
    Q3Testing_ClearFailures();
  }

  const TQ3Uns32 live = Q3Testing_LiveObjectCount();
  Q3Testing_FailCall("Q3Box_New", kQ3ErrorDegenerateGeometry, 0);
  EXPECT_EQ(raisedBy([] { (void)makeBox(kOrigin, kXAxis, kYAxis, kZAxis, 1, 1, 1, colors::kWhite); }),
            ErrData::quickDraw(kQ3ErrorDegenerateGeometry));
  EXPECT_EQ(Q3Testing_LiveObjectCount(), live) << "the colour set must go with the failed box";
}

}  // namespace
}  // namespace vask
