#include "tools/artwork/Raster.h"

#include <algorithm>
#include <cmath>

namespace artwork {
namespace {

constexpr int kSamples = 4;  // per axis

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// The angle `a` brought into [from, from + 2π).
float wrapFrom(float a, float from) {
    constexpr float kTurn = 6.28318530718f;
    while (a < from) a += kTurn;
    while (a >= from + kTurn) a -= kTurn;
    return a;
}

}  // namespace

Color hex(std::uint32_t rgb) {
    return {static_cast<float>(rgb >> 16 & 0xFF) / 255.0f,
            static_cast<float>(rgb >> 8 & 0xFF) / 255.0f, static_cast<float>(rgb & 0xFF) / 255.0f};
}

Color mix(Color a, Color b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Shape rect(float x, float y, float w, float h) {
    return {x, y, x + w, y + h,
            [=](float px, float py) { return px >= x && px < x + w && py >= y && py < y + h; }};
}

Shape ellipse(float cx, float cy, float rx, float ry) {
    return {cx - rx, cy - ry, cx + rx, cy + ry, [=](float px, float py) {
                const float u = (px - cx) / rx, v = (py - cy) / ry;
                return u * u + v * v <= 1.0f;
            }};
}

Shape polygon(std::vector<Pt> points) {
    Shape s{1e9f, 1e9f, -1e9f, -1e9f, {}};
    for (const Pt& p : points) {
        s.x0 = std::min(s.x0, p.x), s.y0 = std::min(s.y0, p.y);
        s.x1 = std::max(s.x1, p.x), s.y1 = std::max(s.y1, p.y);
    }
    s.inside = [points = std::move(points)](float px, float py) {
        bool in = false;
        for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const Pt& a = points[i];
            const Pt& b = points[j];
            if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x) {
                in = !in;
            }
        }
        return in;
    };
    return s;
}

Shape segment(Pt a, Pt b, float width) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float length = std::sqrt(dx * dx + dy * dy);
    const float nx = -dy / length * width / 2, ny = dx / length * width / 2;
    return polygon(
        {{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}});
}

Shape arc(float cx, float cy, float rx, float ry, float a0, float a1, float width, float tilt) {
    const float pad = width + std::max(rx, ry);
    const float c = std::cos(tilt), s = std::sin(tilt);
    return {cx - pad, cy - pad, cx + pad, cy + pad, [=](float px, float py) {
                // Into the ellipse's own frame.
                const float x = (px - cx) * c + (py - cy) * s;
                const float y = -(px - cx) * s + (py - cy) * c;
                const float t = std::atan2(y / ry, x / rx);
                if (wrapFrom(t, a0) > a1) return false;
                return std::hypot(x - rx * std::cos(t), y - ry * std::sin(t)) <= width / 2;
            }};
}

Shape arrowhead(Pt tip, Pt direction, float length, float halfWidth) {
    const float n = std::hypot(direction.x, direction.y);
    const float ux = direction.x / n, uy = direction.y / n;
    const Pt base{tip.x - ux * length, tip.y - uy * length};
    return polygon({tip,
                    {base.x - uy * halfWidth, base.y + ux * halfWidth},
                    {base.x + uy * halfWidth, base.y - ux * halfWidth}});
}

Shape unite(Shape a, Shape b) {
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1),
            [a = a.inside, b = b.inside](float x, float y) { return a(x, y) || b(x, y); }};
}

Shape subtract(Shape a, Shape b) {
    return {a.x0, a.y0, a.x1, a.y1,
            [a = a.inside, b = b.inside](float x, float y) { return a(x, y) && !b(x, y); }};
}

Shape moved(const Shape& shape, float dx, float dy) {
    return {shape.x0 + dx, shape.y0 + dy, shape.x1 + dx, shape.y1 + dy,
            [inside = shape.inside, dx, dy](float x, float y) { return inside(x - dx, y - dy); }};
}

void Layer::blend(int x, int y, Color color, float alpha) {
    Rgba& p = at(x, y);
    p.r = color.r * alpha + p.r * (1 - alpha);
    p.g = color.g * alpha + p.g * (1 - alpha);
    p.b = color.b * alpha + p.b * (1 - alpha);
    p.a = alpha + p.a * (1 - alpha);
}

void Layer::paint(const Shape& shape, Color color, float opacity) {
    const int x0 = std::max(0, static_cast<int>(std::floor(shape.x0)));
    const int y0 = std::max(0, static_cast<int>(std::floor(shape.y0)));
    const int x1 = std::min(width_, static_cast<int>(std::ceil(shape.x1)) + 1);
    const int y1 = std::min(height_, static_cast<int>(std::ceil(shape.y1)) + 1);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            int hits = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    hits += shape.inside(x + (sx + 0.5f) / kSamples, y + (sy + 0.5f) / kSamples);
                }
            }
            if (hits > 0) blend(x, y, color, opacity * hits / (kSamples * kSamples));
        }
    }
}

void Layer::clear(Color color) {
    for (Rgba& p : pixels_) p = {color.r, color.g, color.b, 1};
}

void Layer::composite(const Layer& top, int dx, int dy) {
    for (int y = 0; y < top.height(); ++y) {
        for (int x = 0; x < top.width(); ++x) {
            const int tx = x + dx, ty = y + dy;
            if (tx < 0 || ty < 0 || tx >= width_ || ty >= height_) continue;
            const Rgba& s = top.at(x, y);
            Rgba& d = at(tx, ty);
            d.r = s.r + d.r * (1 - s.a);
            d.g = s.g + d.g * (1 - s.a);
            d.b = s.b + d.b * (1 - s.a);
            d.a = s.a + d.a * (1 - s.a);
        }
    }
}

void Layer::compositeSilhouette(const Layer& top, int dx, int dy, Color color, float opacity) {
    for (int y = 0; y < top.height(); ++y) {
        for (int x = 0; x < top.width(); ++x) {
            const int tx = x + dx, ty = y + dy;
            if (tx < 0 || ty < 0 || tx >= width_ || ty >= height_) continue;
            const float a = top.at(x, y).a * opacity;
            if (a > 0) blend(tx, ty, color, a);
        }
    }
}

void Layer::compositeGrey(const Layer& top, int dx, int dy, Color dark, Color light) {
    for (int y = 0; y < top.height(); ++y) {
        for (int x = 0; x < top.width(); ++x) {
            const int tx = x + dx, ty = y + dy;
            if (tx < 0 || ty < 0 || tx >= width_ || ty >= height_) continue;
            const Rgba& s = top.at(x, y);
            if (s.a <= 0) continue;
            const float luminance = (0.30f * s.r + 0.59f * s.g + 0.11f * s.b) / s.a;
            blend(tx, ty, mix(dark, light, clamp01(luminance)), s.a);
        }
    }
}

std::vector<Rgb8> toRgb8(const Layer& layer) {
    std::vector<Rgb8> out;
    out.reserve(static_cast<std::size_t>(layer.width()) * layer.height());
    const auto byte = [](float v) {
        return static_cast<std::uint8_t>(std::lround(clamp01(v) * 255));
    };
    for (int y = 0; y < layer.height(); ++y) {
        for (int x = 0; x < layer.width(); ++x) {
            const Rgba& p = layer.at(x, y);
            out.push_back({byte(p.r), byte(p.g), byte(p.b)});
        }
    }
    return out;
}

}  // namespace artwork
