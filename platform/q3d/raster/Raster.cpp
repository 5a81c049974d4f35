#include "platform/q3d/raster/Raster.h"

#include "platform/q3d/raster/Gouraud.h"
#include "platform/q3d/raster/Pipeline.h"
#include "platform/q3d/raster/PixelFormat.h"
#include "platform/q3d/raster/TexturedPixel.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace q3d::raster::detail {

namespace {

inline uint32_t toByte(float value) {
    // NaN and negatives to 0; the comparison form keeps NaN out of the cast.
    if (!(value > 0.0f)) {
        return 0;
    }
    return value >= 254.5f ? 255u : static_cast<uint32_t>(value + 0.5f);
}

// A packed colour (alpha ignored) as the target stores it, opaque.
inline uint32_t finishWord(const RasterTarget& target, uint32_t colour) {
    colour |= 0xff000000u;
    return target.swapBytes ? __builtin_bswap32(colour) : colour;
}

inline uint32_t pixelWord(const RasterTarget& target, float r, float g, float b) {
    uint32_t word = packColour(toByte(r), toByte(g), toByte(b));
    return target.swapBytes ? __builtin_bswap32(word) : word;
}

// Edge function of the directed edge from → to, evaluated at pixel centres:
// E(p) = (to − from) × (p − from), positive inside a triangle whose
// signed area is positive. `bias` is 1 for edges that do not own the pixel
// centres lying exactly on them (all but top and left edges).
struct Edge {
    int64_t value;  // at the first pixel centre of the current row
    int64_t stepX;
    int64_t stepY;
    int64_t bias;
};

Edge makeEdge(int32_t fromX, int32_t fromY, int32_t toX, int32_t toY, int32_t firstX, int32_t firstY) {
    int64_t dx = int64_t(toX) - fromX;
    int64_t dy = int64_t(toY) - fromY;
    int64_t px = int64_t(firstX) * kSubPixel + kHalfPixel - fromX;
    int64_t py = int64_t(firstY) * kSubPixel + kHalfPixel - fromY;
    Edge e;
    e.value = dx * py - dy * px;
    e.stepX = -dy * kSubPixel;
    e.stepY = dx * kSubPixel;
    bool topLeft = dy < 0 || (dy == 0 && dx > 0);
    e.bias = topLeft ? 0 : 1;
    return e;
}

// Narrows the pixel offsets [kMin, kMax] of a row to where value + k·stepX −
// bias >= 0. Exact integer arithmetic.
inline void narrow(const Edge& e, int64_t value, int64_t& kMin, int64_t& kMax) {
    int64_t v = value - e.bias;
    if (e.stepX == 0) {
        if (v < 0) {
            kMax = -1;
        }
    } else if (e.stepX > 0) {
        if (v < 0) {
            int64_t need = (-v + e.stepX - 1) / e.stepX;
            kMin = std::max(kMin, need);
        }
    } else {
        if (v < 0) {
            kMax = -1;
        } else {
            kMax = std::min(kMax, v / -e.stepX);
        }
    }
}

// Orientation, candidate pixels and edge functions of one triangle.
struct Coverage {
    int order[3];  // corners reordered so that the signed area is positive
    int32_t x0;
    int32_t x1;
    int32_t y0;
    int32_t y1;
    Edge edge[3];  // edge[i] is opposite corner order[i] and gives its weight
    float invArea;
    bool wide;

