// Lighting against closed forms: every expected value below is computed from
// the formulas in Lights.h; the tolerance of one 8-bit step covers rounding
// to bytes and the approximations of pow, acos and exp.
#include "tests/q3d_raster/RasterTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace q3d::raster::test {
namespace {

constexpr double kPi = 3.14159265358979;

// Renders `mesh` with `state` under `lights` through `camera` into a fresh
// canvas and returns the colour at (x, y).
PixelRGB renderAt(const Mesh& mesh, const DrawState& state, std::span<const Light> lights, const Camera& camera,
                  uint32_t size, uint32_t x, uint32_t y, bool withNormals = true) {
    Canvas canvas(size, size);
    Renderer renderer(1);
    EXPECT_TRUE(renderer.beginFrame(canvas.pixmap, &kBlack));
    renderer.setCamera(camera);
    renderer.setLights(lights);
    renderer.drawTriangles(mesh.arrays(withNormals), mesh.indices, state);
    renderer.endFrame();
    return canvas.at(x, y);
}

void expectNear(PixelRGB actual, double r, double g, double b, int tolerance = 1) {
    EXPECT_NEAR(actual.r, byteOf(r), tolerance) << actual;
    EXPECT_NEAR(actual.g, byteOf(g), tolerance) << actual;
    EXPECT_NEAR(actual.b, byteOf(b), tolerance) << actual;
}

TEST(Lighting, LambertUnderHeadlightAndAmbientGivesDiffuseExactly) {
    const Light lights[] = {directionalLight({0, 0, -1}, 0.8f), ambientLight(0.2f)};
    const TQ3ColorRGB diffuse{0.5f, 0.25f, 1.0f};
    const Mesh mesh = quad(4, 4, 28, 28);
    // With vertex normals and lit per triangle from the face normal.
    for (bool withNormals : {true, false}) {
        Canvas canvas(32, 32);
        Renderer renderer(1);
        ASSERT_TRUE(renderer.beginFrame(canvas.pixmap, &kBlack));
        renderer.setCamera(pixelCamera(32, 32));
        renderer.setLights(lights);
        renderer.drawTriangles(mesh.arrays(withNormals), mesh.indices,
                               stateWith(material(Illumination::Lambert, diffuse)));
        const PixelRGB expected{byteOf(0.5), byteOf(0.25), byteOf(1.0)};
        for (uint32_t y = 4; y < 28; ++y) {
            for (uint32_t x = 4; x < 28; ++x) {
                ASSERT_EQ(canvas.at(x, y), expected) << "pixel " << x << ", " << y << " normals " << withNormals;
            }
        }
        EXPECT_EQ(canvas.at(3, 3), kBlackPixel);
        EXPECT_EQ(canvas.at(28, 28), kBlackPixel);
    }
}

TEST(Lighting, NullIlluminationIgnoresLightsAndUsesVertexColours) {
    const Light lights[] = {ambientLight(0.1f)};
    Mesh mesh = quad(0, 0, 8, 8);
    mesh.colors.assign(4, TQ3ColorRGB{0.2f, 0.4f, 0.6f});
    PixelRGB p = renderAt(mesh, stateWith(material(Illumination::Null, {1, 1, 1})), lights, pixelCamera(8, 8), 8, 4, 4);
    EXPECT_EQ(p, (PixelRGB{byteOf(0.2), byteOf(0.4), byteOf(0.6)}));
}

TEST(Lighting, PhongAddsSpecularColourTimesHighlight) {
    Material m = material(Illumination::Phong, {0.2f, 0.2f, 0.2f});
    m.specularColor = {0.4f, 0.4f, 0.4f};
    m.specularControl = 4.0f;
    const Mesh mesh = quad(0, 0, 8, 8);
    // Light straight down the view axis: N · H = 1.
    {
        const Light lights[] = {directionalLight({0, 0, -1}, 1.0f)};
        expectNear(renderAt(mesh, stateWith(m), lights, pixelCamera(8, 8), 8, 4, 4), 0.2 + 0.4, 0.6, 0.6);
    }
    // Light tilted by 60°: N · L = cos 60°, N · H = cos 30°, so the colour is
    // 0.2 cos 60° + 0.4 cosⁿ 30°, for whole and fractional exponents n.
    for (float n : {4.0f, 7.5f}) {
        m.specularControl = n;
        const double a = 60.0 * kPi / 180.0;
        const Light lights[] = {directionalLight({float(-std::sin(a)), 0, float(-std::cos(a))}, 1.0f)};
        double expected = 0.2 * std::cos(a) + 0.4 * std::pow(std::cos(a / 2), double(n));
        expectNear(renderAt(mesh, stateWith(m), lights, pixelCamera(8, 8), 8, 4, 4), expected, expected, expected);
    }
    m.specularControl = 4.0f;
    // Light from behind the surface: neither diffuse nor specular.
    {
        const Light lights[] = {directionalLight({0, 0, 1}, 1.0f)};
        EXPECT_EQ(renderAt(mesh, stateWith(m), lights, pixelCamera(8, 8), 8, 4, 4), kBlackPixel);
    }
}

// A probe: a tiny quad at (x, 0, 0) facing +Z, filling a 10 × 10 picture.
double probeRed(const Light& light, float x, const Material& m) {
    const float half = 0.002f;
    Mesh mesh = quad(x - half, -half, x + half, half);
    const Light lights[] = {light};
    PixelRGB p = renderAt(mesh, stateWith(m), lights, orthoCamera(x - 0.0025f, -0.0025f, x + 0.0025f, 0.0025f), 10,
                          5, 5);
    return p.r / 255.0;
}

TEST(Lighting, PointLightAttenuationFollowsInverseDistancePowers) {
    const Material m = material(Illumination::Lambert, {0.8f, 0.8f, 0.8f});
    struct Case {
        Attenuation attenuation;
        float brightness;
        double (*expected)(double d);
    };
    const Case cases[] = {
        {Attenuation::None, 0.5f, [](double) { return 0.8 * 0.5; }},
        {Attenuation::InverseDistance, 1.0f, [](double d) { return 0.8 / d; }},
        {Attenuation::InverseDistanceSquared, 3.0f, [](double d) { return 0.8 * 3.0 / (d * d); }},
    };
    for (const Case& c : cases) {
        for (float distance : {2.0f, 4.0f}) {
            Light light;
            light.kind = LightKind::Point;
            light.location = {0, 0, distance};
            light.brightness = c.brightness;
            light.attenuation = c.attenuation;
            EXPECT_NEAR(probeRed(light, 0.0f, m), c.expected(distance), 1.0 / 255)
                << "attenuation " << int(c.attenuation) << " distance " << distance;
        }
    }
}

// Spot at (0, 0, 1) aiming down −Z over the plane z = 0: the probe at
// x = tan θ sees the light at angle θ with N · L = cos θ.
double spotAt(FallOff fallOff, double degrees) {
    Light light;
    light.kind = LightKind::Spot;
    light.location = {0, 0, 1};
    light.direction = {0, 0, -2};  // need not be unit length
    light.hotAngle = float(20.0 * kPi / 180.0);
    light.outerAngle = float(40.0 * kPi / 180.0);
    light.fallOff = fallOff;
    return probeRed(light, float(std::tan(degrees * kPi / 180.0)), material(Illumination::Lambert, {1, 1, 1}));
}

TEST(Lighting, SpotLightIsFullInsideHotAngleDarkOutsideOuterAndFallsOffBetween) {
    const double e4 = std::exp(-4.0);
    struct Case {
        FallOff fallOff;
        double atMiddle;  // fall-off factor at t = 0.5 (30°)
    };
    const Case cases[] = {
        {FallOff::None, 1.0},
        {FallOff::Linear, 0.5},
        {FallOff::Exponential, (std::exp(-2.0) - e4) / (1.0 - e4)},
        {FallOff::Cosine, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.fallOff));
        EXPECT_NEAR(spotAt(c.fallOff, 10.0), std::cos(10.0 * kPi / 180.0), 1.0 / 255);
        EXPECT_NEAR(spotAt(c.fallOff, 30.0), std::cos(30.0 * kPi / 180.0) * c.atMiddle, 1.0 / 255);
        EXPECT_EQ(spotAt(c.fallOff, 41.0), 0.0);
        EXPECT_EQ(spotAt(c.fallOff, 60.0), 0.0);
    }
    // The linear fall-off at a quarter and three quarters of the band.
    EXPECT_NEAR(spotAt(FallOff::Linear, 25.0), std::cos(25.0 * kPi / 180.0) * 0.75, 1.0 / 255);
    EXPECT_NEAR(spotAt(FallOff::Linear, 35.0), std::cos(35.0 * kPi / 180.0) * 0.25, 1.0 / 255);
    // Without fall-off the edge is hard.
    EXPECT_NEAR(spotAt(FallOff::None, 39.0), std::cos(39.0 * kPi / 180.0), 1.0 / 255);
}

