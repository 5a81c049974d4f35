#include "scene/image/OffscreenImage.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <ostream>
#include <utility>

#include "platform/os/LocalHeap.h"
#include "platform/os/Resources.h"
#include "shell/ErrData.h"
#include "shell/Memory.h"

namespace vask {
namespace {

// Bytes of a width × height image of 32-bit words; raises 1024 for sizes no
// allocation could satisfy, as the allocator would for a merely large one.
std::size_t imageBytes(std::int32_t width, std::int32_t height) {
    const std::uint64_t words =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (words > std::numeric_limits<std::size_t>::max() / 8) raise(msg::kOutOfMemory);
    return static_cast<std::size_t>(words) * 4;
}

std::int32_t nonNegative(std::int32_t value) { return value < 0 ? 0 : value; }

// Reads little-endian fields of a bitmap file whose length was checked.
struct Reader {
    std::span<const std::byte> bytes;
    std::uint32_t u8(std::size_t at) const { return std::to_integer<std::uint32_t>(bytes[at]); }
    std::uint32_t u16(std::size_t at) const { return u8(at) | u8(at + 1) << 8; }
    std::uint32_t u32(std::size_t at) const { return u16(at) | u16(at + 2) << 16; }
    std::int32_t i32(std::size_t at) const { return static_cast<std::int32_t>(u32(at)); }
};

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kHeadersBytes = kFileHeaderBytes + sizeof(BitmapInfoHeader);  // 54
constexpr std::uint32_t kOpaque = 0xFF000000u;

}  // namespace

std::int32_t bmpResourceMissingCode() { return ENOENT; }

OffscreenImage::OffscreenImage(OffscreenImage&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      rowWords_(std::exchange(other.rowWords_, 0)),
      bits_(std::exchange(other.bits_, nullptr)),
      section_(std::exchange(other.section_, nullptr)),
      ownsBits_(std::exchange(other.ownsBits_, false)) {}

OffscreenImage& OffscreenImage::operator=(OffscreenImage&& other) noexcept {
    if (this != &other) {
        release();
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        rowWords_ = std::exchange(other.rowWords_, 0);
        bits_ = std::exchange(other.bits_, nullptr);
        section_ = std::exchange(other.section_, nullptr);
        ownsBits_ = std::exchange(other.ownsBits_, false);
    }
    return *this;
}

std::uint32_t OffscreenImage::pixel(int x, int y) const {
    if (bits_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(rowWords_) +
                 static_cast<std::size_t>(x)];
}

void OffscreenImage::create(os::Rect rect) {
    release();
    const std::int32_t width = nonNegative(rect.width);
    const std::int32_t height = nonNegative(rect.height);
    const std::size_t bytes = imageBytes(width, height);

    // Built aside and handed over only when complete, so that running out of
    // memory half-way leaves an empty image and no leak.
    struct SectionOwner {
        ImageSection* section = nullptr;
        ~SectionOwner() {
            if (section == nullptr) return;
            os::localFree(section->pixels);
            freeBlock(section->info);
            destroy(section);
        }
    } owner;
    owner.section = vask::create<ImageSection>();
    void* info = allocate(kBitmapInfoBytes);
    std::memset(info, 0, kBitmapInfoBytes);
    owner.section->info = ::new (info) BitmapInfoHeader{};
    owner.section->info->width = width;
    owner.section->info->height = -height;  // negative: top-down rows
    owner.section->info->bitCount = 32;
    // The section's own pixels, zero-filled like a fresh screen bitmap. Their
    // absence is not an error: takePixels then gives the image memory of its
    // own (which may raise 1024).
    owner.section->pixels = os::localAlloc(bytes);
    if (owner.section->pixels != nullptr) std::memset(owner.section->pixels, 0, bytes);

    takePixels(width, height, static_cast<std::uint32_t*>(owner.section->pixels));
    section_ = std::exchange(owner.section, nullptr);
}

void OffscreenImage::adopt(std::int32_t width, std::int32_t height, std::uint32_t* pixels) {
    release();
    takePixels(nonNegative(width), nonNegative(height), pixels);
}

void OffscreenImage::takePixels(std::int32_t width, std::int32_t height, std::uint32_t* pixels) {
    const std::size_t bytes = imageBytes(width, height);
    const bool own = pixels == nullptr;
    if (own) pixels = static_cast<std::uint32_t*>(allocate(bytes));  // raises before any change
    width_ = width;
    height_ = height;
    rowWords_ = static_cast<std::int32_t>((32 * static_cast<std::int64_t>(width) + 31) / 32);
    bits_ = pixels;
    ownsBits_ = own;
}

void OffscreenImage::release() noexcept {
    if (section_ != nullptr) {
        os::localFree(section_->pixels);
        freeBlock(section_->info);
        destroy(section_);
        section_ = nullptr;
    }
    if (ownsBits_) freeBlock(bits_);
    bits_ = nullptr;
    ownsBits_ = false;
    width_ = height_ = rowWords_ = 0;
}

void OffscreenImage::ensureSize(os::Rect rect) {
    if (rect.x == 0 && rect.y == 0 && rect.width == width_ && rect.height == height_) return;
    create(rect);
}

void OffscreenImage::fillPixmap(TQ3Pixmap& pixmap) const {
    pixmap.image = bits_;
    pixmap.width = static_cast<TQ3Uns32>(width_);
    pixmap.height = static_cast<TQ3Uns32>(height_);
    pixmap.rowBytes = static_cast<TQ3Uns32>(rowWords_) * 4;
    pixmap.pixelSize = 32;
    pixmap.pixelType = kQ3PixelTypeRGB32;
    pixmap.bitOrder = kQ3EndianLittle;
    pixmap.byteOrder = kQ3EndianLittle;
}

os::BgraImageView OffscreenImage::view() const {
    if (bits_ == nullptr) return {};
    return {bits_, width_, height_, static_cast<std::ptrdiff_t>(rowWords_) * 4};
}

void OffscreenImage::drawTo(os::Canvas& canvas, os::Rect source, os::Point dest) const {
    canvas.blit(view(), source, dest);
}

std::int32_t OffscreenImage::loadBmpResource(os::Module* module, int id, std::string_view type,
                                             BmpRules rules) {
    const auto bytes = os::findResource(module, type, id);
    if (!bytes) return bmpResourceMissingCode();
    // An empty resource is a malformed bitmap (too short), not a success.
    return decodeBmp(*bytes, rules);
}

std::int32_t OffscreenImage::decodeBmp(std::span<const std::byte> file, BmpRules rules) {
    const bool desktop = rules == BmpRules::Desktop;
    // The headers and the palette are checked before the image is touched.
    if (file.size() < kHeadersBytes) return kBmpIncorrectFormat;
    const Reader in{file};
    if (in.u8(0) != 'B' || in.u8(1) != 'M') return kBmpIncorrectFormat;
    const std::uint64_t dataOffset = in.u32(10);
    const std::uint32_t headerSize = in.u32(14);
    const std::int32_t width = in.i32(18);
    const std::int32_t storedHeight = in.i32(22);
    const std::uint32_t planes = in.u16(26);
    const std::uint32_t bitCount = in.u16(28);
    const std::uint32_t compression = in.u32(30);
    const std::uint32_t colorsUsed = in.u32(46);

    if (headerSize != sizeof(BitmapInfoHeader)) return kBmpIncorrectFormat;
    const bool artworkDepth = bitCount == 8 || bitCount == 24;
    const bool desktopDepth = artworkDepth || bitCount == 1 || bitCount == 4 || bitCount == 32;
    if (!(desktop ? desktopDepth : artworkDepth)) return kBmpIncorrectFormat;
    if (desktop && (planes != 1 || compression != 0)) return kBmpIncorrectFormat;
    // Artwork is stored bottom-up; a negative height, which would otherwise
    // make no image at all, is read as the top-down rows it means.
    if (width <= 0 || storedHeight == 0 ||
        storedHeight == std::numeric_limits<std::int32_t>::min()) {
        return kBmpIncorrectFormat;
    }
    const bool topDown = storedHeight < 0;
    const std::int32_t height = topDown ? -storedHeight : storedHeight;
    if (static_cast<std::int64_t>(width) * height > kMaxBmpPixels) return kBmpIncorrectFormat;

    // The palette: the used-colour count's entries, or the depth's full
    // count when that is 0.
    const std::uint64_t paletteLimit = bitCount <= 8 ? std::uint64_t{1} << bitCount : 0;
    const std::uint64_t paletteCount = colorsUsed != 0 ? colorsUsed : paletteLimit;
    if (desktop && paletteCount > paletteLimit && bitCount <= 8) return kBmpIncorrectFormat;
    const std::uint64_t paletteEnd = kHeadersBytes + 4 * paletteCount;
    if (paletteEnd > file.size()) return kBmpIncorrectFormat;
    // Artwork rows follow the palette, whatever the file header's data
    // offset says; a desktop goes by the offset.
    if (desktop && (dataOffset < paletteEnd || dataOffset > file.size())) return kBmpIncorrectFormat;
    const std::uint64_t rowsStart = desktop ? dataOffset : paletteEnd;

    // The palette as pixel words; only depths up to 8 bits use it. Indices
    // from paletteCount on have no colour in the file and stay opaque black.
    std::uint32_t palette[256];
    for (std::uint32_t& entry : palette) entry = kOpaque;
    if (bitCount <= 8) {
        for (std::size_t i = 0; i < std::min<std::uint64_t>(paletteCount, 256); ++i) {
            const std::size_t at = kHeadersBytes + 4 * i;
            palette[i] = kOpaque | in.u8(at + 2) << 16 | in.u8(at + 1) << 8 | in.u8(at);
        }
    }

    // Rows are padded to whole 32-bit words. A desktop refuses a file whose
    // rows are not all there and leaves the image as it was; artwork is made
    // first, and a row that is not all there ends the decoding with the rows
    // before it kept.
    const std::uint64_t stride =
        ((static_cast<std::uint64_t>(width) * bitCount + 31) / 8) & ~std::uint64_t{3};
    if (desktop && (file.size() - rowsStart) / stride < static_cast<std::uint64_t>(height)) {
        return kBmpIncorrectFormat;
    }
    create({0, 0, width, height});

    std::uint64_t position = rowsStart;
    for (std::int32_t i = 0; i < height; ++i) {
        if (file.size() - position < stride) return kBmpIncorrectFormat;
        const std::byte* source = file.data() + position;
        const auto byteAt = [source](std::int32_t k) {
            return std::to_integer<std::uint32_t>(source[k]);
        };
        const std::int32_t y = topDown ? i : height - 1 - i;
        std::uint32_t* out =
            bits_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(rowWords_);
        for (std::int32_t x = 0; x < width; ++x) {
            switch (bitCount) {
                case 1:
                    out[x] = palette[byteAt(x >> 3) >> (7 - (x & 7)) & 1];
                    break;
                case 4:
                    out[x] = palette[(x & 1) != 0 ? byteAt(x >> 1) & 0xF : byteAt(x >> 1) >> 4];
                    break;
                case 8:
                    out[x] = palette[byteAt(x)];
                    break;
                case 24:
                    out[x] =
                        kOpaque | byteAt(3 * x + 2) << 16 | byteAt(3 * x + 1) << 8 | byteAt(3 * x);
                    break;
                default:  // 32: blue, green, red and an unused byte
                    out[x] =
                        kOpaque | byteAt(4 * x + 2) << 16 | byteAt(4 * x + 1) << 8 | byteAt(4 * x);
                    break;
            }
        }
        position += stride;
    }
    return kBmpOk;
}

std::ostream& operator<<(std::ostream& out, const OffscreenImage& image) {
    out << "OffscreenImage{" << image.width() << " x " << image.height() << ", rowWords "
        << image.rowWords();
    if (image.section() != nullptr) out << ", section";
    if (image.bits() == nullptr) out << ", no pixels";
    return out << '}';
}

}  // namespace vask
