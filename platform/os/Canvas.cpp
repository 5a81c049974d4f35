#include "platform/os/Canvas.h"

#include "platform/os/Font.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <utility>

namespace vask::os {
namespace {

// A rectangle with 64-bit edges, so that x + width never overflows while
// clipping rectangles that lie anywhere in the int range.
struct Span {
    long long x0, y0, x1, y1;  // half-open: x0 ≤ x < x1
    bool empty() const { return x1 <= x0 || y1 <= y0; }
};

Span spanOf(Rect r) {
    if (r.empty()) return {0, 0, 0, 0};
    return {r.x, r.y, static_cast<long long>(r.x) + r.width,
            static_cast<long long>(r.y) + r.height};
}

Span intersect(Span a, Span b) {
    return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

// Only called with spans inside a canvas, whose edges fit in int.
Rect rectOf(Span s) {
    if (s.empty()) return {};
    return {static_cast<int>(s.x0), static_cast<int>(s.y0), static_cast<int>(s.x1 - s.x0),
            static_cast<int>(s.y1 - s.y0)};
}

std::uint8_t blend(std::uint8_t under, std::uint8_t over, unsigned coverage) {
    // under + (over − under) × coverage / 255, rounded, in integers.
    const int mix = (static_cast<int>(over) - under) * static_cast<int>(coverage);
    return static_cast<std::uint8_t>(under + (mix + (mix >= 0 ? 127 : -127)) / 255);
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Pixel& p) {
    return out << "Pixel{a " << int{p.alpha} << ", r " << int{p.red} << ", g " << int{p.green}
               << ", b " << int{p.blue} << '}';
}

std::ostream& operator<<(std::ostream& out, const Point& p) {
    return out << '(' << p.x << ", " << p.y << ')';
}

std::ostream& operator<<(std::ostream& out, const Rect& r) {
    return out << "Rect{" << r.x << ", " << r.y << ", " << r.width << " x " << r.height << '}';
}

std::ostream& operator<<(std::ostream& out, const TextResult& r) {
    if (!r.ok) return out << "TextResult{failed: " << r.error << '}';
    return out << "TextResult{advance " << r.advance << ", ascent " << r.ascent << ", descent "
               << r.descent << '}';
}

TextResult measureText(std::string_view utf8, int pixelSize) {
    return font::layOut(utf8, pixelSize, {});
}

Canvas::Canvas(int width, int height, Pixel fill) {
    if (width < 0 || height < 0) {
        throw std::invalid_argument("canvas size " + std::to_string(width) + " x " +
                                    std::to_string(height) + " is negative");
    }
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (count > std::numeric_limits<std::ptrdiff_t>::max() / 4) {
        throw std::length_error("canvas of " + std::to_string(width) + " x " +
                                std::to_string(height) + " pixels is too large");
    }
    storage_.resize(count * 4);
    data_ = storage_.empty() ? nullptr : storage_.data();
    width_ = width;
    height_ = height;
    rowBytes_ = static_cast<std::ptrdiff_t>(width) * 4;
    for (int y = 0; y < height_; ++y) std::fill_n(row(y), width_, fill);
    clip_ = bounds();
}

Canvas::Canvas(void* pixels, int width, int height, std::ptrdiff_t rowBytes) {
    if (width < 0 || height < 0) {
        throw std::invalid_argument("canvas size " + std::to_string(width) + " x " +
                                    std::to_string(height) + " is negative");
    }
    if (rowBytes < static_cast<std::ptrdiff_t>(width) * 4) {
        throw std::invalid_argument("canvas rows of " + std::to_string(rowBytes) +
                                    " bytes cannot hold " + std::to_string(width) + " pixels");
    }
    if (pixels == nullptr && width > 0 && height > 0) {
        throw std::invalid_argument("canvas of " + std::to_string(width) + " x " +
                                    std::to_string(height) + " pixels has no pixel memory");
    }
    data_ = width > 0 && height > 0 ? static_cast<std::uint8_t*>(pixels) : nullptr;
    width_ = data_ != nullptr ? width : 0;
    height_ = data_ != nullptr ? height : 0;
    rowBytes_ = rowBytes;
    clip_ = bounds();
}

Canvas::Canvas(Canvas&& other) noexcept
    : storage_(std::move(other.storage_)),
      data_(std::exchange(other.data_, nullptr)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      rowBytes_(std::exchange(other.rowBytes_, 0)),
      clip_(std::exchange(other.clip_, Rect{})) {
    other.storage_.clear();
}

Canvas& Canvas::operator=(Canvas&& other) noexcept {
    if (this != &other) {
        storage_ = std::move(other.storage_);
        other.storage_.clear();
        data_ = std::exchange(other.data_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        rowBytes_ = std::exchange(other.rowBytes_, 0);
        clip_ = std::exchange(other.clip_, Rect{});
    }
    return *this;
}

Canvas::~Canvas() = default;

Pixel Canvas::pixel(int x, int y) const {
    if (!bounds().contains({x, y})) return {};
    return row(y)[x];
}

void Canvas::setClip(Rect clip) { clip_ = rectOf(intersect(spanOf(clip), spanOf(bounds()))); }

Rect Canvas::clipped(Rect rect) const { return rectOf(intersect(spanOf(rect), spanOf(clip_))); }

void Canvas::fillRect(Rect rect, Pixel color) {
    const Rect r = clipped(rect);
    for (int y = r.y; y < r.y + r.height; ++y) std::fill_n(row(y) + r.x, r.width, color);
}

void Canvas::frameRect(Rect rect, Pixel color) {
    if (rect.empty()) return;
    const Span s = spanOf(rect);
    // Each edge as a span, cut to the clip; an edge beyond the int range lies
    // beyond every canvas and so vanishes in the cut.
    const Span edges[4] = {
        {s.x0, s.y0, s.x1, s.y0 + 1},                              // top
        {s.x0, std::max(s.y0 + 1, s.y1 - 1), s.x1, s.y1},          // bottom (none when 1 row tall)
        {s.x0, s.y0 + 1, s.x0 + 1, s.y1 - 1},                      // left, between top and bottom
        {std::max(s.x0 + 1, s.x1 - 1), s.y0 + 1, s.x1, s.y1 - 1},  // right
    };
    for (const Span& edge : edges) {
        const Rect r = rectOf(intersect(edge, spanOf(clip_)));
        for (int y = r.y; y < r.y + r.height; ++y) std::fill_n(row(y) + r.x, r.width, color);
    }
}

void Canvas::invertRect(Rect rect) {
    const Rect r = clipped(rect);
    for (int y = r.y; y < r.y + r.height; ++y) {
        Pixel* p = row(y) + r.x;
        for (int x = 0; x < r.width; ++x, ++p) {
            p->red = static_cast<std::uint8_t>(255 - p->red);
            p->green = static_cast<std::uint8_t>(255 - p->green);
            p->blue = static_cast<std::uint8_t>(255 - p->blue);
        }
    }
}

void Canvas::blit(const BgraImageView& image, Rect source, Point dest) {
    if (image.pixels == nullptr || image.width <= 0 || image.height <= 0 ||
        image.rowBytes < static_cast<std::ptrdiff_t>(image.width) * 4) {
        return;
    }
    // Cut the source to the image, moving the destination along with it.
    const Span wanted = spanOf(source);
    const Span src = intersect(wanted, {0, 0, image.width, image.height});
    if (src.empty()) return;
    const long long dx = static_cast<long long>(dest.x) + (src.x0 - wanted.x0);
    const long long dy = static_cast<long long>(dest.y) + (src.y0 - wanted.y0);
    // Then cut the destination to the clip, moving the source along with it.
    const Span dst =
        intersect({dx, dy, dx + (src.x1 - src.x0), dy + (src.y1 - src.y0)}, spanOf(clip_));
    if (dst.empty()) return;
    const long long sx = src.x0 + (dst.x0 - dx);
    const long long sy = src.y0 + (dst.y0 - dy);
    const auto* base = static_cast<const std::uint8_t*>(image.pixels);
    for (long long y = dst.y0; y < dst.y1; ++y) {
        const std::uint8_t* in = base + image.rowBytes * (sy + (y - dst.y0)) + 4 * sx;
        Pixel* out = row(static_cast<int>(y)) + dst.x0;
        for (long long x = dst.x0; x < dst.x1; ++x, in += 4, ++out) {
            // The word 0xXXRRGGBB stored little-endian: blue, green, red, X.
            *out = Pixel{255, in[2], in[1], in[0]};
        }
    }
}

TextResult Canvas::drawText(std::string_view utf8, Point baseline, int pixelSize, Pixel color) {
    const Span clip = spanOf(clip_);
    return font::layOut(utf8, pixelSize, [&](const font::GlyphImage& glyph) {
        const long long gx = static_cast<long long>(baseline.x) + glyph.penX + glyph.left;
        const long long gy = static_cast<long long>(baseline.y) - glyph.top;
        const Span box = intersect({gx, gy, gx + glyph.width, gy + glyph.rows}, clip);
        for (long long y = box.y0; y < box.y1; ++y) {
            const std::uint8_t* coverage = glyph.coverage + glyph.pitch * (y - gy) + (box.x0 - gx);
            Pixel* out = row(static_cast<int>(y)) + box.x0;
            for (long long x = box.x0; x < box.x1; ++x, ++coverage, ++out) {
                const unsigned c = *coverage;
                if (c == 0) continue;
                out->alpha = blend(out->alpha, color.alpha, c);
                out->red = blend(out->red, color.red, c);
                out->green = blend(out->green, color.green, c);
                out->blue = blend(out->blue, color.blue, c);
            }
        }
    });
}

namespace testing {

void setFontPath(std::string_view path) { font::setPath(path); }

}  // namespace testing
}  // namespace vask::os
