// Triangle grids: the build and refill sequence of a relief mesh, shared
// vertex sets, emptying, and every way a grid record can be malformed.
#include <cstring>
#include <vector>

#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DSet.h"
#include "tests/q3d/Q3dTestSupport.h"

namespace {

using q3dtest::Q3dTest;
using q3dtest::Ref;
using q3dtest::refCount;

// A rows × columns grid over the unit square, each vertex with a set holding
// its surface UV, made and released like the relief mesh does. The sets are
// returned disposed: the grid holds the only references.
struct GridFixture {
    std::vector<TQ3Vertex3D> vertices;
    Ref grid;

    GridFixture(TQ3Uns32 rows, TQ3Uns32 columns) : vertices(std::size_t{rows} * columns) {
        for (TQ3Uns32 r = 0; r < rows; ++r) {
            for (TQ3Uns32 c = 0; c < columns; ++c) {
                TQ3Vertex3D& v = vertices[std::size_t{r} * columns + c];
                v.point = {static_cast<float>(c), 0, static_cast<float>(r)};
                v.attributeSet = Q3AttributeSet_New();
                const TQ3Param2D uv{static_cast<float>(c), static_cast<float>(r)};
                Q3AttributeSet_Add(v.attributeSet, kQ3AttributeTypeSurfaceUV, &uv);
            }
        }
        const TQ3TriGridData data{rows, columns, vertices.data(), nullptr, nullptr};
        grid.reset(Q3TriGrid_New(&data));
        for (TQ3Vertex3D& v : vertices) Q3Object_Dispose(v.attributeSet);
    }
};

TEST_F(Q3dTest, TriGridRefillsThroughItsOwnSets) {
    GridFixture fixture(3, 4);
    ASSERT_NE(fixture.grid, nullptr);
    TQ3GeometryObject grid = fixture.grid.get();
    EXPECT_EQ(Q3Geometry_GetType(grid), kQ3GeometryTypeTriGrid);

    for (int frame = 0; frame < 3; ++frame) {
        TQ3TriGridData data;
        ASSERT_EQ(Q3TriGrid_GetData(grid, &data), kQ3Success) << "frame " << frame;
        ASSERT_EQ(data.numRows, 3u);
        ASSERT_EQ(data.numColumns, 4u);
        EXPECT_EQ(data.facetAttributeSet, nullptr);
        EXPECT_EQ(data.triGridAttributeSet, nullptr);
        for (std::size_t i = 0; i < 12; ++i) {
            TQ3Vertex3D& v = data.vertices[i];
            EXPECT_EQ(v.attributeSet, fixture.vertices[i].attributeSet) << "the grid hands out its own set " << i;
            EXPECT_EQ(refCount(v.attributeSet), 2u) << i;
            v.point.y = static_cast<float>(frame * 100 + i);
            const TQ3Vector3D normal{0, 1, static_cast<float>(frame)};
            ASSERT_EQ(Q3AttributeSet_Add(v.attributeSet, kQ3AttributeTypeNormal, &normal), kQ3Success);
        }
        ASSERT_EQ(Q3TriGrid_SetData(grid, &data), kQ3Success);
        ASSERT_EQ(Q3TriGrid_EmptyData(&data), kQ3Success);
        EXPECT_EQ(data.vertices, nullptr);
    }

    // The grid shows the last heights, and the normals added through the sets
    // it handed out, next to the UVs of the build.
    TQ3TriGridData data;
    ASSERT_EQ(Q3TriGrid_GetData(grid, &data), kQ3Success);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(data.vertices[i].point.y, static_cast<float>(200 + i)) << i;
        TQ3Vector3D normal{};
        TQ3Param2D uv{};
        ASSERT_EQ(Q3AttributeSet_Get(data.vertices[i].attributeSet, kQ3AttributeTypeNormal, &normal), kQ3Success);
        ASSERT_EQ(Q3AttributeSet_Get(data.vertices[i].attributeSet, kQ3AttributeTypeSurfaceUV, &uv), kQ3Success);
        EXPECT_EQ(normal.z, 2.0f) << i;
        EXPECT_EQ(uv.u, static_cast<float>(i % 4)) << i;
    }
    ASSERT_EQ(Q3TriGrid_EmptyData(&data), kQ3Success);
    EXPECT_EQ(refCount(fixture.vertices[5].attributeSet), 1u);
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_ + 13);
    fixture.grid.reset();
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_) << "the grid's sets go with it";
}

