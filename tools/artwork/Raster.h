// A small anti-aliased painter for the artwork generator: shapes are inside
// tests over float coordinates (pixel (x, y) covers [x, x + 1) × [y, y + 1),
// y downwards), painted by coverage from 4 × 4 samples per pixel.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace artwork {

struct Color {
    float r = 0, g = 0, b = 0;  // 0 … 1, sRGB values
};

// 0xRRGGBB.
Color hex(std::uint32_t rgb);
Color mix(Color a, Color b, float t);  // a at t = 0, b at t = 1

struct Pt {
    float x = 0, y = 0;
};

// A region: a bounding box and an inside test.
struct Shape {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    std::function<bool(float, float)> inside;
};

Shape rect(float x, float y, float w, float h);
Shape ellipse(float cx, float cy, float rx, float ry);
inline Shape circle(float cx, float cy, float r) { return ellipse(cx, cy, r, r); }
// A convex or concave polygon (even-odd rule).
Shape polygon(std::vector<Pt> points);
// A segment of the given width with square-ish (flat) ends.
Shape segment(Pt a, Pt b, float width);
// A stroke of `width` along the ellipse (cx, cy, rx, ry) between angles a0
// and a1 (radians, a0 < a1, y downwards so angles grow clockwise on screen),
// the ellipse turned by `tilt` radians about its centre.
Shape arc(float cx, float cy, float rx, float ry, float a0, float a1, float width,
          float tilt = 0.0f);
// A triangular arrowhead with its tip at `tip`, pointing along `direction`.
Shape arrowhead(Pt tip, Pt direction, float length, float halfWidth);
Shape unite(Shape a, Shape b);
Shape subtract(Shape a, Shape b);
// The shape moved by (dx, dy).
Shape moved(const Shape& shape, float dx, float dy);

// Premultiplied RGBA pixels.
struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
};

class Layer {
public:
    Layer(int width, int height) : width_(width), height_(height), pixels_(width * height) {}

    int width() const { return width_; }
    int height() const { return height_; }
    Rgba& at(int x, int y) { return pixels_[y * width_ + x]; }
    const Rgba& at(int x, int y) const { return pixels_[y * width_ + x]; }

    // Paints `color` over what is there, by the shape's coverage × opacity.
    void paint(const Shape& shape, Color color, float opacity = 1.0f);
    // Fills every pixel with an opaque colour.
    void clear(Color color);
    // Composites `top` over this layer with its top-left at (dx, dy).
    void composite(const Layer& top, int dx, int dy);
    // Composites the coverage of `top` only, in one colour (an embossed or
    // disabled look).
    void compositeSilhouette(const Layer& top, int dx, int dy, Color color, float opacity = 1.0f);
    // Composites `top` with its colours turned grey (luminance mapped from
    // `dark` to `light`).
    void compositeGrey(const Layer& top, int dx, int dy, Color dark, Color light);

private:
    void blend(int x, int y, Color color, float alpha);

    int width_;
    int height_;
    std::vector<Rgba> pixels_;
};

// 8-bit RGB of an opaque layer, row by row.
struct Rgb8 {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb8&, const Rgb8&) = default;
};
std::vector<Rgb8> toRgb8(const Layer& layer);

}  // namespace artwork