TEST(Lighting, SpotWithHotAngleAboveOuterUsesTheOuterAngle) {
    Light light;
    light.kind = LightKind::Spot;
    light.location = {0, 0, 1};
    light.direction = {0, 0, -1};
    light.hotAngle = 1.0f;
    light.outerAngle = 0.3f;
    light.fallOff = FallOff::Linear;
    const Material m = material(Illumination::Lambert, {1, 1, 1});
    EXPECT_NEAR(probeRed(light, float(std::tan(0.25)), m), std::cos(0.25), 1.0 / 255);
    EXPECT_EQ(probeRed(light, float(std::tan(0.35)), m), 0.0);
}

TEST(Lighting, LightsOffBlackOrBrokenAddNothing) {
    const Mesh mesh = quad(0, 0, 8, 8);
    const Material m = material(Illumination::Lambert, {1, 1, 1});
    Light off = directionalLight({0, 0, -1}, 1.0f);
    off.isOn = false;
    Light noDirection = directionalLight({0, 0, 0}, 1.0f);
    Light nanBrightness = directionalLight({0, 0, -1}, NAN);
    Light nanSpot;
    nanSpot.kind = LightKind::Spot;
    nanSpot.location = {NAN, 0, 1};
    const Light lights[] = {ambientLight(0.25f), off, noDirection, nanBrightness, nanSpot};
    EXPECT_EQ(renderAt(mesh, stateWith(m), lights, pixelCamera(8, 8), 8, 4, 4),
              (PixelRGB{byteOf(0.25), byteOf(0.25), byteOf(0.25)}));
}

