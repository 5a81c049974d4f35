// Memory storage, pixmap textures and shaders: the caller's buffer used in
// place, references between them, pixmaps that do not fit their storage.
#include <cstring>
#include <vector>

#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/QD3DStorage.h"
#include "tests/q3d/Q3dTestSupport.h"

namespace {

using q3dtest::Q3dTest;
using q3dtest::Ref;
using q3dtest::refCount;

// A 2 × 2 texture with 12-byte rows (4 bytes of padding), as the relief mesh
// hands its layer over: little-endian ARGB words.
TQ3StoragePixmap pixmapOver(TQ3StorageObject storage, TQ3Uns32 rowBytes = 12) {
    return {storage, 2, 2, rowBytes, 32, kQ3PixelTypeARGB32, kQ3EndianLittle, kQ3EndianLittle};
}

TEST_F(Q3dTest, BufferStorageReadsTheCallersBytesInPlace) {
    std::vector<unsigned char> buffer(24, 0);
    buffer[0] = 0xAB;
    Ref storage(Q3MemoryStorage_NewBuffer(buffer.data(), 20, 24));
    ASSERT_NE(storage, nullptr);
    EXPECT_EQ(Q3Storage_GetType(storage.get()), kQ3StorageTypeMemory);

    unsigned char* where = nullptr;
    TQ3Uns32 valid = 0, size = 0;
    ASSERT_EQ(Q3MemoryStorage_GetBuffer(storage.get(), &where, &valid, &size), kQ3Success);
    EXPECT_EQ(where, buffer.data()) << "no copy";
    EXPECT_EQ(valid, 20u);
    EXPECT_EQ(size, 24u);
    ASSERT_EQ(Q3Storage_GetSize(storage.get(), &size), kQ3Success);
    EXPECT_EQ(size, 20u);

    // A later change of the caller's bytes is what the storage reads.
    buffer[19] = 0xCD;
    unsigned char out[8] = {};
    TQ3Uns32 read = 0;
    ASSERT_EQ(Q3Storage_GetData(storage.get(), 16, 8, out, &read), kQ3Success);
    EXPECT_EQ(read, 4u) << "the valid size ends the read";
    EXPECT_EQ(out[3], 0xCD);
    ASSERT_EQ(Q3Storage_GetData(storage.get(), 30, 8, out, &read), kQ3Success);
    EXPECT_EQ(read, 0u);

    // A copying storage owns its bytes.
    Ref copy(Q3MemoryStorage_New(buffer.data(), 4));
    buffer[0] = 0;
    ASSERT_EQ(Q3Storage_GetData(copy.get(), 0, 1, out, &read), kQ3Success);
    EXPECT_EQ(out[0], 0xAB);

    EXPECT_EQ(Q3MemoryStorage_NewBuffer(nullptr, 0, 0), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);
    EXPECT_EQ(Q3MemoryStorage_NewBuffer(buffer.data(), 25, 24), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorParameterOutOfRange);
    EXPECT_EQ(Q3MemoryStorage_New(nullptr, 4), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);
}

TEST_F(Q3dTest, PixmapTextureAndShaderHoldTheirReferences) {
    std::vector<unsigned char> pixels(24);
    pixels[0] = 0;  // blue
    pixels[1] = 0;  // green
    pixels[2] = 255;  // red
    pixels[3] = 255;  // alpha
    Ref storage(Q3MemoryStorage_NewBuffer(pixels.data(), 24, 24));
    const TQ3StoragePixmap pixmap = pixmapOver(storage.get());
    Ref texture(Q3PixmapTexture_New(&pixmap));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(refCount(storage.get()), 2u);
    TQ3Uns32 width = 0;
    ASSERT_EQ(Q3Texture_GetWidth(texture.get(), &width), kQ3Success);
    EXPECT_EQ(width, 2u);

    TQ3StoragePixmap out{};
    ASSERT_EQ(Q3PixmapTexture_GetPixmap(texture.get(), &out), kQ3Success);
    EXPECT_EQ(std::memcmp(&out, &pixmap, sizeof out), 0);
    EXPECT_EQ(refCount(storage.get()), 3u) << "the pixmap's image is a new reference";
    Q3Object_Dispose(out.image);

    Ref shader(Q3TextureShader_New(texture.get()));
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(Q3Object_GetLeafType(shader.get()), kQ3SurfaceShaderTypeTexture);
    TQ3TextureObject held = nullptr;
    ASSERT_EQ(Q3TextureShader_GetTexture(shader.get(), &held), kQ3Success);
    EXPECT_EQ(held, texture.get());
    EXPECT_EQ(refCount(texture.get()), 3u);
    Q3Object_Dispose(held);

    // The next frame's pixels: a new storage, swapped in; the old one goes.
    std::vector<unsigned char> next(24, 0x11);
    Ref nextStorage(Q3MemoryStorage_NewBuffer(next.data(), 24, 24));
    const TQ3StoragePixmap nextPixmap = pixmapOver(nextStorage.get());
    ASSERT_EQ(Q3PixmapTexture_SetPixmap(texture.get(), &nextPixmap), kQ3Success);
    EXPECT_EQ(refCount(storage.get()), 1u);
    EXPECT_EQ(refCount(nextStorage.get()), 2u);

    // The shader outlives everyone else's references to its texture.
    Ref other(Q3PixmapTexture_New(&pixmap));
    ASSERT_EQ(Q3TextureShader_SetTexture(shader.get(), other.get()), kQ3Success);
    EXPECT_EQ(refCount(texture.get()), 1u);
    texture.reset();
    other.reset();
    ASSERT_EQ(Q3TextureShader_GetTexture(shader.get(), &held), kQ3Success);
    ASSERT_EQ(Q3Texture_GetWidth(held, &width), kQ3Success);
    Q3Object_Dispose(held);

    for (auto make : {Q3PhongIllumination_New, Q3LambertIllumination_New, Q3NULLIllumination_New}) {
        Ref illumination(make());
        ASSERT_NE(illumination, nullptr);
        EXPECT_EQ(Q3Object_IsType(illumination.get(), kQ3ShaderTypeIllumination), kQ3True);
        EXPECT_EQ(Q3Object_IsDrawable(illumination.get()), kQ3True);
    }
}

TEST_F(Q3dTest, PixmapTextureRefusesPixmapsItCouldNotRead) {
    std::vector<unsigned char> pixels(24);
    Ref storage(Q3MemoryStorage_NewBuffer(pixels.data(), 24, 24));
    const TQ3StoragePixmap good = pixmapOver(storage.get());
    Ref texture(Q3PixmapTexture_New(&good));
    ASSERT_NE(texture, nullptr);

    Ref notStorage(Q3PhongIllumination_New());
    struct Case {
        const char* what;
        TQ3StoragePixmap pixmap;
        TQ3Error error;
    };
    const Case cases[] = {
        {"no image", pixmapOver(nullptr), kQ3ErrorNULLParameter},
        {"a shader as image", pixmapOver(notStorage.get()), kQ3ErrorInvalidObjectType},
        {"zero width", {storage.get(), 0, 2, 12, 32, kQ3PixelTypeARGB32, kQ3EndianLittle, kQ3EndianLittle},
         kQ3ErrorParameterOutOfRange},
        {"24 bits for ARGB32", {storage.get(), 2, 2, 12, 24, kQ3PixelTypeARGB32, kQ3EndianLittle, kQ3EndianLittle},
         kQ3ErrorUnsupportedPixelDepth},
        {"rows shorter than a row of pixels", pixmapOver(storage.get(), 4), kQ3ErrorInvalidParameter},
        {"more rows than the storage holds", pixmapOver(storage.get(), 20), kQ3ErrorInvalidParameter},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Q3PixmapTexture_New(&c.pixmap), nullptr) << c.what;
        EXPECT_EQ(Q3Error_Get(nullptr), c.error) << c.what;
        EXPECT_EQ(Q3PixmapTexture_SetPixmap(texture.get(), &c.pixmap), kQ3Failure) << c.what;
        EXPECT_EQ(Q3Error_Get(nullptr), c.error) << c.what;
    }
    TQ3StoragePixmap unknownType = good;
    const TQ3Uns32 six = 6;
    std::memcpy(&unknownType.pixelType, &six, sizeof six);
    EXPECT_EQ(Q3PixmapTexture_New(&unknownType), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorParameterOutOfRange);

    TQ3StoragePixmap out{};
    ASSERT_EQ(Q3PixmapTexture_GetPixmap(texture.get(), &out), kQ3Success);
    EXPECT_EQ(out.rowBytes, 12u) << "refused pixmaps leave the texture's own";
    Q3Object_Dispose(out.image);
    EXPECT_EQ(Q3TextureShader_New(nullptr), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorNULLParameter);
}

}  // namespace
