// Golden pictures: small scenes whose look is checked against PNGs that a
// person has looked at (tests/data/golden/). Rendering is deterministic;
// the tolerance only absorbs floating-point differences between builds on
// the edges of triangles.
#include <cmath>
#include <vector>

#include "platform/os/Canvas.h"
#include "scene/builders/Builders.h"
#include "scene/builders/Constants.h"
#include "scene/builders/FaceLabels.h"
#include "scene/builders/Shapes.h"
#include "scene/math/Units.h"
#include "scene/preview/PreviewView.h"
#include "tests/q3d_views/GoldenImage.h"
#include "tests/q3d_views/ViewTestSupport.h"

namespace viewtest {
namespace {

class GoldenTest : public ViewTest {};

// At most 0.5% of the pixels may differ by more than 2 levels.
Tolerance tolerance(const RgbImage& image) { return {2, uint64_t(image.width) * image.height / 200}; }

RgbImage fromCanvas(const vask::os::Canvas& canvas) {
    RgbImage image;
    image.width = uint32_t(canvas.width());
    image.height = uint32_t(canvas.height());
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const vask::os::Pixel p = canvas.pixel(x, y);
            image.rgb.insert(image.rgb.end(), {p.red, p.green, p.blue});
        }
    }
    return image;
}

// Copies `tile` into `strip` at column `x0`.
void paste(RgbImage& strip, const RgbImage& tile, uint32_t x0) {
    for (uint32_t y = 0; y < tile.height; ++y) {
        std::copy_n(&tile.rgb[size_t(y) * tile.width * 3], tile.width * 3,
                    &strip.rgb[(size_t(y) * strip.width + x0) * 3]);
    }
}

Ref phong() { return Ref(Q3PhongIllumination_New()); }

// The manipulator's preview of the File and Mesh Object: the white unit box
// with black face labels, the axes and the red look-at marker, orbited 30
// degrees left and 25 up, under the preview's headlight and ambient light.
// Faults it shows: lighting (the three visible faces differ in shade), the
// labels' depth against the box, the axes drawn over the box where they
// stick out, the look-at marker at the centre.
TEST_F(GoldenTest, PreviewUnitBoxWithFaceLabels) {
    using namespace vask;
    const os::Rect rect{0, 0, 120, 96};
    PreviewView preview;
    preview.setup(rect, PreviewCamera::ViewAngle);
    preview.setWorldToCamera(multiply(rotationFromAngles(30 * kDegreesToRadians, 25 * kDegreesToRadians, 0),
                                      translate(identityMatrix(), Vec3{0, 0, -4})));
    preview.setFieldOfView(30 * kDegreesToRadians);
    preview.setLookAtDistance(4);

    ObjectRef illumination;
    makeIllumination(illumination);
    ObjectRef objects;
    makeOrderedGroup(objects);
    addToGroup(objects, illumination);
    addToGroup(objects, makeBox(Vec3{-0.5f, -0.5f, -0.5f}, kXAxis, kYAxis, kZAxis, 1, 1, 1, colors::kWhite));
    addToGroup(objects, makeFaceLabels(colors::kBlack));
    ObjectRef axes;
    makeOrderedGroup(axes);
    addToGroup(axes, illumination);
    addToGroup(axes, makeLine(kOrigin, Vec3{0.75f, 0, 0}, colors::kCyan));
    addToGroup(axes, makeLine(kOrigin, Vec3{0, 0.75f, 0}, colors::kYellow));
    addToGroup(axes, makeLine(kOrigin, Vec3{0, 0, 0.75f}, colors::kMagenta));
    ObjectRef lookAt;
    makeOrderedGroup(lookAt);
    addToGroup(lookAt, illumination);
    addToGroup(lookAt, makeEllipsoid(kOrigin, kXAxis, kYAxis, kZAxis, 0.05f, 0.05f, 0.05f, colors::kRed));
    preview.setObjectGroup(objects.get());
    preview.setAxesGroup(axes.get());
    preview.setLookAtGroup(lookAt.get());

    os::Canvas canvas(rect.width, rect.height);
    preview.renderTo(canvas);
    const RgbImage image = fromCanvas(canvas);
    expectMatchesGolden("preview_box", image, tolerance(image));
}

