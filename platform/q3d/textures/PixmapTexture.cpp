#include "platform/q3d/textures/PixmapTexture.h"

#include <cstring>

#include "platform/q3d/core/Boundary.h"

namespace q3d {
namespace {

template <class Enum>
TQ3Uns32 bitsOf(const Enum& value) {
    static_assert(sizeof(Enum) == sizeof(TQ3Uns32));
    TQ3Uns32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Bits per pixel of a pixel type, 0 for a value outside the enumeration.
TQ3Uns32 bitsPerPixel(TQ3Uns32 pixelType) {
    switch (pixelType) {
        case kQ3PixelTypeRGB32:
        case kQ3PixelTypeARGB32: return 32;
        case kQ3PixelTypeRGB24: return 24;
        case kQ3PixelTypeRGB16:
        case kQ3PixelTypeARGB16:
        case kQ3PixelTypeRGB16_565: return 16;
        default: return 0;
    }
}

bool refuse(TQ3Error error) noexcept {
    postError(error);
    return false;
}

}  // namespace

std::uint64_t pixmapBytes(const TQ3StoragePixmap& pixmap) noexcept {
    if (pixmap.width == 0 || pixmap.height == 0) return 0;
    const std::uint64_t rowPixels = std::uint64_t{pixmap.width} * (pixmap.pixelSize / 8);
    return std::uint64_t{pixmap.rowBytes} * (pixmap.height - 1) + rowPixels;
}

bool PixmapTexture::assign(const TQ3StoragePixmap& pixmap) {
    if (pixmap.image == nullptr) return refuse(kQ3ErrorNULLParameter);
    auto* storage = resolveAs<Storage>(pixmap.image);
    if (storage == nullptr) return false;
    const TQ3Uns32 pixelType = bitsOf(pixmap.pixelType);
    if (pixmap.width == 0 || pixmap.height == 0 || bitsPerPixel(pixelType) == 0 ||
        bitsOf(pixmap.bitOrder) > kQ3EndianLittle || bitsOf(pixmap.byteOrder) > kQ3EndianLittle) {
        return refuse(kQ3ErrorParameterOutOfRange);
    }
    if (pixmap.pixelSize != bitsPerPixel(pixelType)) return refuse(kQ3ErrorUnsupportedPixelDepth);
    TQ3Uns32 available = 0;
    if (!storage->size(available)) return false;
    if (pixmap.rowBytes < std::uint64_t{pixmap.width} * (pixmap.pixelSize / 8) || pixmapBytes(pixmap) > available) {
        return refuse(kQ3ErrorInvalidParameter);
    }
    storage_ = Ref<Storage>::share(storage);
    pixmap_ = pixmap;
    return true;
}

TextureImage PixmapTexture::image() const {
    if (!storage_) return {};
    const std::span<const unsigned char> bytes = storage_->bytesInMemory();
    if (bytes.data() == nullptr || pixmapBytes(pixmap_) > bytes.size()) return {};
    return TextureImage{bytes.data(),     pixmap_.width,     pixmap_.height,   pixmap_.rowBytes,
                        pixmap_.pixelSize, pixmap_.pixelType, pixmap_.byteOrder};
}

}  // namespace q3d

using q3d::PixmapTexture;

namespace {

bool checkNotNull(const void* pointer) noexcept {
    if (pointer != nullptr) return true;
    q3d::postError(kQ3ErrorNULLParameter);
    return false;
}

}  // namespace

TQ3TextureObject Q3PixmapTexture_New(const TQ3StoragePixmap* pixmap) {
    if (!q3d::mayCreate(__func__) || !checkNotNull(pixmap)) return nullptr;
    return q3d::guarded<TQ3Object>(nullptr, [&]() -> TQ3Object {
        auto texture = std::make_unique<PixmapTexture>();
        if (!texture->assign(*pixmap)) return nullptr;
        return q3d::adopt(std::move(texture));
    });
}

TQ3Status Q3PixmapTexture_GetPixmap(TQ3TextureObject texture, TQ3StoragePixmap* pixmap) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    const auto* resolved = q3d::resolveAs<PixmapTexture>(texture);
    if (resolved == nullptr || !checkNotNull(pixmap)) return kQ3Failure;
    *pixmap = resolved->pixmap();
    q3d::retain(*resolved->storage());
    return kQ3Success;
}

TQ3Status Q3PixmapTexture_SetPixmap(TQ3TextureObject texture, const TQ3StoragePixmap* pixmap) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    auto* resolved = q3d::resolveAs<PixmapTexture>(texture);
    if (resolved == nullptr || !checkNotNull(pixmap)) return kQ3Failure;
    return resolved->assign(*pixmap) ? kQ3Success : kQ3Failure;
}

TQ3Status Q3Texture_GetWidth(TQ3TextureObject texture, TQ3Uns32* width) {
    const auto* resolved = q3d::resolveAs<q3d::Texture>(texture);
    if (resolved == nullptr || !checkNotNull(width)) return kQ3Failure;
    *width = resolved->width();
    return kQ3Success;
}

TQ3Status Q3Texture_GetHeight(TQ3TextureObject texture, TQ3Uns32* height) {
    const auto* resolved = q3d::resolveAs<q3d::Texture>(texture);
    if (resolved == nullptr || !checkNotNull(height)) return kQ3Failure;
    *height = resolved->height();
    return kQ3Success;
}
