// Determinism across thread counts, and inputs that must neither crash nor
// draw nonsense: degenerate, non-finite, huge, out of range, empty.
#include "tests/q3d_raster/RasterTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace q3d::raster::test {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// A relief like the mesh plug-in's: rows × columns vertices over [−0.5,
// 0.5]², heights from a smooth function, per-vertex normals and UVs.
Mesh relief(uint32_t rows, uint32_t columns) {
    Mesh m;
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t c = 0; c < columns; ++c) {
            float x = -0.5f + float(c) / float(columns - 1);
            float z = 0.5f - float(r) / float(rows - 1);
            float y = 0.15f * std::sin(9.0f * x) * std::cos(7.0f * z);
            m.points.push_back({x, y, z});
            float dx = 0.15f * 9.0f * std::cos(9.0f * x) * std::cos(7.0f * z);
            float dz = -0.15f * 7.0f * std::sin(9.0f * x) * std::sin(7.0f * z);
            m.normals.push_back({-dx, 1.0f, -dz});
            m.uvs.push_back({float(c) / float(columns - 1), float(r) / float(rows - 1)});
            m.colors.push_back({0.5f + 0.5f * x, 0.6f, 0.5f - 0.5f * z});
        }
    }
    return m;
}

// Looks at the origin from `distance` along (0, 1, 1)/√2, 45° above.
Camera reliefCamera(float distance, float aspect) {
    Camera camera;
    const float s = float(std::sqrt(0.5));
    // View axes in world: X = (1, 0, 0), Y = (0, s, −s), Z = (0, s, s).
    // worldToView = rotation (transpose) then translation.
    camera.worldToView = TQ3Matrix4x4{{{1, 0, 0, 0}, {0, s, s, 0}, {0, -s, s, 0}, {0, 0, -distance, 1}}};
    camera.aspectRatio = aspect;
    camera.hither = 0.05f;
    camera.yon = 10.0f;
    return camera;
}

struct Variant {
    const char* name;
    bool normals;
    bool textured;
    Backfacing backfacing;
    Fill fill;
    float distance;  // small: the near plane cuts the relief
};

// The relief of Determinism below, or `grid` (rows × columns) when given;
// with `listed`, its triangles go through drawTriangles in the grid's order.
std::vector<uint8_t> renderRelief(const Variant& v, unsigned threads, const Mesh* grid = nullptr,
                                  uint32_t rows = 97, uint32_t columns = 131, bool listed = false) {
    static const Mesh standard = relief(97, 131);
    const Mesh& mesh = grid != nullptr ? *grid : standard;
    std::vector<uint32_t> texels(16 * 16);
    for (uint32_t i = 0; i < texels.size(); ++i) {
        texels[i] = 0xff000000u | (i * 2654435761u >> 8);
    }
    Texture texture;
    texture.pixmap = TQ3Pixmap{texels.data(), 16, 16, 64, 32, kQ3PixelTypeRGB32, kQ3EndianLittle, kQ3EndianLittle};

    Canvas canvas(200, 150);
    Renderer renderer(threads);
    EXPECT_TRUE(renderer.beginFrame(canvas.pixmap, &kBlack));
    renderer.setCamera(reliefCamera(v.distance, 200.0f / 150.0f));
    Light spot;
    spot.kind = LightKind::Spot;
    spot.location = {0.3f, 0.8f, 0.4f};
    spot.direction = {-0.3f, -0.8f, -0.4f};
    spot.hotAngle = 0.3f;
    spot.outerAngle = 0.6f;
    spot.fallOff = FallOff::Cosine;
    spot.attenuation = Attenuation::InverseDistance;
    const Light lights[] = {ambientLight(0.15f), spot, directionalLight({0.2f, -1, -0.3f}, 0.4f)};
    renderer.setLights(lights);
    Material m = material(Illumination::Phong, {0.8f, 0.7f, 0.6f});
    m.specularControl = 12.0f;
    DrawState state = stateWith(m, v.backfacing);
    state.fill = v.fill;
    state.texture = v.textured ? &texture : nullptr;
    VertexArrays arrays = mesh.arrays(v.normals);
    arrays.colors = v.textured ? nullptr : arrays.colors;
    if (listed) {
        std::vector<uint32_t> indices;
        for (uint32_t r = 0; r + 1 < rows; ++r) {
            for (uint32_t c = 0; c + 1 < columns; ++c) {
                const uint32_t k = r * columns + c;
                indices.insert(indices.end(), {k, k + 1, k + columns, k + 1, k + columns + 1, k + columns});
            }
        }
        renderer.drawTriangles(arrays, indices, state);
    } else {
        renderer.drawTriGrid(arrays, rows, columns, state);
    }
    renderer.endFrame();
    return canvas.bytes;
}

