// How submitted content builds the view's state: transforms, push and pop,
// display groups and their order, and the bounding boxes that measure it.
#include <cmath>
#include <utility>

#include "tests/q3d_views/ViewTestSupport.h"

namespace viewtest {
namespace {

class TraversalTest : public ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        view_.reset(Q3View_New());
        ASSERT_NE(view_, nullptr);
    }
    void TearDown() override {
        view_.reset();
        ViewTest::TearDown();
    }
    Ref view_;
};

void expectBox(const TQ3BoundingBox& box, TQ3Point3D min, TQ3Point3D max, float tolerance = 1e-5f) {
    ASSERT_EQ(box.isEmpty, kQ3False) << box;
    EXPECT_NEAR(box.min.x, min.x, tolerance) << box;
    EXPECT_NEAR(box.min.y, min.y, tolerance) << box;
    EXPECT_NEAR(box.min.z, min.z, tolerance) << box;
    EXPECT_NEAR(box.max.x, max.x, tolerance) << box;
    EXPECT_NEAR(box.max.y, max.y, tolerance) << box;
    EXPECT_NEAR(box.max.z, max.z, tolerance) << box;
}

TQ3Matrix4x4 rotationZ(float radians) {
    const float c = std::cos(radians), s = std::sin(radians);
    return TQ3Matrix4x4{{{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

TEST_F(TraversalTest, ExactBoundsOfATransformedBoxAreItsTransformedCorners) {
    Ref b = box({0, 0, 0}, {1, 2, 3});
    // A quarter turn about Z, then a shift: x' = −y + 10, y' = x.
    const TQ3Matrix4x4 turn = rotationZ(float(M_PI / 2));
    const TQ3Matrix4x4 shift = translation(10, 0, 0);
    const TQ3BoundingBox box = boundsOf(view_.get(), kQ3ComputeBoundsExact, [&](TQ3ViewObject view) {
        ASSERT_EQ(Q3MatrixTransform_Submit(&shift, view), kQ3Success);
        ASSERT_EQ(Q3MatrixTransform_Submit(&turn, view), kQ3Success);
        ASSERT_EQ(Q3Geometry_Submit(b.get(), view), kQ3Success);
    });
    expectBox(box, {8, 0, 0}, {10, 1, 3});
}

TEST_F(TraversalTest, ApproximateBoundsNeverFallInsideTheExactOnes) {
    TQ3EllipsoidData data{};
    data.origin = {1, 2, 3};
    data.orientation = {0, 0, 1};
    data.majorRadius = {2, 0, 0};
    data.minorRadius = {0, 1, 0};
    data.uMax = data.vMax = 1;
    Ref ellipsoid(Q3Ellipsoid_New(&data));
    const TQ3Matrix4x4 turn = rotationZ(0.4f);
    auto submit = [&](TQ3ViewObject view) {
        Q3MatrixTransform_Submit(&turn, view);
        Q3Geometry_Submit(ellipsoid.get(), view);
    };
    const TQ3BoundingBox exact = boundsOf(view_.get(), kQ3ComputeBoundsExact, submit);
    const TQ3BoundingBox approximate = boundsOf(view_.get(), kQ3ComputeBoundsApproximate, submit);
    // The turned ellipse's half extents: sqrt((2c)² + s²) and sqrt((2s)² + c²).
    const float c = std::cos(0.4f), s = std::sin(0.4f);
    const float cx = 1 * c - 2 * s, cy = 1 * s + 2 * c;
    const float hx = std::hypot(2 * c, s), hy = std::hypot(2 * s, c);
    expectBox(exact, {cx - hx, cy - hy, 2}, {cx + hx, cy + hy, 4});
    EXPECT_LT(approximate.min.x, exact.min.x);
    EXPECT_LT(approximate.min.y, exact.min.y);
    EXPECT_GT(approximate.max.x, exact.max.x);
    EXPECT_GT(approximate.max.y, exact.max.y);
}

TEST_F(TraversalTest, ExactBoundsOfAConeAreItsBaseEllipseAndApex) {
    TQ3ConeData data{};
    data.origin = {0, 0, 0};
    data.orientation = {0, 3, 0};
    data.majorRadius = {0, 0, 1};
    data.minorRadius = {1, 0, 0};
    data.uMax = data.vMax = 1;
    Ref cone(Q3Cone_New(&data));
    const TQ3BoundingBox box =
        boundsOf(view_.get(), kQ3ComputeBoundsExact, [&](TQ3ViewObject view) { Q3Geometry_Submit(cone.get(), view); });
    expectBox(box, {-1, 0, -1}, {1, 3, 1});
}

TEST_F(TraversalTest, NothingSubmittedGivesAnEmptyBox) {
    Ref group(Q3OrderedDisplayGroup_New());
    const TQ3BoundingBox box = boundsOf(view_.get(), kQ3ComputeBoundsExact, [&](TQ3ViewObject view) {
        ASSERT_EQ(Q3DisplayGroup_Submit(group.get(), view), kQ3Success);
    });
    EXPECT_EQ(box.isEmpty, kQ3True);
}

TEST_F(TraversalTest, PopRestoresTheTransformBeforeThePush) {
    Ref b = box({0, 0, 0}, {1, 1, 1});
    const TQ3Matrix4x4 shift = translation(5, 0, 0);
    const TQ3BoundingBox box = boundsOf(view_.get(), kQ3ComputeBoundsExact, [&](TQ3ViewObject view) {
        ASSERT_EQ(Q3Push_Submit(view), kQ3Success);
        Q3MatrixTransform_Submit(&shift, view);
        Q3Geometry_Submit(b.get(), view);  // at 5..6
        ASSERT_EQ(Q3Pop_Submit(view), kQ3Success);
        Q3Geometry_Submit(b.get(), view);  // back at 0..1
    });
    expectBox(box, {0, 0, 0}, {6, 1, 1});
    // Checked apart: only the popped submit.
    const TQ3BoundingBox second = boundsOf(view_.get(), kQ3ComputeBoundsExact, [&](TQ3ViewObject view) {
        Q3Push_Submit(view);
        Q3MatrixTransform_Submit(&shift, view);
        Q3Pop_Submit(view);
        Q3Geometry_Submit(b.get(), view);
    });
    expectBox(second, {0, 0, 0}, {1, 1, 1});
}

TEST_F(TraversalTest, OrderedGroupAppliesATransformAddedAfterItsGeometry) {
    Ref b = box({0, 0, 0}, {1, 1, 1});
    const TQ3Matrix4x4 shift = translation(0, 7, 0);
    Ref transform(Q3MatrixTransform_New(&shift));
    Ref ordered(Q3OrderedDisplayGroup_New());
    Ref plain(Q3DisplayGroup_New());
    for (TQ3GroupObject group : {ordered.get(), plain.get()}) {
        ASSERT_NE(Q3Group_AddObject(group, b.get()), nullptr);
        ASSERT_NE(Q3Group_AddObject(group, transform.get()), nullptr);
    }
    auto measure = [&](TQ3GroupObject group) {
        return boundsOf(view_.get(), kQ3ComputeBoundsExact,
                        [&](TQ3ViewObject view) { ASSERT_EQ(Q3DisplayGroup_Submit(group, view), kQ3Success); });
    };
    expectBox(measure(ordered.get()), {0, 7, 0}, {1, 8, 1});
    // A plain display group keeps the adding order: the transform comes too late.
    expectBox(measure(plain.get()), {0, 0, 0}, {1, 1, 1});
}

TEST_F(TraversalTest, GroupStateEndsWithTheGroupAndNestsInsideIt) {
    Ref b = box({0, 0, 0}, {1, 1, 1});
    const TQ3Matrix4x4 up = translation(0, 10, 0);
    const TQ3Matrix4x4 right = translation(100, 0, 0);
    Ref upTransform(Q3MatrixTransform_New(&up));
    Ref rightTransform(Q3MatrixTransform_New(&right));
    Ref inner(Q3OrderedDisplayGroup_New());
    Q3Group_AddObject(inner.get(), rightTransform.get());
    Q3Group_AddObject(inner.get(), b.get());
    Ref outer(Q3OrderedDisplayGroup_New());
    Q3Group_AddObject(outer.get(), upTransform.get());
    Q3Group_AddObject(outer.get(), inner.get());
    Q3Group_AddObject(outer.get(), b.get());  // after the inner group: up only

    const TQ3BoundingBox inside = boundsOf(view_.get(), kQ3ComputeBoundsExact,
                                           [&](TQ3ViewObject view) { Q3DisplayGroup_Submit(outer.get(), view); });
    expectBox(inside, {0, 10, 0}, {101, 11, 1});
    const TQ3BoundingBox after = boundsOf(view_.get(), kQ3ComputeBoundsExact, [&](TQ3ViewObject view) {
        Q3DisplayGroup_Submit(outer.get(), view);
        Q3Geometry_Submit(b.get(), view);
    });
    expectBox(after, {0, 0, 0}, {101, 11, 1});
}

TEST_F(TraversalTest, NestedGroupsAddUpTheirTransforms) {
    Ref b = box({0, 0, 0}, {1, 1, 1});
    const TQ3Matrix4x4 step = translation(1, 0, 0);
    Ref transform(Q3MatrixTransform_New(&step));
    Ref root(Q3OrderedDisplayGroup_New());
    Q3Group_AddObject(root.get(), b.get());
    constexpr int kDepth = 500;
    for (int i = 0; i < kDepth; ++i) {
        Ref parent(Q3OrderedDisplayGroup_New());
        Q3Group_AddObject(parent.get(), transform.get());
        Q3Group_AddObject(parent.get(), root.get());
        root = std::move(parent);
    }
    const TQ3BoundingBox box = boundsOf(view_.get(), kQ3ComputeBoundsExact,
                                        [&](TQ3ViewObject view) { Q3DisplayGroup_Submit(root.get(), view); });
    expectBox(box, {kDepth, 0, 0}, {kDepth + 1, 1, 1});
}

}  // namespace
}  // namespace viewtest
