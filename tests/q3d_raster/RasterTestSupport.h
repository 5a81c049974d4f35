// Small scenes for the rasteriser tests: pixmaps, cameras, lights, meshes.
#pragma once

#include "platform/q3d/raster/ImageCompare.h"
#include "platform/q3d/raster/Renderer.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace q3d::raster::test {

// A pixmap over its own bytes, 4 bytes per pixel plus `padding` per row.
struct Canvas {
    Canvas(uint32_t width, uint32_t height, TQ3PixelType type = kQ3PixelTypeARGB32,
           TQ3Endian order = kQ3EndianLittle, uint32_t padding = 0)
        : bytes(size_t(width * 4 + padding) * height + 1, 0xcd) {
        pixmap.image = bytes.data();
        pixmap.width = width;
        pixmap.height = height;
        pixmap.rowBytes = width * 4 + padding;
        pixmap.pixelSize = 32;
        pixmap.pixelType = type;
        pixmap.bitOrder = order;
        pixmap.byteOrder = order;
    }
    Canvas(const Canvas&) = delete;

    PixelRGB at(uint32_t x, uint32_t y) const { return readPixel(pixmap, x, y); }

    uint64_t countNot(PixelRGB background) const {
        uint64_t n = 0;
        for (uint32_t y = 0; y < pixmap.height; ++y) {
            for (uint32_t x = 0; x < pixmap.width; ++x) {
                n += at(x, y) == background ? 0 : 1;
            }
        }
        return n;
    }

    std::vector<uint8_t> bytes;
    TQ3Pixmap pixmap{};
};

inline const TQ3ColorARGB kBlack{1.0f, 0.0f, 0.0f, 0.0f};
inline const PixelRGB kBlackPixel{0, 0, 0};

inline uint8_t byteOf(double v) {
    v = std::fmin(std::fmax(v, 0.0), 1.0);
    return uint8_t(std::lround(v * 255.0));
}

inline TQ3Matrix4x4 translation(float x, float y, float z) {
    return TQ3Matrix4x4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {x, y, z, 1}}};
}

// Orthographic camera on +Z looking down −Z whose picture spans world x in
// [0, width] and y in [0, height]: world (x, y) is pixel (x, height − y).
inline Camera pixelCamera(uint32_t width, uint32_t height) {
    Camera c;
    c.kind = ProjectionKind::Orthographic;
    c.worldToView = translation(0, 0, -10);
    c.left = 0;
    c.right = float(width);
    c.bottom = 0;
    c.top = float(height);
    c.hither = 1;
    c.yon = 100;
    return c;
}

// Orthographic camera on +Z looking down −Z showing x in [x0, x1], y in [y0, y1].
inline Camera orthoCamera(float x0, float y0, float x1, float y1) {
    Camera c = pixelCamera(1, 1);
    c.left = x0;
    c.right = x1;
    c.bottom = y0;
    c.top = y1;
    return c;
}

inline Light ambientLight(float brightness) {
    Light l;
    l.kind = LightKind::Ambient;
    l.brightness = brightness;
    return l;
}

inline Light directionalLight(TQ3Vector3D direction, float brightness) {
    Light l;
    l.kind = LightKind::Directional;
    l.direction = direction;
    l.brightness = brightness;
    return l;
}

struct Mesh {
    std::vector<TQ3Point3D> points;
    std::vector<TQ3Vector3D> normals;
    std::vector<TQ3Param2D> uvs;
    std::vector<TQ3ColorRGB> colors;
    std::vector<uint32_t> indices;

    VertexArrays arrays(bool withNormals = true) const {
        VertexArrays a;
        a.points = points.data();
        a.count = uint32_t(points.size());
        a.normals = withNormals && !normals.empty() ? normals.data() : nullptr;
        a.uvs = uvs.empty() ? nullptr : uvs.data();
        a.colors = colors.empty() ? nullptr : colors.data();
        return a;
    }
};

// The rectangle [x0, x1] × [y0, y1] at depth z, counter-clockwise seen from
// +Z, normals +Z, uv (0, 0) at (x0, y0) and (1, 1) at (x1, y1).
inline Mesh quad(float x0, float y0, float x1, float y1, float z = 0.0f) {
    Mesh m;
    m.points = {{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}};
    m.normals.assign(4, TQ3Vector3D{0, 0, 1});
    m.uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    m.indices = {0, 1, 2, 0, 2, 3};
    return m;
}

inline Material material(Illumination illumination, TQ3ColorRGB diffuse) {
    Material m;
    m.illumination = illumination;
    m.diffuseColor = diffuse;
    return m;
}

inline DrawState stateWith(const Material& m, Backfacing backfacing = Backfacing::Remove) {
    DrawState s;
    s.material = m;
    s.backfacing = backfacing;
    return s;
}

}  // namespace q3d::raster::test
