#include "tools/artwork/AboutPicture.h"

#include <algorithm>
#include <cmath>

namespace artwork {
namespace {

struct V3 {
    float x = 0, y = 0, z = 0;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
V3 normalize(V3 a) { return a * (1.0f / std::sqrt(dot(a, a))); }

float smoothstep(float edge0, float edge1, float x) {
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// The relief: two soft hills and a gentle ripple.
float height(float x, float z) {
    const auto hill = [](float dx, float dz, float spread) {
        return std::exp(-(dx * dx + dz * dz) / spread);
    };
    return 0.55f * hill(x + 0.55f, z + 1.1f, 0.25f) + 0.40f * hill(x - 0.8f, z + 2.2f, 0.35f) +
           0.06f * std::sin(3.0f * x + 1.0f) * std::cos(2.5f * z);
}

V3 surfaceNormal(float x, float z) {
    const float e = 0.01f;
    const float dx = (height(x + e, z) - height(x - e, z)) / (2 * e);
    const float dz = (height(x, z + e) - height(x, z - e)) / (2 * e);
    return normalize({-dx, 1, -dz});
}

struct Camera {
    V3 eye{0.0f, 1.45f, 3.0f};
    V3 forward, right, up;
    float focal = 118.0f;
    float centreX = kAboutWidth / 2.0f;
    float centreY = kAboutHeight * 0.40f;

    Camera() {
        forward = normalize(V3{0.0f, 0.10f, -0.9f} - eye);
        right = normalize(cross(forward, {0, 1, 0}));
        up = cross(right, forward);
    }
    Pt project(V3 p) const {
        const V3 d = p - eye;
        const float z = dot(d, forward);
        return {centreX + focal * dot(d, right) / z, centreY - focal * dot(d, up) / z};
    }
};

struct Spot {
    V3 position{0.75f, 1.55f, -1.7f};
    V3 axis;
    float inner = std::cos(0.20f);
    float outer = std::cos(0.30f);
    float halfAngle = 0.30f;

    explicit Spot(V3 target) { axis = normalize(target - position); }
    float lit(V3 p) const { return smoothstep(outer, inner, dot(normalize(p - position), axis)); }
};

// Convex hull (monotone chain) of 2D points.
std::vector<Pt> hull(std::vector<Pt> points) {
    std::sort(points.begin(), points.end(),
              [](Pt a, Pt b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    const auto turn = [](Pt o, Pt a, Pt b) {
        return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
    };
    std::vector<Pt> out(points.size() * 2);
    std::size_t k = 0;
    for (const Pt& p : points) {
        while (k >= 2 && turn(out[k - 2], out[k - 1], p) <= 0) --k;
        out[k++] = p;
    }
    for (std::size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
        while (k >= lower && turn(out[k - 2], out[k - 1], points[i]) <= 0) --k;
        out[k++] = points[i];
    }
    out.resize(k - 1);
    return out;
}

// The cone of `spot` with half-angle `angle`, cut by the plane y = `floor`.
Shape beam(const Camera& camera, const Spot& spot, float angle, float floor) {
    const V3 a1 = normalize(cross(spot.axis, {0, 0, 1}));
    const V3 a2 = cross(spot.axis, a1);
    std::vector<Pt> points{camera.project(spot.position)};
    for (int k = 0; k < 48; ++k) {
        const float phi = 6.2831853f * static_cast<float>(k) / 48;
        const V3 dir = spot.axis * std::cos(angle) +
                       (a1 * std::cos(phi) + a2 * std::sin(phi)) * std::sin(angle);
        const float t = (floor - spot.position.y) / dir.y;
        points.push_back(camera.project(spot.position + dir * t));
    }
    return polygon(hull(std::move(points)));
}

// The 16 colours: night blues, the grid's teals, the light's golds, the
// lamp's greys.
const std::vector<Rgb8> kPalette = {
    {0x07, 0x0A, 0x14}, {0x0F, 0x17, 0x30}, {0x18, 0x24, 0x47}, {0x23, 0x34, 0x5F},
    {0x30, 0x47, 0x7A}, {0x1E, 0x6A, 0x80}, {0x3F, 0xA0, 0xB8}, {0x8A, 0xD6, 0xE6},
    {0x5A, 0x4A, 0x30}, {0x9C, 0x7A, 0x38}, {0xD9, 0xAE, 0x4A}, {0xFF, 0xE4, 0x8A},
    {0xFF, 0xF8, 0xDC}, {0x5C, 0x62, 0x70}, {0xA3, 0xAA, 0xB8}, {0xFF, 0xFF, 0xFF},
};

}  // namespace

IndexedImage drawAboutPicture() {
    Layer picture(kAboutWidth, kAboutHeight);
    const Camera camera;

    // The night sky, darkest at the top.
    for (int y = 0; y < kAboutHeight; ++y) {
        const float t = std::pow(static_cast<float>(y) / kAboutHeight, 1.3f);
        picture.paint(rect(0, static_cast<float>(y), kAboutWidth, 1),
                      mix(hex(0x05070F), hex(0x22325E), t));
    }

    const V3 target{-0.15f, height(-0.15f, -0.55f), -0.55f};
    const Spot spot(target);
    const V3 sky = normalize({-0.4f, 1.0f, 0.6f});

    // The relief: a coarse grid of lines over finely shaded faces. Rows are
    // drawn far to near, so that nearer faces hide what lies behind them.
    constexpr int kColumns = 13, kRows = 20, kFine = 4;
    constexpr float kX0 = -1.9f, kX1 = 1.9f, kZ0 = -3.4f, kZ1 = 2.3f;
    const auto vertex = [&](float i, float j) {
        const float x = kX0 + (kX1 - kX0) * i / kColumns;
        const float z = kZ0 + (kZ1 - kZ0) * j / kRows;
        return V3{x, height(x, z), z};
    };
    const auto spotLight = [&](V3 p, V3 normal) {
        return spot.lit(p) * std::max(0.0f, dot(normal, normalize(spot.position - p)));
    };
    for (int j = 0; j < kRows; ++j) {
        const float depth = static_cast<float>(j) / kRows;  // 0 far … 1 near
        for (int fj = 0; fj < kFine; ++fj) {
            for (int fi = 0; fi < kColumns * kFine; ++fi) {
                const float i0 = static_cast<float>(fi) / kFine, i1 = i0 + 1.0f / kFine;
                const float j0 = j + static_cast<float>(fj) / kFine, j1 = j0 + 1.0f / kFine;
                const V3 corners[4] = {vertex(i0, j0), vertex(i1, j0), vertex(i1, j1),
                                       vertex(i0, j1)};
                const V3 centre = (corners[0] + corners[2]) * 0.5f;
                const V3 normal = surfaceNormal(centre.x, centre.z);
                const float shade = 0.25f + 0.75f * std::max(0.0f, dot(normal, sky));
                Color face = mix(hex(0x0A1026), hex(0x34508A), shade * (0.35f + 0.65f * depth));
                face = mix(face, hex(0xC09A44), std::min(1.0f, spotLight(centre, normal) * 1.3f));
                std::vector<Pt> quad;
                for (const V3& c : corners) quad.push_back(camera.project(c));
                // Grown a little so that neighbouring faces leave no seams.
                picture.paint(polygon(quad), face);
                picture.paint(segment(quad[1], quad[2], 0.4f), face);
                picture.paint(segment(quad[2], quad[3], 0.4f), face);
            }
        }
        for (int i = 0; i < kColumns; ++i) {
            const V3 corners[4] = {vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1),
                                   vertex(i, j + 1)};
            std::vector<Pt> quad;
            for (const V3& c : corners) quad.push_back(camera.project(c));
            const float width = 0.5f + 0.6f * depth;
            for (int k = 0; k < 4; ++k) {
                const V3 middle = (corners[k] + corners[(k + 1) % 4]) * 0.5f;
                const float light = spotLight(middle, surfaceNormal(middle.x, middle.z));
                Color line = mix(hex(0x163F58), hex(0x4CB4CC), std::min(1.0f, depth * 1.3f));
                line = mix(line, hex(0xFFEAA0), std::min(1.0f, light * 1.5f));
                picture.paint(segment(quad[k], quad[(k + 1) % 4], width), line, 0.9f);
            }
        }
    }

    // The beam: a faint outer cone and a brighter core, over the relief.
    picture.paint(beam(camera, spot, spot.halfAngle, target.y), hex(0xFFE9A0), 0.13f);
    picture.paint(beam(camera, spot, spot.halfAngle * 0.55f, target.y), hex(0xFFF4C8), 0.12f);

    // The lamp: a short housing along the axis, its mouth glowing.
    const V3 side = normalize(cross(spot.axis, {0, 0, 1}));
    const V3 back = spot.position - spot.axis * 0.32f;
    const V3 mouth = spot.position;
    picture.paint(
        polygon({camera.project(back + side * 0.07f), camera.project(mouth + side * 0.13f),
                 camera.project(mouth - side * 0.13f), camera.project(back - side * 0.07f)}),
        hex(0x5C6270));
    picture.paint(
        segment(camera.project(back + side * 0.07f), camera.project(mouth + side * 0.13f), 0.8f),
        hex(0xA3AAB8));
    const Pt glow = camera.project(mouth);
    picture.paint(circle(glow.x, glow.y, 5.0f), hex(0xFFE48A), 0.25f);
    picture.paint(
        segment(camera.project(mouth + side * 0.13f), camera.project(mouth - side * 0.13f), 1.6f),
        hex(0xFFF8DC));

    return mapToPalette(toRgb8(picture), kAboutWidth, kAboutHeight, kPalette, true);
}

}  // namespace artwork