// A red sphere and a yellow cone (tipped towards the eye so that its base
// shows) lit from the upper left with Phong highlights. Faults it shows:
// tessellation (a ragged outline), normals (flat or inside-out shading, a
// dark seam), the cone's base cap and its apex shading.
TEST_F(GoldenTest, SphereAndCone) {
    Target target(128, 64);
    Scene scene(target, perspectiveCamera({0, 0, 5}, {0, 0, 0}, 0.75f, 2.0f), {1, 0.15f, 0.15f, 0.2f});
    scene.addLight(directionalLight({1, -1, -1}, 0.8f));
    scene.addLight(ambientLight(0.2f));
    Ref red = attributesWithColor({0.9f, 0.1f, 0.1f});
    Ref yellow = attributesWithColor({0.95f, 0.85f, 0.1f});
    TQ3EllipsoidData sphere{};
    sphere.origin = {-1.2f, 0, 0};
    sphere.orientation = {0, 0.9f, 0};
    sphere.majorRadius = {0, 0, 0.9f};
    sphere.minorRadius = {0.9f, 0, 0};
    sphere.uMax = sphere.vMax = 1;
    sphere.ellipsoidAttributeSet = red.get();
    Ref ellipsoid(Q3Ellipsoid_New(&sphere));
    TQ3ConeData coneData{};
    coneData.origin = {0, -0.8f, 0};
    coneData.orientation = {0, 1.6f, 0};
    coneData.majorRadius = {0, 0, 0.7f};
    coneData.minorRadius = {0.7f, 0, 0};
    coneData.uMax = coneData.vMax = 1;
    coneData.caps = kQ3EndCapMaskBottom;
    coneData.coneAttributeSet = yellow.get();
    Ref cone(Q3Cone_New(&coneData));
    // Tipped 35 degrees about X (its apex away from the eye), then moved right.
    const float c = std::cos(-0.6f), s = std::sin(-0.6f);
    const TQ3Matrix4x4 tip{{{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {1.2f, 0, 0, 1}}};
    Ref shader = phong();
    scene.render([&](TQ3ViewObject view) {
        ASSERT_EQ(Q3Shader_Submit(shader.get(), view), kQ3Success);
        ASSERT_EQ(Q3Geometry_Submit(ellipsoid.get(), view), kQ3Success);
        ASSERT_EQ(Q3MatrixTransform_Submit(&tip, view), kQ3Success);
        ASSERT_EQ(Q3Geometry_Submit(cone.get(), view), kQ3Success);
    });
    const RgbImage image = fromPixmap(target.pixmap);
    expectMatchesGolden("sphere_cone", image, tolerance(image));
}

// A 32 × 32 relief grid with smooth normals and surface UVs under a
// checkered pixmap texture with a red corner check, seen from 45 degrees
// above, Lambert illumination. Faults it shows: UV orientation (the red
// check belongs at the far left: it is the image's top-left, and v = 0 is
// the grid's near row and the image's bottom; wrapping blends a trace of it
// into the other corners), perspective-correct texturing (straight check
// edges across each triangle), lighting of textured surfaces (the slopes
// facing away from the light darker). The same grid made blank and given its
// values through the range calls draws the very same pixels.
TEST_F(GoldenTest, TexturedReliefGrid) {
    constexpr TQ3Uns32 n = 32;
    std::vector<TQ3Vertex3D> vertices(n * n);
    std::vector<Ref> sets;
    std::vector<TQ3Point3D> points;
    std::vector<TQ3Vector3D> normals;
    std::vector<TQ3Param2D> uvs;
    for (TQ3Uns32 r = 0; r < n; ++r) {
        for (TQ3Uns32 col = 0; col < n; ++col) {
            const float u = float(col) / (n - 1), v = float(r) / (n - 1);
            const float x = u - 0.5f, z = 0.5f - v;
            const float y = 0.08f * std::sin(9 * x) * std::cos(7 * z);
            const TQ3Vector3D normal{-0.72f * std::cos(9 * x) * std::cos(7 * z), 1,
                                     -0.56f * std::sin(9 * x) * std::sin(7 * z)};
            const TQ3Param2D uv{u, v};
            sets.emplace_back(Q3AttributeSet_New());
            Q3AttributeSet_Add(sets.back().get(), kQ3AttributeTypeNormal, &normal);
            Q3AttributeSet_Add(sets.back().get(), kQ3AttributeTypeSurfaceUV, &uv);
            vertices[r * n + col] = {{x, y, z}, sets.back().get()};
            points.push_back({x, y, z});
            normals.push_back(normal);
            uvs.push_back(uv);
        }
    }
    TQ3TriGridData data{n, n, vertices.data(), nullptr, nullptr};
    Ref grid(Q3TriGrid_New(&data));
    Ref blank(Q3TriGrid_NewBlank(n, n, kQ3True, kQ3True));
    ASSERT_EQ(Q3TriGrid_SetVertexRange(blank.get(), 0, n * n, points.data(), normals.data()), kQ3Success);
    ASSERT_EQ(Q3TriGrid_SetVertexUVs(blank.get(), 0, n * n, uvs.data()), kQ3Success);

    // Checks of 4 × 4 texels, blue and white, in a 32 × 32 ARGB32 image
    // stored big-endian (a, r, g, b in memory, as a host layer), with the
    // top-left check red.
    constexpr int kSide = 32;
    std::vector<unsigned char> texels(kSide * kSide * 4);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            unsigned char* p = &texels[size_t(y * kSide + x) * 4];
            const bool corner = x < 4 && y < 4;
            const bool dark = (x / 4 + y / 4) % 2 == 1;
            p[0] = 0xff;
            p[1] = corner ? 0xff : dark ? 0x30 : 0xff;
            p[2] = corner ? 0x00 : dark ? 0x70 : 0xff;
            p[3] = corner ? 0x00 : dark ? 0xd0 : 0xff;
        }
    }
    Ref storage(Q3MemoryStorage_New(texels.data(), TQ3Uns32(texels.size())));
    const TQ3StoragePixmap pixmap{storage.get(),      kSide,        kSide,       kSide * 4, 32,
                                  kQ3PixelTypeARGB32, kQ3EndianBig, kQ3EndianBig};
    Ref texture(Q3PixmapTexture_New(&pixmap));
    ASSERT_NE(texture, nullptr);
    Ref shader(Q3TextureShader_New(texture.get()));

    auto picture = [&](TQ3GeometryObject relief) {
        Target target(128, 128);
        Scene scene(target, perspectiveCamera({0, 1.1f, 1.1f}, {0, 0, 0}, 0.8f));
        scene.addLight(directionalLight({0.4f, -1, -0.3f}, 0.75f));
        scene.addLight(ambientLight(0.2f));
        Ref illumination(Q3LambertIllumination_New());
        Ref group(Q3OrderedDisplayGroup_New());
        Q3Group_AddObject(group.get(), relief);
        Q3Group_AddObject(group.get(), shader.get());
        Q3Group_AddObject(group.get(), illumination.get());
        scene.render([&](TQ3ViewObject view) { ASSERT_EQ(Q3DisplayGroup_Submit(group.get(), view), kQ3Success); });
        return fromPixmap(target.pixmap);
    };
    const RgbImage image = picture(grid.get());
    expectMatchesGolden("textured_grid", image, tolerance(image));
    EXPECT_TRUE(picture(blank.get()).rgb == image.rgb) << "the blank grid draws the same pixels";
}

