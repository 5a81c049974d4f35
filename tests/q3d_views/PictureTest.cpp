// What a rendering pass puts into the pixels, checked against closed forms
// and exact pixels: lighting, depth, back faces, colours from attribute
// sets, textures, clearing, panes, pixel formats and thread counts.
#include <algorithm>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "tests/q3d_views/ViewTestSupport.h"

namespace viewtest {
namespace {

class PictureTest : public ViewTest {};

Rgb expected(TQ3ColorRGB c, float factor) {
    auto byte = [&](float v) { return int(std::lround(std::fmin(v * factor, 1.0f) * 255.0f)); };
    return {byte(c.r), byte(c.g), byte(c.b)};
}

TEST_F(PictureTest, PlaneFacingTheHeadlightGetsDiffuseTimesTheSumOfBothLights) {
    Target target(64, 64);
    Scene scene(target, orthoCamera());
    scene.addLight(directionalLight({0, 0, -1}, 0.8f));
    scene.addLight(ambientLight(0.2f));
    const TQ3ColorRGB diffuse{0.6f, 0.4f, 0.2f};
    Ref set = attributesWithColor(diffuse);
    Ref plane = quad(-0.5f, -0.5f, 0.5f, 0.5f, 0, set.get());
    scene.render([&](TQ3ViewObject view) { ASSERT_EQ(Q3Geometry_Submit(plane.get(), view), kQ3Success); });

    // The quad covers pixels 16..47 both ways; its interior is uniform.
    for (uint32_t y = 17; y < 47; ++y) {
        for (uint32_t x = 17; x < 47; ++x) {
            ASSERT_TRUE(near(target.at(x, y), expected(diffuse, 1.0f), 1)) << x << ", " << y << ": " << target.at(x, y);
        }
    }
    EXPECT_EQ(target.at(5, 5), (Rgb{0, 0, 0}));
}

TEST_F(PictureTest, PhongAddsAHighlightWhereLambertDoesNot) {
    Target target(32, 32);
    Scene scene(target, orthoCamera());
    scene.addLight(directionalLight({0, 0, -1}, 0.5f));
    const TQ3ColorRGB diffuse{0.4f, 0.4f, 0.4f};
    Ref set = attributesWithColor(diffuse);
    Ref plane = quad(-1, -1, 1, 1, 0, set.get());
    Ref phong(Q3PhongIllumination_New());
    Ref none(Q3NULLIllumination_New());
    scene.render([&](TQ3ViewObject view) { Q3Geometry_Submit(plane.get(), view); });
    EXPECT_TRUE(near(target.at(16, 16), expected(diffuse, 0.5f), 1)) << target.at(16, 16);
    scene.render([&](TQ3ViewObject view) {
        Q3Shader_Submit(phong.get(), view);
        Q3Geometry_Submit(plane.get(), view);
    });
    // Light and eye both along +Z: the half vector is the normal, so the
    // default specular colour (0.5) comes in at full brightness 0.5.
    EXPECT_TRUE(near(target.at(16, 16), Rgb{115, 115, 115}, 1)) << target.at(16, 16);
    scene.render([&](TQ3ViewObject view) {
        Q3Shader_Submit(none.get(), view);
        Q3Geometry_Submit(plane.get(), view);
    });
    EXPECT_TRUE(near(target.at(16, 16), expected(diffuse, 1.0f), 1)) << target.at(16, 16);
}

TEST_F(PictureTest, NearerQuadHidesFartherOneWhateverTheOrder) {
    Target target(64, 64);
    Scene scene(target, orthoCamera());
    Ref red = attributesWithColor({1, 0, 0});
    Ref blue = attributesWithColor({0, 0, 1});
    Ref unlit(Q3NULLIllumination_New());
    Ref far = quad(-0.75f, -0.75f, 0.25f, 0.25f, 0, red.get());
    Ref nearQuad = quad(-0.25f, -0.25f, 0.75f, 0.75f, 0.5f, blue.get());
    for (int order = 0; order < 2; ++order) {
        scene.render([&](TQ3ViewObject view) {
            Q3Shader_Submit(unlit.get(), view);
            Q3Geometry_Submit(order == 0 ? far.get() : nearQuad.get(), view);
            Q3Geometry_Submit(order == 0 ? nearQuad.get() : far.get(), view);
        });
        EXPECT_EQ(target.at(32, 32), (Rgb{0, 0, 255})) << "order " << order;  // overlap
        EXPECT_EQ(target.at(12, 52), (Rgb{255, 0, 0})) << "order " << order;  // far quad alone
        EXPECT_EQ(target.at(52, 12), (Rgb{0, 0, 255})) << "order " << order;  // near quad alone
    }
}

TEST_F(PictureTest, BackfacingStyleRemovesKeepsOrFlipsABackFace) {
    Target target(32, 32);
    Scene scene(target, orthoCamera());
    scene.addLight(directionalLight({0, 0, -1}, 0.8f));
    scene.addLight(ambientLight(0.2f));
    Ref white = attributesWithColor({1, 1, 1});
    Ref back = quad(-1, -1, 1, 1, 0, white.get(), true);
    auto draw = [&](TQ3BackfacingStyle style) {
        Ref object(Q3BackfacingStyle_New(style));
        scene.render([&](TQ3ViewObject view) {
            ASSERT_EQ(Q3Style_Submit(object.get(), view), kQ3Success);
            ASSERT_EQ(Q3Geometry_Submit(back.get(), view), kQ3Success);
        });
        return target.at(16, 16);
    };
    EXPECT_EQ(draw(kQ3BackfacingStyleRemove), (Rgb{0, 0, 0}));
    // Lit with its own normal, which points away from the light: ambient only.
    EXPECT_TRUE(near(draw(kQ3BackfacingStyleBoth), Rgb{51, 51, 51}, 1)) << target.at(16, 16);
    EXPECT_TRUE(near(draw(kQ3BackfacingStyleFlip), Rgb{255, 255, 255}, 1)) << target.at(16, 16);
}

TEST_F(PictureTest, ColoursComeFromVertexThenFacetThenGeometryThenState) {
    Target target(64, 64);
    Scene scene(target, orthoCamera());
    Ref unlit(Q3NULLIllumination_New());
    Ref stateColor = attributesWithColor({0, 1, 0});
    Ref gridColor = attributesWithColor({1, 0, 0});
    Ref facetColor = attributesWithColor({0, 0, 1});
    Ref vertexColor = attributesWithColor({1, 1, 0});

    // Left half: a grid with no set takes the state's green.
    Ref plain = quad(-1, -1, 0, 1, 0, nullptr);
    // Right half: a grid with its own red, facet 1 (the upper-right
    // triangle of the cell) blue.
    TQ3Vertex3D vertices[4] = {
        {{0, -1, 0}, nullptr}, {{1, -1, 0}, nullptr}, {{0, 1, 0}, nullptr}, {{1, 1, 0}, nullptr}};
    TQ3AttributeSet facets[2] = {nullptr, facetColor.get()};
    TQ3TriGridData data{2, 2, vertices, facets, gridColor.get()};
    Ref right(Q3TriGrid_New(&data));
    scene.render([&](TQ3ViewObject view) {
        Q3Shader_Submit(unlit.get(), view);
        Q3AttributeSet_Submit(stateColor.get(), view);
        Q3Geometry_Submit(plain.get(), view);
        Q3Geometry_Submit(right.get(), view);
    });
    EXPECT_EQ(target.at(16, 32), (Rgb{0, 255, 0}));
    EXPECT_EQ(target.at(36, 52), (Rgb{255, 0, 0}));  // lower-left triangle of the right cell
    EXPECT_EQ(target.at(60, 12), (Rgb{0, 0, 255}));  // upper-right triangle

    // Every vertex yellow: the vertices win over the facet and the grid.
    for (TQ3Vertex3D& v : vertices) v.attributeSet = vertexColor.get();
    ASSERT_EQ(Q3TriGrid_SetData(right.get(), &data), kQ3Success);
    scene.render([&](TQ3ViewObject view) {
        Q3Shader_Submit(unlit.get(), view);
        Q3Geometry_Submit(right.get(), view);
    });
    EXPECT_EQ(target.at(36, 52), (Rgb{255, 255, 0}));
    EXPECT_EQ(target.at(60, 12), (Rgb{255, 255, 0}));
}

TEST_F(PictureTest, TextureOfSixteenBitPixelsLooksLikeTheSameInThirtyTwo) {
    // A 2 × 2 texture: red, green over blue, white, in RGB16 (x1r5g5b5,
    // big-endian) and in ARGB32.
    unsigned char pixels16[8] = {0x7c, 0x00, 0x03, 0xe0, 0x00, 0x1f, 0x7f, 0xff};
    unsigned char pixels32[16] = {0xff, 0xff, 0, 0, 0xff, 0, 0xff, 0, 0xff, 0, 0, 0xff, 0xff, 0xff, 0xff, 0xff};
    auto picture = [&](unsigned char* pixels, TQ3Uns32 bytes, TQ3PixelType type, TQ3Uns32 size) {
        Target target(32, 32);
        Scene scene(target, orthoCamera());
        Ref storage(Q3MemoryStorage_NewBuffer(pixels, bytes, bytes));
        TQ3StoragePixmap pixmap{storage.get(), 2, 2, 2 * size / 8, size, type, kQ3EndianBig, kQ3EndianBig};
        Ref texture(Q3PixmapTexture_New(&pixmap));
        EXPECT_NE(texture, nullptr);
        Ref shader(Q3TextureShader_New(texture.get()));
        Ref unlit(Q3NULLIllumination_New());
        Ref cube = box({-1, -1, -1}, {2, 2, 2});
        scene.render([&](TQ3ViewObject view) {
            Q3Shader_Submit(unlit.get(), view);
            Q3Shader_Submit(shader.get(), view);
            Q3Geometry_Submit(cube.get(), view);
        });
        return std::vector<Rgb>{target.at(4, 4), target.at(28, 4), target.at(4, 28), target.at(28, 28)};
    };
    const std::vector<Rgb> wide = picture(pixels32, 16, kQ3PixelTypeARGB32, 32);
    const std::vector<Rgb> narrow = picture(pixels16, 8, kQ3PixelTypeRGB16, 16);
    EXPECT_EQ(wide, narrow);
    // The four texels, each in its own corner of the face.
    const std::set<std::pair<int, int>> corners{
        {wide[0].r, wide[0].g}, {wide[1].r, wide[1].g}, {wide[2].r, wide[2].g}, {wide[3].r, wide[3].g}};
    EXPECT_EQ(corners.size(), 4u);
}

TEST_F(PictureTest, LinesAreOnePixelWideInTheirColour) {
    Target target(32, 32);
    Scene scene(target, orthoCamera());
    Ref color = attributesWithColor({1, 0, 1});
    TQ3LineData data{{{{-1, 0.03f, 0}, nullptr}, {{1, 0.03f, 0}, nullptr}}, color.get()};
    Ref line(Q3Line_New(&data));
    scene.render([&](TQ3ViewObject view) { Q3Geometry_Submit(line.get(), view); });
    int lit = 0;
    for (uint32_t y = 0; y < 32; ++y) {
        if (target.at(16, y) == Rgb{255, 0, 255}) ++lit;
    }
    EXPECT_EQ(lit, 1);
}

TEST_F(PictureTest, ClearColourFillsEveryPixelFormat) {
    struct Case {
        TQ3PixelType type;
        TQ3Endian order;
        uint8_t bytes[4];
    };
    // Opaque-ish colour a = 0.5, r = 1, g = 0.5, b = 0: RGB32 keeps its spare
    // byte at 0xFF, ARGB32 takes the alpha.
    const Case cases[] = {
        {kQ3PixelTypeARGB32, kQ3EndianLittle, {0x00, 0x80, 0xff, 0x80}},
        {kQ3PixelTypeARGB32, kQ3EndianBig, {0x80, 0xff, 0x80, 0x00}},
        {kQ3PixelTypeRGB32, kQ3EndianLittle, {0x00, 0x80, 0xff, 0xff}},
        {kQ3PixelTypeRGB32, kQ3EndianBig, {0xff, 0xff, 0x80, 0x00}},
    };
    for (const Case& c : cases) {
        Target target(4, 3, c.type, c.order);
        Scene scene(target, orthoCamera(), {0.5f, 1, 0.5f, 0});
        scene.render([](TQ3ViewObject) {});
        for (size_t i = 0; i < target.bytes.size(); i += 4) {
            for (int b = 0; b < 4; ++b) {
                ASSERT_NEAR(target.bytes[i + b], c.bytes[b], 1)
                    << "type " << c.type << " order " << c.order << " byte " << i + b;
            }
        }
    }
}

TEST_F(PictureTest, PaneLimitsDrawingAndTheClearToItsPixels) {
    Target target(16, 16);
    Scene scene(target, orthoCamera(), {1, 1, 1, 1});
    ASSERT_EQ(Q3DrawContext_SetPaneState(scene.context.get(), kQ3True), kQ3Success);
    const TQ3Area pane{{4, 2}, {12, 10}};
    ASSERT_EQ(Q3DrawContext_SetPane(scene.context.get(), &pane), kQ3Success);
    Ref unlit(Q3NULLIllumination_New());
    Ref red = attributesWithColor({1, 0, 0});
    // Covers the whole picture: only the pane shows it.
    Ref plane = quad(-2, -2, 2, 2, 0, red.get());
    scene.render([&](TQ3ViewObject view) {
        Q3Shader_Submit(unlit.get(), view);
        Q3Geometry_Submit(plane.get(), view);
    });
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 16; ++x) {
            const bool inside = x >= 4 && x < 12 && y >= 2 && y < 10;
            const Rgb untouched{0xcd, 0xcd, 0xcd};
            const Rgb want = inside ? Rgb{255, 0, 0} : untouched;
            ASSERT_EQ(target.at(x, y), want) << x << ", " << y;
        }
    }
}

