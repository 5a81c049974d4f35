// The eight-lane vertex stage against the four-lane one: every output bit
// for bit, across the lighting model's branches.
#include "platform/q3d/raster/VertexStage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace q3d::raster::detail {
namespace {

struct Outputs {
    explicit Outputs(uint32_t n) : screen(n), outcode(n), colour(n), colourBack(n), tex(n), texBack(n) {}
    VertexOutput view() {
        return {screen.data(), outcode.data(), colour.data(), colourBack.data(), tex.data(), texBack.data()};
    }
    std::vector<ScreenVertex> screen;
    std::vector<uint8_t> outcode;
    std::vector<uint32_t> colour;
    std::vector<uint32_t> colourBack;
    std::vector<TexShade> tex;
    std::vector<LitFactors> texBack;
};

template <class T>
bool sameBytes(const std::vector<T>& a, const std::vector<T>& b) {
    return std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

TEST(VertexStage, EightLanesGiveTheBitsOfFour) {
    if (!wideLanesAvailable()) {
        GTEST_SKIP() << "no AVX2 here";
    }
    const uint32_t n = 1000;
    std::mt19937 random(11);
    std::uniform_real_distribution<float> spread(-2.0f, 2.0f);
    std::vector<TQ3Point3D> points(n);
    std::vector<TQ3Vector3D> normals(n);
    std::vector<TQ3Param2D> uvs(n);
    std::vector<TQ3ColorRGB> colours(n);
    for (uint32_t i = 0; i < n; ++i) {
        points[i] = {spread(random), spread(random), spread(random) - 3.0f};
        normals[i] = i % 97 == 0 ? TQ3Vector3D{0, 0, 0} : TQ3Vector3D{spread(random), spread(random), spread(random)};
        uvs[i] = {spread(random), spread(random)};
        colours[i] = {spread(random) * 0.5f + 0.5f, 0.25f, spread(random) * 0.5f + 0.5f};
    }
    points[5].x = std::numeric_limits<float>::quiet_NaN();
    points[6].z = 1e30f;

    std::vector<Light> lights;
    Light ambient;
    ambient.kind = LightKind::Ambient;
    ambient.brightness = 0.2f;
    lights.push_back(ambient);
    Light point;
    point.kind = LightKind::Point;
    point.location = {0.5f, 1.0f, -1.0f};
    point.attenuation = Attenuation::InverseDistanceSquared;
    lights.push_back(point);
    for (FallOff fallOff : {FallOff::Linear, FallOff::Exponential, FallOff::Cosine}) {
        Light spot;
        spot.kind = LightKind::Spot;
        spot.location = {0.0f, 2.0f, 0.0f};
        spot.direction = {0.1f, -1.0f, -0.8f};
        spot.hotAngle = 0.2f;
        spot.outerAngle = 0.9f;
        spot.fallOff = fallOff;
        spot.attenuation = Attenuation::InverseDistance;
        lights.push_back(spot);
    }

    float toClip[4][4] = {{1.2f, 0.1f, 0.0f, 0.0f}, {0.0f, 1.5f, 0.0f, 0.0f}, {0.3f, 0.2f, -1.0f, -1.0f},
                          {0.0f, 0.0f, -0.2f, 0.0f}};
    for (auto& row : toClip) {
        for (float& v : row) {
            v *= 400.0f;
        }
    }
    for (const float exponent : {20.0f, 7.5f}) {
        for (const ProjectionKind kind : {ProjectionKind::Perspective, ProjectionKind::Orthographic}) {
            Material material;
            material.illumination = Illumination::Phong;
            material.specularControl = exponent;
            Shading shading;
            shading.prepare(lights, material, identity4(), kind);
            for (int variant = 0; variant < 4; ++variant) {
                SCOPED_TRACE(::testing::Message() << "exponent " << exponent << " variant " << variant);
                VertexInput in;
                in.points = points.data();
                in.normals = normals.data();
                in.uvs = uvs.data();
                in.colors = variant == 0 ? colours.data() : nullptr;
                in.count = n;
                std::memcpy(in.toClip, toClip, sizeof toClip);
                for (int i = 0; i < 4; ++i) {
                    for (int j = 0; j < 3; ++j) {
                        in.toWorld[i][j] = i == j ? 1.0f : (i == 3 ? 0.1f * float(j) : 0.0f);
                    }
                }
                for (int i = 0; i < 3; ++i) {
                    in.normalToWorld[i][i] = 1.0f;
                }
                const float guard[4] = {-8192.0f, 8192.0f + 640.0f, -8192.0f, 8192.0f + 480.0f};
                std::memcpy(in.guard, guard, sizeof guard);
                in.shading = &shading;
                in.diffuse = {0.8f, 0.6f, 0.4f};
                in.specular = {1.0f, 0.9f, 0.5f};
                in.textured = variant >= 2;
                in.twoSided = variant == 1 || variant == 2;
                in.shadeVertices = variant != 3;
                Outputs four(n);
                Outputs eight(n);
                runVertexStage4(in, four.view(), 0, n);
                runVertexStage8(in, eight.view(), 0, n);
                EXPECT_TRUE(sameBytes(four.screen, eight.screen));
                EXPECT_TRUE(sameBytes(four.outcode, eight.outcode));
                if (in.textured) {
                    EXPECT_TRUE(sameBytes(four.tex, eight.tex));
                    EXPECT_TRUE(!in.twoSided || sameBytes(four.texBack, eight.texBack));
                } else {
                    EXPECT_TRUE(sameBytes(four.colour, eight.colour));
                    EXPECT_TRUE(!in.twoSided || sameBytes(four.colourBack, eight.colourBack));
                }
            }
        }
    }
}

}  // namespace
}  // namespace q3d::raster::detail