TEST(Determinism, SamePictureBitForBitWithAnyThreadCount) {
    const Variant variants[] = {
        {"smooth", true, false, Backfacing::Remove, Fill::Filled, 1.6f},
        {"facets, near plane cuts", false, false, Backfacing::Both, Fill::Filled, 0.35f},
        {"textured two-sided, near plane cuts", true, true, Backfacing::Flip, Fill::Filled, 0.35f},
        {"textured facets", false, true, Backfacing::Remove, Fill::Filled, 1.2f},
        {"edges", true, false, Backfacing::Remove, Fill::Edges, 1.2f},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        std::vector<uint8_t> one = renderRelief(v, 1);
        size_t drawn = 0;
        for (size_t i = 0; i + 4 <= one.size(); i += 4) {
            drawn += (one[i] | one[i + 1] | one[i + 2]) != 0 ? 1 : 0;
        }
        EXPECT_GT(drawn, 200u * 150u / 4);
        EXPECT_EQ(one, renderRelief(v, 2));
        EXPECT_EQ(one, renderRelief(v, 3));
    }
}

TEST(Determinism, GridsDrawAsTheirTrianglesListed) {
    // Grids of cells near and below a pixel take a path of their own; it
    // must give the very pixels of the same triangles drawn one by one.
    // The jittered grid folds over itself (back faces, overlaps) and puts
    // corners exactly on pixel centres; the close views cut it at the near
    // plane; 313 columns leave a partial batch at each row's end.
    const uint32_t rows = 241;
    const uint32_t columns = 313;
    Mesh dense = relief(rows, columns);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> jitter(-1.5f, 1.5f);
    for (size_t i = 0; i < dense.points.size(); ++i) {
        if (i % 3 == 0) {
            dense.points[i].x += jitter(random) / float(columns);
            dense.points[i].z += jitter(random) / float(rows);
        }
    }
    const Variant variants[] = {
        {"smooth", true, false, Backfacing::Remove, Fill::Filled, 1.6f},
        {"two-sided, near plane cuts", true, false, Backfacing::Flip, Fill::Filled, 0.35f},
        {"both faces", true, false, Backfacing::Both, Fill::Filled, 0.9f},
        {"textured two-sided", true, true, Backfacing::Flip, Fill::Filled, 1.2f},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        EXPECT_EQ(renderRelief(v, 2, &dense, rows, columns, true), renderRelief(v, 2, &dense, rows, columns));
        EXPECT_EQ(renderRelief(v, 1, nullptr, 97, 131, true), renderRelief(v, 1));
    }
    // Corners on pixel centres and on the lines between them, where the
    // top-left rule decides: half-pixel steps under a pixel camera.
    const uint32_t side = 41;
    Mesh snapped;
    for (uint32_t r = 0; r < side; ++r) {
        for (uint32_t c = 0; c < side; ++c) {
            const float wobble = float((r * 7 + c * 3) % 5) * 0.25f;
            snapped.points.push_back({float(c) * 0.5f + wobble, float(r) * 0.5f + wobble, -float(c % 3)});
            snapped.colors.push_back({float(c) / side, float(r) / side, 0.5f});
        }
    }
    auto draw = [&](bool listed) {
        Canvas canvas(24, 24);
        Renderer renderer(1);
        renderer.beginFrame(canvas.pixmap, &kBlack);
        renderer.setCamera(pixelCamera(24, 24));
        const DrawState state = stateWith(material(Illumination::Null, {1, 1, 1}), Backfacing::Both);
        if (listed) {
            std::vector<uint32_t> indices;
            for (uint32_t k = 0; k + side + 1 < side * side; ++k) {
                if (k % side != side - 1) {
                    indices.insert(indices.end(), {k, k + 1, k + side, k + 1, k + side + 1, k + side});
                }
            }
            renderer.drawTriangles(snapped.arrays(), indices, state);
        } else {
            renderer.drawTriGrid(snapped.arrays(), side, side, state);
        }
        return canvas.bytes;
    };
    EXPECT_EQ(draw(true), draw(false));
}