// The bulk refill: points and normals of a run of vertices in one call, the
// same as a get/add/set/empty refill, with every bad call refused whole.
TEST_F(Q3dTest, TriGridVertexRangeSetsPointsAndNormalsOrNothing) {
    GridFixture fixture(3, 4);
    TQ3GeometryObject grid = fixture.grid.get();
    std::vector<TQ3Point3D> points(12);
    std::vector<TQ3Vector3D> normals(12);
    for (std::size_t i = 0; i < 12; ++i) {
        points[i] = {static_cast<float>(i), 7.0f, -1.0f};
        normals[i] = {0, 1, static_cast<float>(i)};
    }
    // Vertices 4 … 7 (row 1), with normals; row 2 points only.
    ASSERT_EQ(Q3TriGrid_SetVertexRange(grid, 4, 4, points.data() + 4, normals.data() + 4), kQ3Success);
    ASSERT_EQ(Q3TriGrid_SetVertexRange(grid, 8, 4, points.data() + 8, nullptr), kQ3Success);

    auto expectUnchangedAfter = [&](TQ3Status status, TQ3Error error) {
        EXPECT_EQ(status, kQ3Failure);
        EXPECT_EQ(Q3Error_Get(nullptr), error);
    };
    const std::vector<TQ3Point3D> wrong(13, TQ3Point3D{-9, -9, -9});
    const std::vector<TQ3Vector3D> wrongNormals(13, TQ3Vector3D{-9, -9, -9});
    expectUnchangedAfter(Q3TriGrid_SetVertexRange(grid, 10, 3, wrong.data(), wrongNormals.data()),
                         kQ3ErrorParameterOutOfRange);
    expectUnchangedAfter(Q3TriGrid_SetVertexRange(grid, 0xFFFFFFFFu, 2, wrong.data(), nullptr),
                         kQ3ErrorParameterOutOfRange);
    expectUnchangedAfter(Q3TriGrid_SetVertexRange(grid, 0, 1, nullptr, nullptr), kQ3ErrorNULLParameter);
    expectUnchangedAfter(Q3TriGrid_SetVertexRange(fixture.vertices[0].attributeSet, 0, 1, wrong.data(), nullptr),
                         kQ3ErrorInvalidObjectType);

    TQ3TriGridData data;
    ASSERT_EQ(Q3TriGrid_GetData(grid, &data), kQ3Success);
    for (std::size_t i = 0; i < 12; ++i) {
        const TQ3Vertex3D& v = data.vertices[i];
        EXPECT_EQ(v.point.y, i < 4 ? 0.0f : 7.0f) << i;
        TQ3Vector3D normal{};
        const bool hasNormal = Q3AttributeSet_Get(v.attributeSet, kQ3AttributeTypeNormal, &normal) == kQ3Success;
        EXPECT_EQ(hasNormal, i >= 4 && i < 8) << i;
        if (hasNormal) {
            EXPECT_EQ(normal.z, static_cast<float>(i));
        }
        TQ3Param2D uv{};
        ASSERT_EQ(Q3AttributeSet_Get(v.attributeSet, kQ3AttributeTypeSurfaceUV, &uv), kQ3Success);
        EXPECT_EQ(uv.u, static_cast<float>(i % 4)) << "the build's UV stays, " << i;
    }
    // One vertex without a set: normals for a run holding it are refused,
    // before any point of the run changes; points alone are fine.
    data.vertices[1].attributeSet = nullptr;
    ASSERT_EQ(Q3TriGrid_SetData(grid, &data), kQ3Success);
    data.vertices[1].attributeSet = fixture.vertices[1].attributeSet;
    ASSERT_EQ(Q3TriGrid_EmptyData(&data), kQ3Success);
    expectUnchangedAfter(Q3TriGrid_SetVertexRange(grid, 0, 4, wrong.data(), wrongNormals.data()),
                         kQ3ErrorInvalidParameter);
    ASSERT_EQ(Q3TriGrid_GetData(grid, &data), kQ3Success);
    EXPECT_EQ(data.vertices[0].point.x, 0.0f);
    EXPECT_EQ(Q3AttributeSet_Contains(data.vertices[0].attributeSet, kQ3AttributeTypeNormal), kQ3False);
    ASSERT_EQ(Q3TriGrid_EmptyData(&data), kQ3Success);
    EXPECT_EQ(Q3TriGrid_SetVertexRange(grid, 0, 4, points.data(), nullptr), kQ3Success);
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_ + 12) << "no reference taken or dropped";
}