    // False when no pixel centre of `tile` can be covered.
    bool setup(const TileRect& tile, const int32_t x[3], const int32_t y[3]) {
        int a = 0;
        int b = 1;
        int c = 2;
        int64_t area =
            (int64_t(x[b]) - x[a]) * (int64_t(y[c]) - y[a]) - (int64_t(x[c]) - x[a]) * (int64_t(y[b]) - y[a]);
        if (area == 0) {
            return false;
        }
        if (area < 0) {
            std::swap(b, c);
            area = -area;
        }
        int32_t minX = std::min({x[0], x[1], x[2]});
        int32_t maxX = std::max({x[0], x[1], x[2]});
        int32_t minY = std::min({y[0], y[1], y[2]});
        int32_t maxY = std::max({y[0], y[1], y[2]});
        // Pixel centres i·256 + 128 inside [min, max].
        x0 = std::max(tile.x0, (minX + kHalfPixel - 1) >> kSubPixelBits);
        x1 = std::min(tile.x1 - 1, (maxX - kHalfPixel) >> kSubPixelBits);
        y0 = std::max(tile.y0, (minY + kHalfPixel - 1) >> kSubPixelBits);
        y1 = std::min(tile.y1 - 1, (maxY - kHalfPixel) >> kSubPixelBits);
        if (x0 > x1 || y0 > y1) {
            return false;
        }
        order[0] = a;
        order[1] = b;
        order[2] = c;
        edge[0] = makeEdge(x[b], y[b], x[c], y[c], x0, y0);
        edge[1] = makeEdge(x[c], y[c], x[a], y[a], x0, y0);
        edge[2] = makeEdge(x[a], y[a], x[b], y[b], x0, y0);
        invArea = 1.0f / static_cast<float>(area);
        wide = x1 - x0 >= 4;
        return true;
    }

    // Calls pixel(x, y, wa, wb, wc) for every covered pixel, with the edge
    // values of the corners order[0..2] (their weights times the area).
    // Consumes the edges.
    template <class Pixel>
    void forEachPixel(Pixel&& pixel) {
        Edge& ea = edge[0];
        Edge& eb = edge[1];
        Edge& ec = edge[2];
        for (int32_t y = y0; y <= y1; ++y) {
            int64_t kMin = 0;
            int64_t kMax = x1 - x0;
            if (wide) {
                narrow(ea, ea.value, kMin, kMax);
                narrow(eb, eb.value, kMin, kMax);
                narrow(ec, ec.value, kMin, kMax);
            }
            if (kMin <= kMax) {
                int64_t wa = ea.value + kMin * ea.stepX;
                int64_t wb = eb.value + kMin * eb.stepX;
                int64_t wc = ec.value + kMin * ec.stepX;
                for (int32_t x = x0 + int32_t(kMin); x <= x0 + int32_t(kMax); ++x) {
                    if (((wa - ea.bias) | (wb - eb.bias) | (wc - ec.bias)) >= 0) {
                        pixel(x, y, wa, wb, wc);
                    }
                    wa += ea.stepX;
                    wb += eb.stepX;
                    wc += ec.stepX;
                }
            }
            ea.value += ea.stepY;
            eb.value += eb.stepY;
            ec.value += ec.stepY;
        }
    }
};

}  // namespace

void rasterGouraud(const RasterTarget& target, const TileRect& tile, const ScreenVertex& a, const ScreenVertex& b,
                   const ScreenVertex& c, uint32_t colourA, uint32_t colourB, uint32_t colourC) {
    const int32_t x[3] = {a.x, b.x, c.x};
    const int32_t y[3] = {a.y, b.y, c.y};
    Coverage cover;
    if (!cover.setup(tile, x, y)) {
        return;
    }
    const float z[3] = {a.z, b.z, c.z};
    const uint32_t colours[3] = {colourA, colourB, colourC};
    GouraudCorners g;
    for (int i = 0; i < 3; ++i) {
        g.z[i] = z[cover.order[i]];
        g.colour[i] = unpackColour(colours[cover.order[i]]);
    }
    g.invArea = cover.invArea;
    cover.forEachPixel([&](int32_t px, int32_t py, int64_t wa, int64_t wb, int64_t wc) {
        const GouraudWeights f(g, wa, wb, wc);
        float* depth = target.depth + size_t(py) * size_t(target.width) + size_t(px);
        const float pz = gouraudDepth(g, f);
        if (!(pz < *depth)) {
            return;
        }
        *depth = pz;
        storeWord(target.pixels + size_t(py) * target.rowBytes + size_t(px) * 4,
                  finishWord(target, gouraudColour(g, f)));
    });
}