class Robustness : public ::testing::Test {
protected:
    Robustness() : canvas(64, 48) {
        EXPECT_TRUE(renderer.beginFrame(canvas.pixmap, &kBlack));
        renderer.setCamera(pixelCamera(64, 48));
    }

    void draw(const Mesh& m, Backfacing backfacing = Backfacing::Both) {
        renderer.drawTriangles(m.arrays(), m.indices, stateWith(material(Illumination::Null, {1, 1, 1}), backfacing));
    }

    uint64_t drawn() const { return canvas.countNot(kBlackPixel); }

    Canvas canvas;
    Renderer renderer{2};
};

TEST_F(Robustness, DegenerateTrianglesDrawNothing) {
    Mesh m;
    m.points = {{10, 10, 0}, {10, 10, 0}, {10, 10, 0}, {5, 5, 0}, {20, 20, 0}, {40, 40, 0}};
    m.indices = {0, 1, 2, 3, 4, 5, 3, 3, 5};
    draw(m);
    EXPECT_EQ(drawn(), 0u);
}

TEST_F(Robustness, NonFiniteCornersDropOnlyTheirTriangles) {
    const float bad[] = {NAN, kInf, -kInf};
    for (float value : bad) {
        Mesh m = quad(0, 0, 32, 48);
        m.points.push_back({value, 5, 0});
        m.points.push_back({5, value, 0});
        m.points.push_back({5, 5, value});
        m.indices.insert(m.indices.end(), {0, 1, 4, 5, 1, 2, 6, 0, 3});
        draw(m);
    }
    EXPECT_EQ(drawn(), 32u * 48u);
    EXPECT_EQ(canvas.at(40, 20), kBlackPixel);
}

TEST_F(Robustness, HugeTrianglesFillTheTargetWithoutOverflow) {
    Mesh m;
    m.points = {{-1e7f, -1e7f, 0}, {1e7f, -1e7f, 0}, {0, 1e7f, 0}};
    m.indices = {0, 1, 2};
    draw(m);
    EXPECT_EQ(drawn(), 64u * 48u);

    // Finite but overflowing in clip space, and a sliver reaching far out.
    Robustness::canvas.bytes.assign(canvas.bytes.size(), 0);
    Mesh wild;
    wild.points = {{-3e38f, -3e38f, 0}, {3e38f, -3e38f, 0}, {0, 3e38f, 0}, {0, 0, 0}, {1e30f, 1, 0}, {1e30f, 1.5f, 0}};
    wild.indices = {0, 1, 2, 3, 4, 5};
    draw(wild);
    SUCCEED();
}

