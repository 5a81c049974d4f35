// Boxes, ellipsoids, cones and lines: data round trips, shared attribute
// sets, emptying, refusals.
#include <cstring>

#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DSet.h"
#include "tests/q3d/Q3dTestSupport.h"

namespace {

using q3dtest::Q3dTest;
using q3dtest::Ref;
using q3dtest::refCount;

// Records hold floats and pointers only: compared bytewise.
template <class Record>
bool sameBytes(const Record& a, const Record& b) {
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

TQ3EllipsoidData sphereData(TQ3AttributeSet set) {
    TQ3EllipsoidData data{};
    data.origin = {1, 2, 3};
    data.orientation = {0, 0.1f, 0};
    data.majorRadius = {0, 0, 0.1f};
    data.minorRadius = {0.1f, 0, 0};
    data.uMax = data.vMax = 1;
    data.caps = kQ3EndCapMaskTop | kQ3EndCapMaskBottom;
    data.ellipsoidAttributeSet = set;
    return data;
}

TQ3ConeData coneData(TQ3AttributeSet set) {
    TQ3ConeData data{};
    data.orientation = {0, 0, -0.15f};
    data.majorRadius = {0, 0.1f, 0};
    data.minorRadius = {0.1f, 0, 0};
    data.uMax = data.vMax = 1;
    data.caps = kQ3EndCapMaskBottom;
    data.coneAttributeSet = set;
    data.bottomAttributeSet = set;  // one set in two places: two references
    return data;
}

TEST_F(Q3dTest, GeometryGivesBackWhatItWasGivenAndSharesItsSets) {
    Ref set(Q3AttributeSet_New());
    const TQ3ColorRGB yellow{1, 1, 0};
    ASSERT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeDiffuseColor, &yellow), kQ3Success);

    TQ3BoxData box{{-0.5f, -0.5f, -0.5f}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}, nullptr, set.get()};
    TQ3EllipsoidData sphere = sphereData(set.get());
    TQ3ConeData cone = coneData(set.get());
    TQ3LineData line{{{{0, 0, 0}, nullptr}, {{1, 1, 1}, set.get()}}, set.get()};
    Ref boxObject(Q3Box_New(&box));
    Ref sphereObject(Q3Ellipsoid_New(&sphere));
    Ref coneObject(Q3Cone_New(&cone));
    Ref lineObject(Q3Line_New(&line));
    ASSERT_NE(boxObject, nullptr);
    ASSERT_NE(sphereObject, nullptr);
    ASSERT_NE(coneObject, nullptr);
    ASSERT_NE(lineObject, nullptr);
    EXPECT_EQ(refCount(set.get()), 7u) << "each place a set is named holds a reference";
    EXPECT_EQ(Q3Geometry_GetType(coneObject.get()), kQ3GeometryTypeCone);
    EXPECT_EQ(Q3Object_IsDrawable(lineObject.get()), kQ3True);

    TQ3BoxData boxOut;
    TQ3EllipsoidData sphereOut;
    TQ3ConeData coneOut;
    TQ3LineData lineOut;
    ASSERT_EQ(Q3Box_GetData(boxObject.get(), &boxOut), kQ3Success);
    ASSERT_EQ(Q3Ellipsoid_GetData(sphereObject.get(), &sphereOut), kQ3Success);
    ASSERT_EQ(Q3Cone_GetData(coneObject.get(), &coneOut), kQ3Success);
    ASSERT_EQ(Q3Line_GetData(lineObject.get(), &lineOut), kQ3Success);
    EXPECT_TRUE(sameBytes(boxOut, box));
    EXPECT_TRUE(sameBytes(sphereOut, sphere));
    EXPECT_TRUE(sameBytes(coneOut, cone));
    EXPECT_TRUE(sameBytes(lineOut, line));
    EXPECT_EQ(refCount(set.get()), 13u) << "getting data hands out new references";

    // The set is the geometry's own: a change through it is the geometry's.
    const TQ3ColorRGB cyan{0, 1, 1};
    ASSERT_EQ(Q3AttributeSet_Add(sphereOut.ellipsoidAttributeSet, kQ3AttributeTypeDiffuseColor, &cyan), kQ3Success);
    TQ3ColorRGB seen{};
    ASSERT_EQ(Q3AttributeSet_Get(set.get(), kQ3AttributeTypeDiffuseColor, &seen), kQ3Success);
    EXPECT_EQ(seen.r, 0.0f);

    ASSERT_EQ(Q3Box_EmptyData(&boxOut), kQ3Success);
    ASSERT_EQ(Q3Ellipsoid_EmptyData(&sphereOut), kQ3Success);
    ASSERT_EQ(Q3Cone_EmptyData(&coneOut), kQ3Success);
    ASSERT_EQ(Q3Line_EmptyData(&lineOut), kQ3Success);
    EXPECT_EQ(refCount(set.get()), 7u);
    EXPECT_EQ(sphereOut.ellipsoidAttributeSet, nullptr) << "an emptied record names nothing";
    EXPECT_EQ(Q3Cone_EmptyData(&coneOut), kQ3Success) << "emptying twice releases nothing twice";
    EXPECT_EQ(refCount(set.get()), 7u);

    // Setting other data moves the references: the box drops its set.
    box.boxAttributeSet = nullptr;
    box.origin.x = 9;
    ASSERT_EQ(Q3Box_SetData(boxObject.get(), &box), kQ3Success);
    EXPECT_EQ(refCount(set.get()), 6u);
    ASSERT_EQ(Q3Box_GetData(boxObject.get(), &boxOut), kQ3Success);
    EXPECT_EQ(boxOut.origin.x, 9.0f);
    EXPECT_EQ(boxOut.boxAttributeSet, nullptr);
    ASSERT_EQ(Q3Box_EmptyData(&boxOut), kQ3Success);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNone);
}