// A blank grid keeps its sets' values apart until a caller asks for the
// sets; from then on they are real sets, shared as any grid's are, and the
// range calls write through them.
TEST_F(Q3dTest, BlankGridHandsOutSetsHoldingItsValuesOnlyWhenAsked) {
    Ref grid(Q3TriGrid_NewBlank(2, 3, kQ3True, kQ3True));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_ + 1) << "no set object yet";
    std::vector<TQ3Point3D> points(6);
    std::vector<TQ3Vector3D> normals(6);
    std::vector<TQ3Param2D> uvs(6);
    for (std::size_t i = 0; i < 6; ++i) {
        points[i] = {static_cast<float>(i), 1, 2};
        normals[i] = {0, 1, static_cast<float>(i)};
        uvs[i] = {static_cast<float>(i), 0.5f};
    }
    ASSERT_EQ(Q3TriGrid_SetVertexRange(grid.get(), 0, 6, points.data(), normals.data()), kQ3Success);
    ASSERT_EQ(Q3TriGrid_SetVertexUVs(grid.get(), 3, 3, uvs.data() + 3), kQ3Success);
    EXPECT_EQ(Q3TriGrid_SetVertexUVs(grid.get(), 4, 3, uvs.data()), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorParameterOutOfRange);

    // The lent arrays are the values themselves: what the range calls
    // wrote, and what is written there is what the grid gives.
    TQ3Point3D* lentPoints = nullptr;
    TQ3Vector3D* lentNormals = nullptr;
    TQ3Param2D* lentUVs = nullptr;
    EXPECT_EQ(Q3TriGrid_GetVertexArrays(grid.get(), nullptr, &lentNormals, nullptr), kQ3Failure);
    ASSERT_EQ(Q3TriGrid_GetVertexArrays(grid.get(), &lentPoints, &lentNormals, &lentUVs), kQ3Success);
    ASSERT_NE(lentNormals, nullptr);
    ASSERT_NE(lentUVs, nullptr);
    EXPECT_EQ(lentNormals[4].z, 4.0f);
    EXPECT_EQ(lentUVs[4].u, 4.0f);
    lentPoints[1].y = 7.0f;

    TQ3TriGridData data;
    ASSERT_EQ(Q3TriGrid_GetData(grid.get(), &data), kQ3Success);
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_ + 7);
    EXPECT_EQ(data.vertices[1].point.y, 7.0f);
    ASSERT_EQ(Q3TriGrid_GetVertexArrays(grid.get(), &lentPoints, &lentNormals, &lentUVs), kQ3Success);
    EXPECT_EQ(lentNormals, nullptr) << "the values live in sets now";
    EXPECT_EQ(lentUVs, nullptr);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(data.vertices[i].point.x, static_cast<float>(i));
        TQ3Vector3D normal{};
        TQ3Param2D uv{};
        ASSERT_EQ(Q3AttributeSet_Get(data.vertices[i].attributeSet, kQ3AttributeTypeNormal, &normal), kQ3Success);
        ASSERT_EQ(Q3AttributeSet_Get(data.vertices[i].attributeSet, kQ3AttributeTypeSurfaceUV, &uv), kQ3Success);
        EXPECT_EQ(normal.z, static_cast<float>(i));
        EXPECT_EQ(uv.u, i < 3 ? 0.0f : static_cast<float>(i)) << "blank UVs are zero, " << i;
        EXPECT_EQ(refCount(data.vertices[i].attributeSet), 2u);
    }
    // A value added through a handed-out set is the grid's; a range call
    // reaches the set the caller holds.
    const TQ3Vector3D tilted{1, 0, 0};
    ASSERT_EQ(Q3AttributeSet_Add(data.vertices[2].attributeSet, kQ3AttributeTypeNormal, &tilted), kQ3Success);
    TQ3AttributeSet held = data.vertices[5].attributeSet;
    Q3Shared_GetReference(held);
    ASSERT_EQ(Q3TriGrid_EmptyData(&data), kQ3Success);
    ASSERT_EQ(Q3TriGrid_SetVertexRange(grid.get(), 5, 1, points.data(), &tilted), kQ3Success);
    TQ3Vector3D seen{};
    ASSERT_EQ(Q3AttributeSet_Get(held, kQ3AttributeTypeNormal, &seen), kQ3Success);
    EXPECT_EQ(seen.x, 1.0f);
    Q3Object_Dispose(held);
    ASSERT_EQ(Q3TriGrid_GetData(grid.get(), &data), kQ3Success);
    ASSERT_EQ(Q3AttributeSet_Get(data.vertices[2].attributeSet, kQ3AttributeTypeNormal, &seen), kQ3Success);
    EXPECT_EQ(seen.x, 1.0f);
    ASSERT_EQ(Q3TriGrid_EmptyData(&data), kQ3Success);

    // Normals for a grid made with UVs only: every vertex has a set, so they
    // go in; without any set they are refused and nothing changes.
    Ref uvOnly(Q3TriGrid_NewBlank(2, 2, kQ3False, kQ3True));
    ASSERT_EQ(Q3TriGrid_SetVertexRange(uvOnly.get(), 1, 2, points.data(), normals.data()), kQ3Success);
    ASSERT_EQ(Q3TriGrid_GetData(uvOnly.get(), &data), kQ3Success);
    EXPECT_EQ(Q3AttributeSet_Contains(data.vertices[0].attributeSet, kQ3AttributeTypeNormal), kQ3False);
    EXPECT_EQ(Q3AttributeSet_Contains(data.vertices[2].attributeSet, kQ3AttributeTypeNormal), kQ3True);
    EXPECT_EQ(Q3AttributeSet_Contains(data.vertices[3].attributeSet, kQ3AttributeTypeSurfaceUV), kQ3True);
    ASSERT_EQ(Q3TriGrid_EmptyData(&data), kQ3Success);
    Ref bare(Q3TriGrid_NewBlank(2, 2, kQ3False, kQ3False));
    EXPECT_EQ(Q3TriGrid_SetVertexUVs(bare.get(), 0, 1, uvs.data()), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidParameter);
    ASSERT_EQ(Q3TriGrid_GetData(bare.get(), &data), kQ3Success);
    EXPECT_EQ(data.vertices[0].attributeSet, nullptr);
    EXPECT_EQ(data.vertices[3].point.x, 0.0f);
    ASSERT_EQ(Q3TriGrid_EmptyData(&data), kQ3Success);

    // A record set back replaces the dense values like any other grid's.
    Ref replaced(Q3TriGrid_NewBlank(2, 2, kQ3True, kQ3False));
    TQ3Vertex3D plain[4] = {};
    const TQ3TriGridData record{2, 2, plain, nullptr, nullptr};
    ASSERT_EQ(Q3TriGrid_SetData(replaced.get(), &record), kQ3Success);
    ASSERT_EQ(Q3TriGrid_GetData(replaced.get(), &data), kQ3Success);
    EXPECT_EQ(data.vertices[1].attributeSet, nullptr);
    ASSERT_EQ(Q3TriGrid_EmptyData(&data), kQ3Success);

    EXPECT_EQ(Q3TriGrid_NewBlank(0, 4, kQ3True, kQ3True), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorGeometryInsufficientNumberOfPoints);
    EXPECT_EQ(Q3TriGrid_NewBlank(0x10000, 0x10000, kQ3True, kQ3True), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorParameterOutOfRange);
}

