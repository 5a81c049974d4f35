// What the renderer reads: values gathered from a grid's own sets, texture
// pixels in place, and checks that stay valid as content changes.
#include <gtest/gtest.h>

#include <vector>

#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DSet.h"
#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/QD3DStorage.h"
#include "platform/q3d/access/SceneAccess.h"
#include "tests/q3d/Q3dTestSupport.h"

namespace {

using q3dtest::Q3dTest;
using q3dtest::Ref;

TEST_F(Q3dTest, GatheredVertexValuesFollowTheGridsSharedSets) {
    std::vector<TQ3Vertex3D> vertices(6);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        vertices[i].point = {static_cast<float>(i), 0, 0};
        if (i == 4) continue;  // one vertex without a set
        vertices[i].attributeSet = Q3AttributeSet_New();
        const TQ3Param2D uv{0.1f * static_cast<float>(i), 0.5f};
        Q3AttributeSet_Add(vertices[i].attributeSet, kQ3AttributeTypeSurfaceUV, &uv);
    }
    const TQ3ColorRGB green{0, 1, 0};
    Q3AttributeSet_Add(vertices[5].attributeSet, kQ3AttributeTypeDiffuseColor, &green);
    const TQ3TriGridData data{2, 3, vertices.data(), nullptr, nullptr};
    Ref handle(Q3TriGrid_New(&data));
    for (TQ3Vertex3D& v : vertices) {
        if (v.attributeSet != nullptr) Q3Object_Dispose(v.attributeSet);
    }
    const auto* grid = q3d::objectAs<q3d::TriGrid>(*q3d::findObject(handle.get()));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->points()[5].x, 5.0f);

    // A normal added through a set that GetData handed out, never set back.
    TQ3TriGridData out;
    ASSERT_EQ(Q3TriGrid_GetData(handle.get(), &out), kQ3Success);
    const TQ3Vector3D up{0, 1, 0};
    ASSERT_EQ(Q3AttributeSet_Add(out.vertices[1].attributeSet, kQ3AttributeTypeNormal, &up), kQ3Success);
    ASSERT_EQ(Q3TriGrid_EmptyData(&out), kQ3Success);

    q3d::VertexAttributes values;
    q3d::gatherVertexAttributes(grid->vertexSets(), grid->vertexCount(), values);
    const auto bit = [](TQ3AttributeType type) { return q3d::AttributeSet::bit(type); };
    EXPECT_EQ(values.anyTypes,
              TQ3Uns32{bit(kQ3AttributeTypeSurfaceUV) | bit(kQ3AttributeTypeNormal) | bit(kQ3AttributeTypeDiffuseColor)});
    ASSERT_EQ(values.normals.size(), 6u);
    EXPECT_EQ(values.normals[1].y, 1.0f) << "the grid sees the normal";
    EXPECT_EQ(values.normals[0].y, 0.0f) << "zero where a vertex has none";
    EXPECT_EQ(values.types[0], bit(kQ3AttributeTypeSurfaceUV));
    EXPECT_EQ(values.types[4], 0);
    EXPECT_FLOAT_EQ(values.surfaceUVs[3].u, 0.3f);
    EXPECT_EQ(values.diffuseColors[5].g, 1.0f);
    EXPECT_EQ(values.diffuseColors[2].g, 0.0f);

    // Gathering again reuses the arrays and drops what no vertex has now.
    q3d::gatherVertexAttributes({}, 6, values);
    EXPECT_EQ(values.anyTypes, 0u);
    EXPECT_TRUE(values.normals.empty());
    EXPECT_EQ(values.types.size(), 6u);
}

TEST_F(Q3dTest, TextureImageIsThePixelsInPlaceWhileTheStorageHoldsThem) {
    std::vector<unsigned char> pixels(32, 7);
    Ref storage(Q3MemoryStorage_NewBuffer(pixels.data(), 32, 32));
    const TQ3StoragePixmap pixmap{storage.get(), 2, 2, 16, 32, kQ3PixelTypeARGB32, kQ3EndianLittle, kQ3EndianLittle};
    Ref handle(Q3PixmapTexture_New(&pixmap));
    const auto* texture = q3d::objectAs<q3d::PixmapTexture>(*q3d::findObject(handle.get()));
    ASSERT_NE(texture, nullptr);
    q3d::TextureImage image = texture->image();
    EXPECT_EQ(image.pixels, pixels.data());
    EXPECT_EQ(image.rowBytes, 16u);
    EXPECT_EQ(image.byteOrder, kQ3EndianLittle);

    // The storage given fewer bytes than the pixmap needs: nothing to read.
    ASSERT_EQ(Q3MemoryStorage_SetBuffer(storage.get(), pixels.data(), 20, 32), kQ3Success);
    EXPECT_EQ(texture->image().pixels, nullptr);
    ASSERT_EQ(Q3MemoryStorage_SetBuffer(storage.get(), pixels.data(), 24, 32), kQ3Success);
    EXPECT_EQ(texture->image().pixels, pixels.data()) << "the last row needs no padding";
}

}  // namespace
