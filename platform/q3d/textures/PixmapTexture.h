// Textures: the C++ side of the texture calls of QD3DShader.h.
#pragma once

#include <cstddef>

#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/core/Ref.h"
#include "platform/q3d/storage/Storage.h"

namespace q3d {

class Texture : public SharedObject {
public:
    static constexpr ClassInfo kClass{kQ3SharedTypeTexture, &SharedObject::kClass};
    virtual TQ3Uns32 width() const = 0;
    virtual TQ3Uns32 height() const = 0;
};

// Where a texture's pixels are right now, for a reader that samples them in
// place. Empty (pixels == nullptr) when the storage does not hold them in
// memory or no longer holds all of them.
struct TextureImage {
    const unsigned char* pixels = nullptr;  // top row first
    TQ3Uns32 width = 0;
    TQ3Uns32 height = 0;
    TQ3Uns32 rowBytes = 0;
    TQ3Uns32 pixelSize = 0;  // bits
    TQ3PixelType pixelType = kQ3PixelTypeARGB32;
    TQ3Endian byteOrder = kQ3EndianBig;
};

class PixmapTexture final : public Texture {
public:
    static constexpr ClassInfo kClass{kQ3TextureTypePixmap, &Texture::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

    TQ3Uns32 width() const override { return pixmap_.width; }
    TQ3Uns32 height() const override { return pixmap_.height; }

    // The pixmap as given; its image is the texture's own storage reference.
    const TQ3StoragePixmap& pixmap() const { return pixmap_; }
    Storage* storage() const { return storage_.get(); }

    // Takes the pixmap if it passes the rules of QD3DShader.h (else posts the
    // error and returns false, unchanged), with a reference to its storage.
    bool assign(const TQ3StoragePixmap& pixmap);

    // The pixels in place; checked against the storage's bytes now, because
    // the storage may have been given other bytes since assign().
    TextureImage image() const;

private:
    TQ3StoragePixmap pixmap_{};
    Ref<Storage> storage_;
};

// Bytes that `pixmap` needs from its storage: every row, the last without
// its padding. 0 when the fields make no image (checked by assign).
std::uint64_t pixmapBytes(const TQ3StoragePixmap& pixmap) noexcept;

}  // namespace q3d
