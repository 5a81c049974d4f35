#include "platform/q3d/raster/TextureSampler.h"

#include "platform/q3d/raster/PixelFormat.h"

namespace q3d::raster::detail {

bool TextureSampler::accepts(const TQ3Pixmap& pixmap) {
    return pixmap.image != nullptr && pixmap.pixelSize == 32 &&
           (pixmap.pixelType == kQ3PixelTypeRGB32 || pixmap.pixelType == kQ3PixelTypeARGB32) &&
           (pixmap.byteOrder == kQ3EndianLittle || pixmap.byteOrder == kQ3EndianBig) && pixmap.width >= 1 &&
           pixmap.height >= 1 && pixmap.width <= (1u << 24) && pixmap.height <= (1u << 24) &&
           uint64_t(pixmap.rowBytes) >= uint64_t(pixmap.width) * 4;
}

TextureSampler::TextureSampler(const Texture& texture)
    : pixels_(static_cast<const uint8_t*>(texture.pixmap.image)),
      width_(texture.pixmap.width),
      height_(texture.pixmap.height),
      rowBytes_(texture.pixmap.rowBytes),
      swapBytes_(needsByteSwap(texture.pixmap.byteOrder)),
      wrapU_(texture.boundaryU == UVBoundary::Wrap),
      wrapV_(texture.boundaryV == UVBoundary::Wrap) {}

}  // namespace q3d::raster::detail