// A spot light straight above a grey floor, hot angle 15 and outer angle 35
// degrees, once per fall-off, left to right: none (a hard-edged disc),
// linear, exponential (dimmer soon after the hot edge) and cosine (a smooth
// shoulder). Faults it shows: the cone's angles (the bright disc's size),
// the fall-off curves, attenuation across the floor.
TEST_F(GoldenTest, SpotLightFallOffs) {
    constexpr TQ3Uns32 n = 65;
    std::vector<TQ3Vertex3D> vertices(n * n);
    for (TQ3Uns32 r = 0; r < n; ++r) {
        for (TQ3Uns32 c = 0; c < n; ++c) {
            vertices[r * n + c] = {{-2 + 4.0f * c / (n - 1), 0, 2 - 4.0f * r / (n - 1)}, nullptr};
        }
    }
    Ref grey = attributesWithColor({0.8f, 0.8f, 0.8f});
    TQ3TriGridData data{n, n, vertices.data(), nullptr, grey.get()};
    Ref floor(Q3TriGrid_New(&data));

    RgbImage strip;
    strip.width = 256;
    strip.height = 64;
    strip.rgb.resize(size_t(strip.width) * strip.height * 3);
    const TQ3FallOffType fallOffs[4] = {kQ3FallOffTypeNone, kQ3FallOffTypeLinear, kQ3FallOffTypeExponential,
                                        kQ3FallOffTypeCosine};
    for (int i = 0; i < 4; ++i) {
        Target target(64, 64);
        TQ3ViewAngleAspectCameraData camera{};
        camera.cameraData.placement = {{0, 4, 0}, {0, 0, 0}, {0, 0, -1}};
        camera.cameraData.range = {0.1f, 10};
        camera.cameraData.viewPort = {{-1, 1}, 2, 2};
        camera.fov = 0.9f;
        camera.aspectRatioXToY = 1;
        Scene scene(target, Ref(Q3ViewAngleAspectCamera_New(&camera)));
        TQ3SpotLightData spot{};
        spot.lightData = {kQ3True, 1, {1, 1, 0.9f}};
        spot.castsShadows = kQ3True;
        spot.attenuation = kQ3AttenuationTypeNone;
        spot.location = {0, 2, 0};
        spot.direction = {0, -1, 0};
        spot.hotAngle = 15 * vask::kDegreesToRadians;
        spot.outerAngle = 35 * vask::kDegreesToRadians;
        spot.fallOff = fallOffs[i];
        scene.addLight(Ref(Q3SpotLight_New(&spot)));
        scene.addLight(ambientLight(0.1f));
        scene.render([&](TQ3ViewObject view) { ASSERT_EQ(Q3Geometry_Submit(floor.get(), view), kQ3Success); });
        paste(strip, fromPixmap(target.pixmap), uint32_t(i) * 64);
    }
    expectMatchesGolden("spot_falloff", strip, tolerance(strip));
}

}  // namespace
}  // namespace viewtest
