// OffscreenImage: a top-down 32-bit image that the preview renderer draws into
// and the controls copy to the window, and the decoder of the bitmap
// resources (whole Windows bitmap files) that hold the tool palette's artwork.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string_view>

#include "platform/os/Canvas.h"
#include "platform/os/Module.h"
#include "platform/q3d/QD3D.h"

namespace vask {

// The 40-byte header of a device-independent bitmap, as a bitmap file stores
// it after its 14-byte file header and as `create` fills it for a section.
struct BitmapInfoHeader {
    std::uint32_t size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: rows top-down
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;  // 0 = BI_RGB, uncompressed
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// Bytes allocated for a section's bitmap information: the header and room
// for three colour masks, of which only the header is filled.
inline constexpr std::size_t kBitmapInfoBytes = 52;

// The pixel memory of a created image, standing where a screen bitmap would:
// pixels zero-filled at creation and owned by the section, and the bitmap
// information describing them. Made and freed by OffscreenImage only.
struct ImageSection {
    void* pixels = nullptr;            // null when the pixel memory could not be had
    BitmapInfoHeader* info = nullptr;  // in a kBitmapInfoBytes block
};

// How strictly a bitmap file is read (OffscreenImage::decodeBmp).
enum class BmpRules { Artwork, Desktop };

// Result codes of loadBmpResource and decodeBmp.
inline constexpr std::int32_t kBmpOk = 0;
inline constexpr std::int32_t kBmpIncorrectFormat = 1026;  // message "Incorrect Format."
// The OS error code for a resource that the module does not have (ENOENT,
// whose system text is "No such file or directory").
std::int32_t bmpResourceMissingCode();

// Decoding refuses bitmaps of more pixels than this (4 MiB of image; the
// controls' artwork and dialog pictures are far smaller), since artwork's
// image is made before its rows are read: a few header bytes must not ask
// for much memory.
inline constexpr std::int64_t kMaxBmpPixels = std::int64_t{1} << 20;

// Pixel format: one 32-bit little-endian word per pixel, 0xXXRRGGBB (bytes
// blue, green, red, X in memory); X is 0xFF in decoded artwork and whatever
// the renderer writes in rendered images. Rows run top to bottom, `rowWords`
// words apart. QuickDraw 3D sees the same memory as kQ3PixelTypeRGB32,
// little-endian (fillPixmap).
//
// Memory comes from the shell's allocator (shell/Memory.h): running out
// raises ErrData 1024, and the image is then left empty (all sizes 0, no
// pixels), never half made.
//
// Ownership: the pixels of a section belong to the section; pixels the image
// allocated itself (adopt without a pointer) are freed by it; pixels handed
// to adopt stay the caller's. Not copyable (it owns memory); movable.
class OffscreenImage {
public:
    OffscreenImage() = default;  // all fields zero or null
    ~OffscreenImage() { release(); }
    OffscreenImage(const OffscreenImage&) = delete;
    OffscreenImage& operator=(const OffscreenImage&) = delete;
    OffscreenImage(OffscreenImage&& other) noexcept;
    OffscreenImage& operator=(OffscreenImage&& other) noexcept;

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    // 32-bit words per row: (32 × width + 31) ÷ 32, which is the width.
    std::int32_t rowWords() const { return rowWords_; }
    // The top row's first pixel, or null.
    std::uint32_t* bits() { return bits_; }
    const std::uint32_t* bits() const { return bits_; }
    // The section of a created image, or null.
    const ImageSection* section() const { return section_; }

    // The word at (x, y), or 0 outside the image or when it has no pixels.
    std::uint32_t pixel(int x, int y) const;

    // Re-creates the image as a section of rect.width × rect.height pixels,
    // all zero (rect.x and rect.y are not used). A negative width or height
    // counts as 0. Throws ErrData 1024 when memory runs out (the image is
    // then empty). When the section's own pixel memory cannot be had the
    // image falls back to pixels of its own, so a renderer still has a target.
    void create(os::Rect rect);

    // Frees what the image owns, then takes the size width × height (negative
    // counts as 0) with `pixels` when given (the caller keeps ownership and
    // must keep them alive while the image uses them), or with a new block of
    // rowWords × height words that the image owns (contents undefined).
    // Throws ErrData 1024 when memory runs out, leaving the image empty.
    void adopt(std::int32_t width, std::int32_t height, std::uint32_t* pixels);

    // Frees everything the image owns; sizes become 0 and `bits` null.
    void release() noexcept;

    // Calls create(rect) unless rect is exactly (0, 0, width, height).
    void ensureSize(os::Rect rect);

    // Describes the image to QuickDraw 3D: image = bits, width, height,
    // rowBytes = rowWords × 4, pixelSize 32, kQ3PixelTypeRGB32, bit and byte
    // order little-endian.
    void fillPixmap(TQ3Pixmap& pixmap) const;

    // The pixels as the canvas reads them (an empty view without pixels).
    os::BgraImageView view() const;

    // Copies the `source` rectangle of the image to `dest` on `canvas`, clipped
    // on both sides (Canvas::blit). Nothing happens without pixels.
    void drawTo(os::Canvas& canvas, os::Rect source, os::Point dest) const;

    // Decodes resource (type, id) of `module`, which holds a whole Windows
    // bitmap file, into this image. Returns kBmpOk, bmpResourceMissingCode()
    // when the module has no such resource, or decodeBmp's result. Throws
    // ErrData 1024 when memory runs out.
    std::int32_t loadBmpResource(os::Module* module, int id, std::string_view type = "BMP",
                                 BmpRules rules = BmpRules::Artwork);

    // Decodes a whole Windows bitmap file: "BM", a 40-byte information
    // header, rows bottom-up (positive height) or top-down (negative), a
    // palette of the header's used-colour count (the depth's full count when
    // it is 0), then the pixel rows, each padded to 4 bytes. Palette entries
    // and direct pixels become 0xFFRRGGBB; an index past the palette, opaque
    // black 0xFF000000.
    //
    // Artwork (the controls' own bitmaps): 8 or 24 bits per pixel; the rows
    // follow the palette (the file header's data offset, the compression and
    // the plane count are not consulted). Desktop (pictures in dialogs, as a
    // desktop draws them): 1, 4, 8, 24 or 32 bits, uncompressed, one plane,
    // the rows at the data offset, a palette no longer than the depth's.
    //
    // Returns kBmpIncorrectFormat, leaving the image untouched, for a file
    // shorter than its headers, another magic, header size or depth, a width
    // ≤ 0 or height 0, more than kMaxBmpPixels, or a palette running past
    // the end (Desktop: or breaking its other rules, or rows ending before
    // the last one's end). Otherwise re-creates the image at the bitmap's
    // size and decodes the rows; when artwork's rows end early it returns
    // kBmpIncorrectFormat with the rows before decoded, else kBmpOk.
    // Throws ErrData 1024 when memory runs out.
    std::int32_t decodeBmp(std::span<const std::byte> file, BmpRules rules = BmpRules::Artwork);

private:
    // adopt without freeing first; assumes an empty image.
    void takePixels(std::int32_t width, std::int32_t height, std::uint32_t* pixels);

    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t rowWords_ = 0;
    std::uint32_t* bits_ = nullptr;
    ImageSection* section_ = nullptr;
    bool ownsBits_ = false;  // bits_ came from the image's own allocation
};

std::ostream& operator<<(std::ostream& out, const OffscreenImage& image);

}  // namespace vask