void rasterTexturedTriangle(const RasterTarget& target, const TileRect& tile, const TriangleSetup& s,
                            const TextureSampler& texture) {
    Coverage cover;
    if (!cover.setup(tile, s.x, s.y)) {
        return;
    }
    const TexturedCorners t = texturedCorners(s, cover.order);
    const float invArea = cover.invArea;
    cover.forEachPixel([&](int32_t px, int32_t py, int64_t wa, int64_t wb, int64_t wc) {
        const float fa = static_cast<float>(wa) * invArea;
        const float fb = static_cast<float>(wb) * invArea;
        const float fc = static_cast<float>(wc) * invArea;
        float* depth = target.depth + size_t(py) * size_t(target.width) + size_t(px);
        const float pz = texturedDepth(t, fa, fb, fc);
        if (!(pz < *depth)) {
            return;
        }
        *depth = pz;
        storeWord(target.pixels + size_t(py) * target.rowBytes + size_t(px) * 4,
                  finishWord(target, texturedColour(t, fa, fb, fc, texture)));
    });
}

namespace {

void plot(const RasterTarget& target, float x, float y, float z, const float rgb[3]) {
    // The comparisons also keep NaN out.
    if (!(x >= 0.0f && y >= 0.0f && x < float(target.width) && y < float(target.height))) {
        return;
    }
    int32_t px = static_cast<int32_t>(x);
    int32_t py = static_cast<int32_t>(y);
    if (px >= target.width || py >= target.height) {
        return;
    }
    float* depth = target.depth + size_t(py) * size_t(target.width) + size_t(px);
    if (!(z < *depth)) {
        return;
    }
    *depth = z;
    storeWord(target.pixels + size_t(py) * target.rowBytes + size_t(px) * 4,
              pixelWord(target, rgb[0], rgb[1], rgb[2]));
}

}  // namespace

void rasterFragment(const RasterTarget& target, int32_t x, int32_t y, float z, uint32_t colour) {
    float* depth = target.depth + size_t(y) * size_t(target.width) + size_t(x);
    if (z < *depth) {
        *depth = z;
        storeWord(target.pixels + size_t(y) * target.rowBytes + size_t(x) * 4, finishWord(target, colour));
    }
}

void rasterLine(const RasterTarget& target, const LinePoint& a, const LinePoint& b) {
    float dx = b.x - a.x;
    float dy = b.y - a.y;
    float length = std::max(std::fabs(dx), std::fabs(dy));
    if (!std::isfinite(length)) {
        return;
    }
    // Clipped lines stay within the guard band, so this is bounded; the cap
    // only guards against misuse.
    int32_t steps = static_cast<int32_t>(std::min(std::ceil(length), 1.0e6f));
    float rgb[3];
    for (int32_t k = 0; k <= steps; ++k) {
        float t = steps == 0 ? 0.0f : float(k) / float(steps);
        for (int i = 0; i < 3; ++i) {
            rgb[i] = a.rgb[i] + t * (b.rgb[i] - a.rgb[i]);
        }
        plot(target, a.x + t * dx, a.y + t * dy, a.z + t * (b.z - a.z), rgb);
    }
}

void rasterPoint(const RasterTarget& target, const LinePoint& point) {
    plot(target, point.x, point.y, point.z, point.rgb);
}

void clearRows(const RasterTarget& target, int32_t y0, int32_t y1, const uint32_t* word) {
    for (int32_t y = y0; y < y1; ++y) {
        float* depth = target.depth + size_t(y) * size_t(target.width);
        std::fill(depth, depth + target.width, 1.0f);
        if (word != nullptr) {
            uint8_t* row = target.pixels + size_t(y) * target.rowBytes;
            for (int32_t x = 0; x < target.width; ++x) {
                storeWord(row + size_t(x) * 4, *word);
            }
        }
    }
}

}  // namespace q3d::raster::detail