TEST_F(Q3dTest, TriGridSetDataMovesReferencesAndChangesSize) {
    GridFixture fixture(2, 2);
    Ref shared(Q3AttributeSet_New());
    Ref facet(Q3AttributeSet_New());
    TQ3GeometryObject grid = fixture.grid.get();

    // A bigger grid where every vertex shares one set, with facet and grid sets.
    std::vector<TQ3Vertex3D> vertices(2 * 3, TQ3Vertex3D{{1, 2, 3}, shared.get()});
    vertices[4].attributeSet = nullptr;
    TQ3AttributeSet facets[4] = {facet.get(), nullptr, facet.get(), nullptr};
    const TQ3TriGridData bigger{2, 3, vertices.data(), facets, shared.get()};
    ASSERT_EQ(Q3TriGrid_SetData(grid, &bigger), kQ3Success);
    EXPECT_EQ(refCount(shared.get()), 1u + 5 + 1);
    EXPECT_EQ(refCount(facet.get()), 3u);
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_ + 3) << "the old vertex sets went";

    TQ3TriGridData out;
    ASSERT_EQ(Q3TriGrid_GetData(grid, &out), kQ3Success);
    EXPECT_EQ(out.numColumns, 3u);
    ASSERT_NE(out.facetAttributeSet, nullptr);
    EXPECT_EQ(std::memcmp(out.facetAttributeSet, facets, sizeof facets), 0);
    EXPECT_EQ(out.triGridAttributeSet, shared.get());
    EXPECT_EQ(out.vertices[4].attributeSet, nullptr);
    EXPECT_EQ(refCount(shared.get()), 7u + 6);
    // Emptying trusts the array it lent, not a record changed since.
    out.numRows = 1000;
    ASSERT_EQ(Q3TriGrid_EmptyData(&out), kQ3Success);
    EXPECT_EQ(refCount(shared.get()), 7u);
    EXPECT_EQ(refCount(facet.get()), 3u);

    // Without sets at all: every reference goes back.
    for (TQ3Vertex3D& v : vertices) v.attributeSet = nullptr;
    const TQ3TriGridData plain{3, 2, vertices.data(), nullptr, nullptr};
    ASSERT_EQ(Q3TriGrid_SetData(grid, &plain), kQ3Success);
    EXPECT_EQ(refCount(shared.get()), 1u);
    EXPECT_EQ(refCount(facet.get()), 1u);
}