TEST(Lighting, ColouredLightsAndSaturation) {
    const Mesh mesh = quad(0, 0, 8, 8);
    Light red = directionalLight({0, 0, -1}, 2.0f);
    red.color = {1.0f, 0.25f, 0.0f};
    const Light lights[] = {red};
    // 2 × (1, 0.25, 0) × diffuse (0.75, 0.5, 1): red saturates at 1.
    PixelRGB p = renderAt(mesh, stateWith(material(Illumination::Lambert, {0.75f, 0.5f, 1.0f})), lights,
                          pixelCamera(8, 8), 8, 4, 4);
    EXPECT_EQ(p, (PixelRGB{255, byteOf(0.25), 0}));
}

TEST(Lighting, NormalsFollowTheInverseTransposeOfTheLocalMatrix) {
    // A surface tilted by a non-uniform scale: the plane x + y = 0 in local
    // space, with local normal (1, 1, 0)/√2, stretched ×2 along x becomes the
    // plane with normal ∝ (1/2, 1, 0).
    Mesh mesh;
    mesh.points = {{-1, 1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, 1, 1}};
    mesh.normals.assign(4, TQ3Vector3D{1, 1, 0});
    mesh.indices = {0, 1, 2, 0, 2, 3};
    DrawState state = stateWith(material(Illumination::Lambert, {1, 1, 1}), Backfacing::Both);
    state.localToWorld = TQ3Matrix4x4{{{2, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    // Light along −Y: N · L = 1 / |(0.5, 1, 0)|.
    const Light lights[] = {directionalLight({0, -1, 0}, 1.0f)};
    // Seen from the world direction (1, 1, 0): the rows of worldToView are
    // the images of world X, Y and Z in view space, so the view's −Z looks
    // along world (−1, −1, 0).
    Camera camera = orthoCamera(-1, -1, 1, 1);
    const float s = float(std::sqrt(0.5));
    camera.worldToView = TQ3Matrix4x4{{{s, 0, s, 0}, {-s, 0, s, 0}, {0, -1, 0, 0}, {0, 0, -10, 1}}};
    PixelRGB p = renderAt(mesh, state, lights, camera, 16, 8, 8);
    const double expected = 1.0 / std::sqrt(0.25 + 1.0);
    expectNear(p, expected, expected, expected);
}

TEST(Lighting, NormalsSurviveExtremeScales) {
    // Shrunk by 1e−25 across, the inverse transpose of the scale holds 1e−50,
    // below what a float keeps; the normal must still come out as +Z.
    const Mesh mesh = quad(0, 0, 8, 8);
    DrawState state = stateWith(material(Illumination::Lambert, {1, 1, 1}));
    state.localToWorld = TQ3Matrix4x4{{{1e-25f, 0, 0, 0}, {0, 1e-25f, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    const Light lights[] = {directionalLight({0, 0, -1}, 1.0f)};
    EXPECT_EQ(renderAt(mesh, state, lights, orthoCamera(0, 0, 8e-25f, 8e-25f), 8, 4, 4), (PixelRGB{255, 255, 255}));
}

}  // namespace
}  // namespace q3d::raster::test
