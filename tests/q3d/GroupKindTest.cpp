// Which kinds each group accepts and where an ordered display group puts
// them, with a stand-in for every kind, those made elsewhere (styles,
// cameras) included.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DTesting.h"
#include "platform/q3d/core/Object.h"

namespace {

using q3d::ClassInfo;

// Family links as the real families will declare them.
constexpr ClassInfo kTransform{kQ3ShapeTypeTransform, &q3d::Shape::kClass};
constexpr ClassInfo kStyle{kQ3ShapeTypeStyle, &q3d::Shape::kClass};
constexpr ClassInfo kShader{kQ3ShapeTypeShader, &q3d::Shape::kClass};
constexpr ClassInfo kCamera{kQ3ShapeTypeCamera, &q3d::Shape::kClass};
constexpr ClassInfo kLight{kQ3ShapeTypeLight, &q3d::Shape::kClass};
constexpr ClassInfo kGeometry{kQ3ShapeTypeGeometry, &q3d::Shape::kClass};
constexpr ClassInfo kUnknown{kQ3ShapeTypeUnknown, &q3d::Shape::kClass};
constexpr ClassInfo kSet{kQ3SharedTypeSet, &q3d::SharedObject::kClass};
constexpr ClassInfo kStorage{kQ3SharedTypeStorage, &q3d::SharedObject::kClass};

constexpr ClassInfo kMatrix{kQ3TransformTypeMatrix, &kTransform};
constexpr ClassInfo kFill{kQ3StyleTypeFill, &kStyle};
constexpr ClassInfo kPhong{kQ3IlluminationTypePhong, &kShader};
constexpr ClassInfo kOrthographic{kQ3CameraTypeOrthographic, &kCamera};
constexpr ClassInfo kSpot{kQ3LightTypeSpot, &kLight};
constexpr ClassInfo kBox{kQ3GeometryTypeBox, &kGeometry};
constexpr ClassInfo kAttributes{kQ3SetTypeAttribute, &kSet};
constexpr ClassInfo kMemory{kQ3StorageTypeMemory, &kStorage};

class StandIn : public q3d::SharedObject {
public:
    explicit StandIn(const ClassInfo& info) : info_(info) {}
    const ClassInfo& classInfo() const override { return info_; }
    // Shapes and attribute sets are what a view can draw.
    bool isDrawable() const override { return isType(kQ3SharedTypeShape) || isType(kQ3SetTypeAttribute); }

private:
    const ClassInfo& info_;
};

TQ3Object make(const ClassInfo& info) { return q3d::adopt(std::make_unique<StandIn>(info)); }

std::vector<TQ3ObjectType> leafTypesOf(TQ3GroupObject group) {
    std::vector<TQ3ObjectType> types;
    TQ3GroupPosition position = nullptr;
    Q3Group_GetFirstPosition(group, &position);
    for (; position != nullptr; Q3Group_GetNextPosition(group, &position)) {
        TQ3Object member = nullptr;
        Q3Group_GetPositionObject(group, position, &member);
        types.push_back(Q3Object_GetLeafType(member));
        Q3Object_Dispose(member);
    }
    return types;
}

class GroupKindTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Q3Initialize(), kQ3Success);
        liveAtStart_ = Q3Testing_LiveObjectCount();
    }
    void TearDown() override {
        for (TQ3Object object : owned_) Q3Object_Dispose(object);
        EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_);
        Q3Exit();
    }
    TQ3Object own(TQ3Object object) {
        owned_.push_back(object);
        return object;
    }
    std::vector<TQ3Object> owned_;
    TQ3Uns32 liveAtStart_ = 0;
};

TEST_F(GroupKindTest, OrderedDisplayGroupSortsByKindAndKeepsAddingOrderWithin) {
    TQ3Object ordered = own(Q3OrderedDisplayGroup_New());
    TQ3Object subgroup = own(Q3DisplayGroup_New());
    TQ3Object box1 = own(make(kBox));
    TQ3Object box2 = own(make(kBox));
    TQ3Object matrix1 = own(make(kMatrix));
    TQ3Object matrix2 = own(make(kMatrix));
    // Deliberately scrambled; the two boxes and the two matrices must keep
    // their relative order.
    for (TQ3Object object : {own(make(kUnknown)), subgroup, box1, own(make(kSpot)), matrix1, own(make(kPhong)),
                             own(make(kOrthographic)), own(make(kAttributes)), box2, own(make(kFill)), matrix2}) {
        ASSERT_NE(Q3Group_AddObject(ordered, object), nullptr) << std::hex << Q3Object_GetLeafType(object);
    }
    EXPECT_EQ(leafTypesOf(ordered),
              (std::vector<TQ3ObjectType>{kQ3TransformTypeMatrix, kQ3TransformTypeMatrix, kQ3StyleTypeFill,
                                          kQ3SetTypeAttribute, kQ3IlluminationTypePhong, kQ3CameraTypeOrthographic,
                                          kQ3LightTypeSpot, kQ3GeometryTypeBox, kQ3GeometryTypeBox,
                                          kQ3GroupTypeDisplay, kQ3ShapeTypeUnknown}));

    TQ3GroupPosition position = nullptr;
    TQ3Object first = nullptr;
    Q3Group_GetFirstPosition(ordered, &position);
    Q3Group_GetPositionObject(ordered, position, &first);
    EXPECT_EQ(first, matrix1);
    Q3Object_Dispose(first);
}

TEST_F(GroupKindTest, EachGroupAcceptsOnlyItsKinds) {
    TQ3Object lights = own(Q3LightGroup_New());
    TQ3Object display = own(Q3DisplayGroup_New());
    TQ3Object spot = own(make(kSpot));
    TQ3Object box = own(make(kBox));
    TQ3Object storage = own(make(kMemory));

    EXPECT_NE(Q3Group_AddObject(lights, spot), nullptr);
    EXPECT_EQ(Q3Group_AddObject(lights, box), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObjectForGroup);
    EXPECT_EQ(Q3Group_AddObject(display, storage), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObjectForGroup);
    EXPECT_NE(Q3Group_AddObject(display, box), nullptr);
    EXPECT_EQ(Q3Shared_GetReferenceCount(spot), 2u);
    EXPECT_EQ(Q3Shared_GetReferenceCount(storage), 1u);
}

}  // namespace