TEST_F(Robustness, OutOfRangeIndicesAndShortInputsAreIgnored) {
    Mesh m = quad(0, 0, 64, 48);
    m.indices = {0, 1, 2, 0, 2, 99, 0, 2};  // second triangle invalid, trailing pair incomplete
    draw(m);
    uint64_t half = drawn();
    EXPECT_GT(half, 0u);
    EXPECT_LT(half, 64u * 48u);
    VertexArrays none;
    renderer.drawTriangles(none, m.indices, DrawState{});
    renderer.drawTriGrid(m.arrays(), 2, 3, DrawState{});          // needs 6 vertices
    renderer.drawTriGrid(m.arrays(), 1, 4, DrawState{});          // one row: no triangles
    renderer.drawTriGrid(m.arrays(), 0x10000, 0x10000, DrawState{});  // far too many
    renderer.drawLines(m.arrays(), std::vector<uint32_t>{0}, DrawState{});
    EXPECT_EQ(drawn(), half);
}

TEST_F(Robustness, BrokenNormalsColoursAndUVsStillDraw) {
    Mesh m = quad(0, 0, 64, 48);
    m.normals = {{0, 0, 0}, {NAN, 0, 1}, {kInf, 0, 0}, {0, 0, 1}};
    m.uvs = {{NAN, 0}, {kInf, -kInf}, {1e30f, -1e30f}, {0.5f, 0.5f}};
    m.colors = {{NAN, 0, 0}, {-5, 7, kInf}, {1, 1, 1}, {0, 0, 0}};
    std::vector<uint32_t> texel = {0xff00ff00u};
    Texture texture;
    texture.pixmap = TQ3Pixmap{texel.data(), 1, 1, 4, 32, kQ3PixelTypeARGB32, kQ3EndianBig, kQ3EndianBig};
    const Light lights[] = {directionalLight({0, 0, -1}, 1.0f), ambientLight(0.1f)};
    renderer.setLights(lights);
    for (bool textured : {false, true}) {
        DrawState state = stateWith(material(Illumination::Phong, {1, 1, 1}));
        state.texture = textured ? &texture : nullptr;
        renderer.drawTriangles(m.arrays(), m.indices, state);
    }
    EXPECT_GT(drawn(), 0u);
}

TEST_F(Robustness, UnusableTexturesAreIgnored) {
    Mesh m = quad(0, 0, 64, 48);
    Texture texture;
    texture.pixmap = TQ3Pixmap{nullptr, 4, 4, 16, 32, kQ3PixelTypeARGB32, kQ3EndianLittle, kQ3EndianLittle};
    DrawState state = stateWith(material(Illumination::Null, {0, 0, 1}));
    state.texture = &texture;
    renderer.drawTriangles(m.arrays(), m.indices, state);
    EXPECT_EQ(canvas.at(10, 10), (PixelRGB{0, 0, 255}));
}

TEST_F(Robustness, InvalidCamerasDrawNothing) {
    Camera broken[5];
    broken[0].fieldOfView = NAN;
    broken[1].hither = 0.0f;
    broken[2].yon = broken[2].hither;
    broken[3].kind = ProjectionKind::Orthographic;
    broken[3].left = broken[3].right = 1.0f;
    broken[4].worldToView.value[3][0] = kInf;
    for (const Camera& camera : broken) {
        EXPECT_FALSE(isValid(camera)) << camera;
        renderer.setCamera(camera);
        draw(quad(-100, -100, 100, 100, -5));
    }
    EXPECT_EQ(drawn(), 0u);
}