TEST_F(Q3dTest, TriGridRefusesMalformedRecordsAndKeepsItsSets) {
    GridFixture fixture(2, 2);
    TQ3GeometryObject grid = fixture.grid.get();
    std::vector<TQ3Vertex3D> vertices(4, TQ3Vertex3D{{5, 5, 5}, nullptr});

    const auto refused = [&](const TQ3TriGridData& data, TQ3Error expected, const char* what) {
        EXPECT_EQ(Q3TriGrid_New(&data), nullptr) << what;
        EXPECT_EQ(Q3Error_Get(nullptr), expected) << what;
        EXPECT_EQ(Q3TriGrid_SetData(grid, &data), kQ3Failure) << what;
        EXPECT_EQ(Q3Error_Get(nullptr), expected) << what;
    };
    refused({2, 2, nullptr, nullptr, nullptr}, kQ3ErrorNULLParameter, "no vertices");
    refused({0, 2, vertices.data(), nullptr, nullptr}, kQ3ErrorGeometryInsufficientNumberOfPoints, "no rows");
    refused({2, 0, vertices.data(), nullptr, nullptr}, kQ3ErrorGeometryInsufficientNumberOfPoints, "no columns");
    // 65536 × 65536 wraps to 0 in 32 bits: refused before any vertex is read.
    refused({65536, 65536, vertices.data(), nullptr, nullptr}, kQ3ErrorParameterOutOfRange, "too many vertices");

    Ref notASet(Q3Group_New());
    vertices[3].attributeSet = notASet.get();
    refused({2, 2, vertices.data(), nullptr, nullptr}, kQ3ErrorInvalidObjectType, "a group as a vertex set");
    vertices[3].attributeSet = nullptr;
    refused({2, 2, vertices.data(), nullptr, notASet.get()}, kQ3ErrorInvalidObjectType, "a group as the grid set");
    TQ3AttributeSet facets[2] = {nullptr, notASet.get()};
    refused({2, 2, vertices.data(), facets, nullptr}, kQ3ErrorInvalidObjectType, "a group as a facet set");
    EXPECT_EQ(refCount(notASet.get()), 1u);

    // A refill whose one changed set is stale keeps every set of the grid;
    // only some points may have been taken.
    TQ3TriGridData data;
    ASSERT_EQ(Q3TriGrid_GetData(grid, &data), kQ3Success);
    TQ3AttributeSet own = data.vertices[2].attributeSet;
    for (std::size_t i = 0; i < 4; ++i) data.vertices[i].point.y = 9;
    TQ3AttributeSet stale = Q3AttributeSet_New();
    Q3Object_Dispose(stale);
    data.vertices[2].attributeSet = stale;
    EXPECT_EQ(Q3TriGrid_SetData(grid, &data), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorInvalidObject);
    data.vertices[2].attributeSet = own;
    ASSERT_EQ(Q3TriGrid_EmptyData(&data), kQ3Success);
    ASSERT_EQ(Q3TriGrid_GetData(grid, &data), kQ3Success);
    EXPECT_EQ(data.vertices[2].attributeSet, own);
    EXPECT_EQ(refCount(own), 2u);
    ASSERT_EQ(Q3TriGrid_EmptyData(&data), kQ3Success);
    // A record of another size is checked whole before anything changes.
    std::vector<TQ3Vertex3D> wider(6, TQ3Vertex3D{{7, 7, 7}, nullptr});
    wider[5].attributeSet = stale;
    const TQ3TriGridData widerData{2, 3, wider.data(), nullptr, nullptr};
    EXPECT_EQ(Q3TriGrid_SetData(grid, &widerData), kQ3Failure);
    ASSERT_EQ(Q3TriGrid_GetData(grid, &data), kQ3Success);
    EXPECT_EQ(data.numColumns, 2u);
    EXPECT_EQ(data.vertices[0].point.x, 0.0f);
    ASSERT_EQ(Q3TriGrid_EmptyData(&data), kQ3Success);

    EXPECT_EQ(Q3TriGrid_GetData(grid, nullptr), kQ3Failure);
    EXPECT_EQ(Q3TriGrid_EmptyData(nullptr), kQ3Failure);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);
}