TEST_F(Q3dTest, BoxFaceSetsComeBackInAnArrayThatEmptyingFrees) {
    Ref faces[6] = {Ref(Q3AttributeSet_New()), Ref(), Ref(Q3AttributeSet_New()),
                    Ref(),                     Ref(), Ref(Q3AttributeSet_New())};
    TQ3AttributeSet faceHandles[6];
    for (int i = 0; i < 6; ++i) faceHandles[i] = faces[i].get();
    TQ3BoxData box{{0, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}, faceHandles, nullptr};
    Ref boxObject(Q3Box_New(&box));
    ASSERT_NE(boxObject, nullptr);
    faceHandles[0] = nullptr;  // the box copied the array
    EXPECT_EQ(refCount(faces[0].get()), 2u);

    TQ3BoxData out;
    ASSERT_EQ(Q3Box_GetData(boxObject.get(), &out), kQ3Success);
    ASSERT_NE(out.faceAttributeSet, nullptr);
    EXPECT_NE(out.faceAttributeSet, faceHandles);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(out.faceAttributeSet[i], faces[i].get()) << "face " << i;
    EXPECT_EQ(refCount(faces[5].get()), 3u);
    ASSERT_EQ(Q3Box_EmptyData(&out), kQ3Success);
    EXPECT_EQ(out.faceAttributeSet, nullptr);
    EXPECT_EQ(refCount(faces[5].get()), 2u);

    boxObject.reset();
    EXPECT_EQ(refCount(faces[5].get()), 1u);
}

TEST_F(Q3dTest, GeometryRefusesBadDataAndKeepsWhatItHad) {
    Ref set(Q3AttributeSet_New());
    Ref group(Q3Group_New());
    TQ3EllipsoidData sphere = sphereData(set.get());
    Ref sphereObject(Q3Ellipsoid_New(&sphere));
    ASSERT_NE(sphereObject, nullptr);

    EXPECT_EQ(Q3Ellipsoid_New(nullptr), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);
    EXPECT_EQ(Q3Ellipsoid_GetData(sphereObject.get(), nullptr), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);

    TQ3EllipsoidData bad = sphere;
    bad.origin.x = 100;
    bad.caps = 8;
    EXPECT_EQ(Q3Ellipsoid_SetData(sphereObject.get(), &bad), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorParameterOutOfRange);
    bad.caps = kQ3EndCapNone;
    bad.interiorAttributeSet = group.get();
    EXPECT_EQ(Q3Ellipsoid_SetData(sphereObject.get(), &bad), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObjectType);
    EXPECT_EQ(refCount(group.get()), 1u);

    TQ3EllipsoidData out;
    ASSERT_EQ(Q3Ellipsoid_GetData(sphereObject.get(), &out), kQ3Success);
    EXPECT_EQ(out.origin.x, 1.0f) << "a refused set leaves the data as it was";
    ASSERT_EQ(Q3Ellipsoid_EmptyData(&out), kQ3Success);

    // A set handle that is no longer an object is refused, not dereferenced.
    TQ3AttributeSet stale = Q3AttributeSet_New();
    Q3Object_Dispose(stale);
    TQ3LineData line{{{{0, 0, 0}, stale}, {{1, 0, 0}, nullptr}}, nullptr};
    EXPECT_EQ(Q3Line_New(&line), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObject);

    // Data calls of one kind refuse geometry of another.
    TQ3ConeData cone;
    EXPECT_EQ(Q3Cone_GetData(sphereObject.get(), &cone), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObjectType);
}

}  // namespace