TEST_F(PictureTest, ClearMethodNoneKeepsThePixels) {
    Target target(8, 8);
    Scene scene(target, orthoCamera());
    ASSERT_EQ(Q3DrawContext_SetClearImageMethod(scene.context.get(), kQ3ClearMethodNone), kQ3Success);
    scene.render([](TQ3ViewObject) {});
    EXPECT_EQ(target.at(3, 3), (Rgb{0xcd, 0xcd, 0xcd}));
}

TEST_F(PictureTest, TwoThreadsDrawTheSamePixelsAsOne) {
    auto picture = [&](TQ3Uns32 threads) {
        Target target(96, 96);
        Scene scene(target, perspectiveCamera({0, 2, 3}, {0, 0, 0}, 0.9f));
        EXPECT_EQ(Q3InteractiveRenderer_SetThreadCount(scene.renderer.get(), threads), kQ3Success);
        scene.addLight(directionalLight({-0.3f, -1, -0.5f}, 0.9f));
        scene.addLight(ambientLight(0.1f));
        // A rippled 40 × 40 grid with vertex normals.
        constexpr TQ3Uns32 n = 40;
        std::vector<TQ3Vertex3D> vertices(n * n);
        std::vector<Ref> sets;
        for (TQ3Uns32 r = 0; r < n; ++r) {
            for (TQ3Uns32 c = 0; c < n; ++c) {
                const float x = -1 + 2.0f * c / (n - 1), z = 1 - 2.0f * r / (n - 1);
                const float y = 0.1f * std::sin(6 * x) * std::cos(5 * z);
                sets.emplace_back(Q3AttributeSet_New());
                const TQ3Vector3D normal{-0.6f * std::cos(6 * x) * std::cos(5 * z), 1,
                                         0.5f * std::sin(6 * x) * std::sin(5 * z)};
                Q3AttributeSet_Add(sets.back().get(), kQ3AttributeTypeNormal, &normal);
                vertices[r * n + c] = {{x, y, z}, sets.back().get()};
            }
        }
        TQ3TriGridData data{n, n, vertices.data(), nullptr, nullptr};
        Ref grid(Q3TriGrid_New(&data));
        scene.render([&](TQ3ViewObject view) { Q3Geometry_Submit(grid.get(), view); });
        return target.bytes;
    };
    const std::vector<uint8_t> one = picture(1);
    EXPECT_EQ(picture(2), one);
    bool drawn = false;
    for (size_t i = 0; i < one.size(); i += 4) drawn = drawn || one[i] != 0 || one[i + 1] != 0 || one[i + 2] != 0;
    EXPECT_TRUE(drawn);
}

}  // namespace
}  // namespace viewtest