TEST_F(Q3dTest, TriGridSurvivesSetsMovingBetweenItsOwnVertices) {
    // Only the grid holds the sets (the fixture disposed its own references).
    GridFixture fixture(1, 2);
    TQ3GeometryObject grid = fixture.grid.get();
    TQ3AttributeSet first = fixture.vertices[0].attributeSet;
    TQ3AttributeSet second = fixture.vertices[1].attributeSet;
    TQ3Vertex3D swapped[2] = {{{0, 0, 0}, second}, {{1, 0, 0}, first}};
    const TQ3TriGridData data{1, 2, swapped, nullptr, nullptr};
    ASSERT_EQ(Q3TriGrid_SetData(grid, &data), kQ3Success);
    EXPECT_EQ(refCount(first), 1u) << "taken at its new place before released at its old one";
    EXPECT_EQ(refCount(second), 1u);
    TQ3Param2D uv{};
    ASSERT_EQ(Q3AttributeSet_Get(first, kQ3AttributeTypeSurfaceUV, &uv), kQ3Success);
    EXPECT_EQ(uv.u, 0.0f);
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveAtStart_ + 3);
}

TEST_F(Q3dTest, TriGridOfOneRowIsAStripWithoutFacets) {
    std::vector<TQ3Vertex3D> vertices(5, TQ3Vertex3D{{0, 0, 0}, nullptr});
    const TQ3TriGridData row{1, 5, vertices.data(), nullptr, nullptr};
    Ref grid(Q3TriGrid_New(&row));
    ASSERT_NE(grid, nullptr);
    TQ3TriGridData out;
    ASSERT_EQ(Q3TriGrid_GetData(grid.get(), &out), kQ3Success);
    EXPECT_EQ(out.numRows, 1u);
    EXPECT_EQ(out.vertices[4].attributeSet, nullptr);
    ASSERT_EQ(Q3TriGrid_EmptyData(&out), kQ3Success);
}

TEST_F(Q3dTest, EmptyingACallersOwnRecordReleasesItsSetsButNotItsArray) {
    Ref set(Q3AttributeSet_New());
    TQ3Vertex3D vertices[2] = {{{0, 0, 0}, Q3Shared_GetReference(set.get())}, {{1, 0, 0}, nullptr}};
    TQ3TriGridData own{1, 2, vertices, nullptr, nullptr};
    ASSERT_EQ(Q3TriGrid_EmptyData(&own), kQ3Success);
    EXPECT_EQ(refCount(set.get()), 1u);
    EXPECT_EQ(own.vertices, nullptr);
    EXPECT_EQ(vertices[1].point.x, 1.0f) << "still the caller's memory, not freed";
}

}  // namespace