TEST(Targets, UnusableTargetsAreRefusedAndEmptyOnesDrawNothing) {
    Renderer renderer(2);
    Canvas canvas(8, 8);
    TQ3Pixmap bad = canvas.pixmap;
    bad.pixelSize = 16;
    EXPECT_FALSE(renderer.beginFrame(bad, &kBlack));
    bad = canvas.pixmap;
    bad.pixelType = kQ3PixelTypeRGB16;
    EXPECT_FALSE(renderer.beginFrame(bad, &kBlack));
    bad = canvas.pixmap;
    bad.rowBytes = 31;
    EXPECT_FALSE(renderer.beginFrame(bad, &kBlack));
    bad = canvas.pixmap;
    bad.image = nullptr;
    EXPECT_FALSE(renderer.beginFrame(bad, &kBlack));
    bad = canvas.pixmap;
    bad.width = Renderer::kMaxTargetSide + 1;
    bad.rowBytes = bad.width * 4;
    EXPECT_FALSE(renderer.beginFrame(bad, &kBlack));
    Mesh m = quad(-100, -100, 100, 100);
    renderer.drawTriangles(m.arrays(), m.indices, DrawState{});

    TQ3Pixmap empty{nullptr, 0, 0, 0, 32, kQ3PixelTypeRGB32, kQ3EndianLittle, kQ3EndianLittle};
    EXPECT_TRUE(renderer.beginFrame(empty, &kBlack));
    renderer.setCamera(pixelCamera(1, 1));
    renderer.drawTriangles(m.arrays(), m.indices, DrawState{});
    renderer.drawPoints(m.arrays(), DrawState{});
    renderer.endFrame();

    // Draws outside a frame do nothing.
    renderer.drawTriangles(m.arrays(), m.indices, DrawState{});
    EXPECT_EQ(canvas.countNot(PixelRGB{0xcd, 0xcd, 0xcd}), 0u);
}

TEST(Fuzz, RandomTrianglesInEveryModeStayInBounds) {
    std::mt19937 random(1234);
    auto wild = [&]() -> float {
        switch (random() % 8) {
            case 0: return NAN;
            case 1: return std::ldexp(float(random() % 2000) - 1000.0f, int(random() % 80) - 10);
            default: return float(int(random() % 400) - 200) * 0.37f;
        }
    };
    Canvas canvas(37, 23, kQ3PixelTypeRGB32, kQ3EndianBig, 5);
    Renderer renderer(2);
    renderer.beginFrame(canvas.pixmap, &kBlack);
    Light spot;
    spot.kind = LightKind::Spot;
    spot.location = {0, 0, 50};
    spot.direction = {0, 0, -1};
    spot.outerAngle = 1.0f;
    spot.hotAngle = 0.2f;
    spot.fallOff = FallOff::Exponential;
    spot.attenuation = Attenuation::InverseDistanceSquared;
    const Light lights[] = {spot, ambientLight(0.3f)};
    renderer.setLights(lights);
    std::vector<uint32_t> texel = {0xff123456u, 0xff654321u};
    Texture texture;
    texture.pixmap = TQ3Pixmap{texel.data(), 2, 1, 8, 32, kQ3PixelTypeRGB32, kQ3EndianLittle, kQ3EndianLittle};
    for (int round = 0; round < 300; ++round) {
        Camera camera = round % 2 ? pixelCamera(37, 23) : Camera{};
        camera.worldToView.value[3][2] = -float(random() % 100);
        renderer.setCamera(camera);
        Mesh m;
        for (int i = 0; i < 9; ++i) {
            m.points.push_back({wild(), wild(), wild()});
            m.normals.push_back({wild(), wild(), wild()});
            m.uvs.push_back({wild(), wild()});
        }
        for (int i = 0; i < 12; ++i) {
            m.indices.push_back(random() % 10);  // 9 is out of range
        }
        DrawState state = stateWith(material(Illumination(random() % 3), {1, 0.5f, 0.25f}), Backfacing(random() % 3));
        state.fill = Fill(random() % 3);
        state.texture = random() % 2 ? &texture : nullptr;
        renderer.drawTriangles(m.arrays(random() % 2), m.indices, state);
        renderer.drawLines(m.arrays(), m.indices, state);
        renderer.drawPoints(m.arrays(), state);
        if (round % 50 == 0) {
            renderer.drawTriGrid(m.arrays(), 3, 3, state);
        }
    }
    renderer.endFrame();
    for (uint32_t y = 0; y < 23; ++y) {
        for (uint32_t k = 0; k < 5; ++k) {
            ASSERT_EQ(canvas.bytes[y * (37 * 4 + 5) + 37 * 4 + k], 0xcd) << "row padding " << y;
        }
    }
}

}  // namespace
}  // namespace q3d::raster::test
