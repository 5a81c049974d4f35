#pragma once

#include "platform/os/Export.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace vask::os {

// ---------------------------------------------------------------------------
// 2D drawing on a 32-bit surface. The host hands a plug-in a Canvas* as the
// drawing reference of a custom-UI event (PF_ContextData_DRAWING_REF); the
// plug-in fills, frames, inverts, copies images and writes text into it.
// Every operation is clipped to the canvas and to its clip rectangle: no
// argument, however far off the surface, reads or writes outside the pixels.

// One canvas pixel. Its bytes lie in memory as alpha, red, green, blue: the
// layout of the host's world pixel (PF_Pixel), so a canvas can wrap a world.
struct Pixel {
    std::uint8_t alpha = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Pixel&, const Pixel&) = default;
};
static_assert(sizeof(Pixel) == 4);

VASK_OS_API std::ostream& operator<<(std::ostream& out, const Pixel& pixel);

// Opaque colours the controls use.
inline constexpr Pixel kBlack{255, 0, 0, 0};
inline constexpr Pixel kWhite{255, 255, 255, 255};
// The window background of the effect-controls panel (the system's "window"
// colour).
inline constexpr Pixel kWindowColor = kWhite;

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// A rectangle in pixels: columns x … x + width − 1, rows y … y + height − 1.
// A width or height of 0 or less makes it empty.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;

    bool empty() const { return width <= 0 || height <= 0; }
    // x ≤ px < x + width and y ≤ py < y + height (no overflow for any values).
    bool contains(Point p) const {
        return !empty() && p.x >= x && p.y >= y && static_cast<long long>(p.x) - x < width &&
               static_cast<long long>(p.y) - y < height;
    }
};

VASK_OS_API std::ostream& operator<<(std::ostream& out, const Point& point);
VASK_OS_API std::ostream& operator<<(std::ostream& out, const Rect& rect);

// A read-only view of a 32-bit image laid out as an offscreen image holds it
// (a top-down device-independent bitmap): rows top first, `rowBytes` apart;
// each pixel one little-endian 32-bit word 0xXXRRGGBB, i.e. the bytes blue,
// green, red, X in memory. The fourth byte is not a coverage value and is
// never read. Not owning: the pixels must outlive the view's use.
// A view with null pixels, a size of 0 or less, or rowBytes < 4 × width is
// treated as an empty image.
struct BgraImageView {
    const void* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t rowBytes = 0;
};

// What a text call did. On failure (`ok` false) nothing was drawn and `error`
// names the font file and the fault, e.g.
//   "cannot open the font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf: ...".
struct TextResult {
    bool ok = false;
    int advance = 0;  // pixels from the start point to where the next text would start
    int ascent = 0;   // pixels the font's tallest glyphs rise above the baseline
    int descent = 0;  // pixels its deepest glyphs reach below the baseline
    std::string error;
};

VASK_OS_API std::ostream& operator<<(std::ostream& out, const TextResult& result);

// The one font of the drawing layer: DejaVu Sans, found through fontconfig
// the first time text is drawn or measured and then kept for the process;
// at this path when fontconfig does not offer it.
inline constexpr std::string_view kDefaultFontPath =
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// Text sizes are the font's em size in pixels, 1 … kMaxTextSize.
inline constexpr int kMaxTextSize = 512;

// Measures `utf8` as drawText would draw it at `pixelSize`: advance, ascent
// and descent. Invalid UTF-8 bytes count as U+FFFD. Thread-safe.
VASK_OS_API TextResult measureText(std::string_view utf8, int pixelSize);

class VASK_OS_API Canvas {
public:
    // An empty 0 × 0 canvas: every drawing call does nothing.
    Canvas() = default;

    // A canvas owning width × height pixels, all `fill` (transparent black by
    // default). Throws std::invalid_argument for a negative size and
    // std::length_error when the pixel count would not fit in memory.
    Canvas(int width, int height, Pixel fill = {});

    // A canvas over the caller's pixel memory (a host world, a window's
    // backing store): `pixels` points at the top row's first pixel, rows are
    // `rowBytes` apart downwards. The memory is not owned and must outlive the
    // canvas. Throws std::invalid_argument for a negative size, for
    // rowBytes < 4 × width, or for null pixels with a non-empty size.
    Canvas(void* pixels, int width, int height, std::ptrdiff_t rowBytes);

    // Movable (the moved-from canvas is left empty), not copyable: a copy of a
    // wrapping canvas would draw into the same memory behind its back.
    Canvas(Canvas&& other) noexcept;
    Canvas& operator=(Canvas&& other) noexcept;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    ~Canvas();

    int width() const { return width_; }
    int height() const { return height_; }
    std::ptrdiff_t rowBytes() const { return rowBytes_; }
    bool ownsPixels() const { return !storage_.empty(); }
    // The top row's first pixel (null for an empty canvas).
    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    // (0, 0, width, height).
    Rect bounds() const { return {0, 0, width_, height_}; }

    // The pixel at (x, y); transparent black {0, 0, 0, 0} outside the canvas.
    Pixel pixel(int x, int y) const;

    // Drawing is limited to `clip` ∩ bounds() (initially the whole canvas).
    // An empty clip suppresses all drawing.
    void setClip(Rect clip);
    void resetClip() { clip_ = bounds(); }
    Rect clip() const { return clip_; }

    // Sets every pixel of `rect` to `color`.
    void fillRect(Rect rect, Pixel color);

    // Sets the 1-pixel outline of `rect` (its first and last row and column)
    // to `color`; the inside is untouched. A rectangle 1 or 2 pixels wide or
    // tall is all outline.
    void frameRect(Rect rect, Pixel color);

    // Inverts red, green and blue (v → 255 − v) of every pixel of `rect`;
    // alpha is kept. Inverting twice restores the pixels.
    void invertRect(Rect rect);

    // Copies the `source` rectangle of `image` so that its top-left pixel
    // lands at `dest`. The source rectangle is first cut to the image (the
    // destination moving with it), the result then cut to the canvas clip.
    // Each source word 0xXXRRGGBB becomes the pixel {255, RR, GG, BB}: the
    // copy is opaque, as a copy to a window is.
    void blit(const BgraImageView& image, Rect source, Point dest);

    // Draws `utf8` in DejaVu Sans at `pixelSize` pixels with its baseline's
    // left end at `baseline`, anti-aliased: each glyph pixel blends `color`
    // (alpha included) over the canvas by its coverage. Returns the measures
    // of measureText; on failure (font missing or unreadable, size outside
    // 1 … kMaxTextSize) draws nothing and says why.
    TextResult drawText(std::string_view utf8, Point baseline, int pixelSize, Pixel color);

private:
    Pixel* row(int y) { return reinterpret_cast<Pixel*>(data_ + rowBytes_ * y); }
    const Pixel* row(int y) const { return reinterpret_cast<const Pixel*>(data_ + rowBytes_ * y); }
    // `rect` ∩ clip, with empty results as width/height 0.
    Rect clipped(Rect rect) const;

    std::vector<std::uint8_t> storage_;  // owned pixels; empty when wrapping
    std::uint8_t* data_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::ptrdiff_t rowBytes_ = 0;
    Rect clip_;
};

namespace testing {

// Points the drawing layer at another font file and forgets the loaded font,
// so the next text call loads `path` (a missing file makes text calls fail
// with their message). An empty path restores the default font.
VASK_OS_API void setFontPath(std::string_view path);

}  // namespace testing
}  // namespace vask::os
