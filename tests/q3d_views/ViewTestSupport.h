// Shared helpers of the view tests: owned references, pixmaps, cameras,
// lights and small scenes, all through the C API.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <utility>
#include <vector>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DCamera.h"
#include "platform/q3d/QD3DDrawContext.h"
#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DLight.h"
#include "platform/q3d/QD3DRenderer.h"
#include "platform/q3d/QD3DSet.h"
#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/QD3DStorage.h"
#include "platform/q3d/QD3DStyle.h"
#include "platform/q3d/QD3DTesting.h"
#include "platform/q3d/QD3DTransform.h"
#include "platform/q3d/QD3DView.h"
#include "tests/q3d/Q3dTestSupport.h"

namespace viewtest {

// Owned references and the fixture are the scene-library tests' own.
using q3dtest::Ref;
using ViewTest = q3dtest::Q3dTest;

struct Rgb {
    int r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "rgb(" << c.r << ", " << c.g << ", " << c.b << ")";
}
// Whether every channel is within `tolerance`.
inline bool near(const Rgb& a, const Rgb& b, int tolerance) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

// A 32-bit pixmap over its own bytes, filled with 0xCD so untouched pixels
// show.
struct Target {
    Target(uint32_t width, uint32_t height, TQ3PixelType type = kQ3PixelTypeARGB32, TQ3Endian order = kQ3EndianLittle)
        : bytes(size_t(width) * height * 4, 0xcd) {
        pixmap = {bytes.data(), width, height, width * 4, 32, type, order, order};
    }
    Target(const Target&) = delete;

    Rgb at(uint32_t x, uint32_t y) const {
        const uint8_t* p = bytes.data() + (size_t(y) * pixmap.width + x) * 4;
        return pixmap.byteOrder == kQ3EndianBig ? Rgb{p[1], p[2], p[3]} : Rgb{p[2], p[1], p[0]};
    }

    std::vector<uint8_t> bytes;
    TQ3Pixmap pixmap{};
};

inline TQ3Matrix4x4 translation(float x, float y, float z) {
    return TQ3Matrix4x4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {x, y, z, 1}}};
}

// Eye on +Z at (0, 0, 10) looking at the origin, showing x and y in
// [−half, half]: world (x, y) lands on pixel ((x / half + 1) × w / 2,
// (1 − y / half) × h / 2).
Ref orthoCamera(float half = 1.0f);
// Eye at `eye` looking at `at`, +Y up, the given full field of view.
Ref perspectiveCamera(TQ3Point3D eye, TQ3Point3D at, float fov, float aspect = 1.0f);

Ref ambientLight(float brightness);
Ref directionalLight(TQ3Vector3D direction, float brightness);

Ref attributesWithColor(TQ3ColorRGB color);

// A flat quad from (x0, y0) to (x1, y1) at height z, a 2 × 2 grid facing +Z
// (or −Z when `facingBack`), with `set` (may be null) as its grid set.
Ref quad(float x0, float y0, float x1, float y1, float z, TQ3AttributeSet set, bool facingBack = false);

// The box with corner `origin` and edges along the axes.
Ref box(TQ3Point3D origin, TQ3Vector3D size, TQ3AttributeSet set = nullptr);

// A view rendering into `target` through `camera`, cleared to `clear`, lit
// by the lights added.
struct Scene {
    Scene(Target& target, Ref camera, TQ3ColorARGB clear = {1, 0, 0, 0});

    void addLight(Ref light) { ASSERT_NE(Q3Group_AddObject(lights.get(), light.get()), nullptr); }

    // One rendering loop calling submit(view) once per traversal.
    template <class Submit>
    void render(Submit&& submit) {
        ASSERT_EQ(Q3View_StartRendering(view.get()), kQ3Success);
        TQ3ViewStatus status;
        do {
            submit(view.get());
        } while ((status = Q3View_EndRendering(view.get())) == kQ3ViewStatusRetraverse);
        ASSERT_EQ(status, kQ3ViewStatusDone);
    }

    Ref view;
    Ref renderer;
    Ref context;
    Ref camera;
    Ref lights;
};

// One bounding loop over submit(view); the box it gives.
template <class Submit>
TQ3BoundingBox boundsOf(TQ3ViewObject view, TQ3ComputeBounds mode, Submit&& submit) {
    TQ3BoundingBox box{};
    EXPECT_EQ(Q3View_StartBoundingBox(view, mode), kQ3Success);
    do {
        submit(view);
    } while (Q3View_EndBoundingBox(view, &box) == kQ3ViewStatusRetraverse);
    return box;
}

}  // namespace viewtest

inline std::ostream& operator<<(std::ostream& out, const TQ3Point3D& p) {
    return out << "(" << p.x << ", " << p.y << ", " << p.z << ")";
}
inline std::ostream& operator<<(std::ostream& out, const TQ3BoundingBox& b) {
    if (b.isEmpty) return out << "BoundingBox{empty}";
    return out << "BoundingBox{" << b.min << " .. " << b.max << "}";
}
