// Which pixels get drawn, in which colour and in which order: coverage,
// depth, facing, clipping, textures, fill styles and pixel formats.
#include "tests/q3d_raster/RasterTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace q3d::raster::test {
namespace {

const PixelRGB kWhite{255, 255, 255};

// Draws `mesh` unlit in `colour` with the given state onto a canvas.
class Scene {
public:
    Scene(uint32_t width, uint32_t height, unsigned threads = 1) : canvas(width, height), renderer(threads) {
        EXPECT_TRUE(renderer.beginFrame(canvas.pixmap, &kBlack));
        renderer.setCamera(pixelCamera(width, height));
    }

    void draw(const Mesh& mesh, TQ3ColorRGB colour = {1, 1, 1}, Backfacing backfacing = Backfacing::Remove,
              Fill fill = Fill::Filled) {
        DrawState state = stateWith(material(Illumination::Null, colour), backfacing);
        state.fill = fill;
        renderer.drawTriangles(mesh.arrays(), mesh.indices, state);
    }

    uint64_t drawn() const { return canvas.countNot(kBlackPixel); }

    Canvas canvas;
    Renderer renderer;
};

Mesh triangle(TQ3Point3D a, TQ3Point3D b, TQ3Point3D c) {
    Mesh m;
    m.points = {a, b, c};
    m.indices = {0, 1, 2};
    return m;
}

TEST(Coverage, PixelAlignedSquareCoversExactlyItsPixels) {
    Scene scene(10, 10);
    scene.draw(quad(2, 3, 6, 7));  // pixels x 2..5, rows 10−7 .. 10−4
    for (uint32_t y = 0; y < 10; ++y) {
        for (uint32_t x = 0; x < 10; ++x) {
            bool inside = x >= 2 && x < 6 && y >= 3 && y < 7;
            EXPECT_EQ(scene.canvas.at(x, y), inside ? kWhite : kBlackPixel) << x << ", " << y;
        }
    }
}

TEST(Coverage, TrianglesSharingEdgesNeitherOverlapNorLeaveGaps) {
    // A fan of 7 triangles around an off-grid centre. Each pixel of the
    // polygon must be drawn by exactly one triangle: the counts drawn one by
    // one add up to the count drawn together, which is the number of pixel
    // centres inside the polygon.
    const int n = 7;
    const double cx = 15.37;
    const double cy = 16.11;
    std::vector<TQ3Point3D> rim;
    for (int i = 0; i < n; ++i) {
        double a = 2 * 3.14159265358979 * i / n + 0.3;
        rim.push_back({float(cx + 12.3 * std::cos(a)), float(cy + 11.7 * std::sin(a)), 0});
    }
    const TQ3Point3D centre{float(cx), float(cy), 0};
    uint64_t sum = 0;
    Scene together(32, 32);
    for (int i = 0; i < n; ++i) {
        Mesh t = triangle(centre, rim[i], rim[(i + 1) % n]);
        Scene alone(32, 32);
        alone.draw(t);
        sum += alone.drawn();
        together.draw(t);
    }
    uint64_t inside = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            double px = x + 0.5;
            double py = 32 - (y + 0.5);
            bool in = true;
            for (int i = 0; i < n; ++i) {
                const TQ3Point3D& a = rim[i];
                const TQ3Point3D& b = rim[(i + 1) % n];
                in = in && (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x) > 0;
            }
            inside += in ? 1 : 0;
        }
    }
    EXPECT_EQ(sum, together.drawn());
    EXPECT_EQ(together.drawn(), inside);
}

TEST(Depth, NearerSurfaceWinsInBothDrawOrders) {
    const Mesh nearQuad = quad(2, 2, 10, 10, 1.0f);
    const Mesh farQuad = quad(6, 6, 14, 14, -1.0f);
    for (bool nearFirst : {true, false}) {
        Scene scene(16, 16);
        if (nearFirst) {
            scene.draw(nearQuad, {1, 0, 0});
            scene.draw(farQuad, {0, 1, 0});
        } else {
            scene.draw(farQuad, {0, 1, 0});
            scene.draw(nearQuad, {1, 0, 0});
        }
        EXPECT_EQ(scene.canvas.at(8, 8), (PixelRGB{255, 0, 0})) << "near first " << nearFirst;  // overlap
        EXPECT_EQ(scene.canvas.at(12, 3), (PixelRGB{0, 255, 0}));  // far only
        EXPECT_EQ(scene.canvas.at(3, 12), (PixelRGB{255, 0, 0}));  // near only
    }
}

TEST(Depth, EqualDepthKeepsTheFirstDrawn) {
    Scene scene(8, 8);
    scene.draw(quad(0, 0, 8, 8), {0, 0, 1});
    scene.draw(quad(0, 0, 8, 8), {1, 0, 0});
    EXPECT_EQ(scene.canvas.at(4, 4), (PixelRGB{0, 0, 255}));
}

TEST(Depth, SurfacesBeyondYonAreClipped) {
    Scene scene(8, 8);
    // The camera sits at z = 10 with yon 100: z = −95 is beyond it.
    scene.draw(quad(0, 0, 8, 8, -95.0f));
    EXPECT_EQ(scene.drawn(), 0u);
    // A quad tilted through the far plane keeps only its near part.
    Mesh tilted;
    tilted.points = {{0, 0, -80}, {8, 0, -100}, {8, 8, -100}, {0, 8, -80}};
    tilted.indices = {0, 1, 2, 0, 2, 3};
    scene.draw(tilted);
    EXPECT_EQ(scene.canvas.at(1, 4), kWhite);
    EXPECT_EQ(scene.canvas.at(7, 4), kBlackPixel);
}

TEST(Facing, BackFacesRemovedDrawnOrLitFromTheOtherSide) {
    // Clockwise as the camera sees it, normals pointing away from the camera.
    Mesh back;
    back.points = {{2, 2, 0}, {2, 14, 0}, {14, 14, 0}, {14, 2, 0}};
    back.normals.assign(4, TQ3Vector3D{0, 0, -1});
    back.indices = {0, 1, 2, 0, 2, 3};
    const Light lights[] = {directionalLight({0, 0, -1}, 1.0f)};
    auto render = [&](Backfacing mode, bool withNormals) {
        Canvas canvas(16, 16);
        Renderer renderer(1);
        renderer.beginFrame(canvas.pixmap, &kBlack);
        renderer.setCamera(pixelCamera(16, 16));
        renderer.setLights(lights);
        Material m = material(Illumination::Lambert, {0.5f, 0.5f, 0.5f});
        renderer.drawTriangles(back.arrays(withNormals), back.indices, stateWith(m, mode));
        return std::pair{canvas.at(8, 8), canvas.countNot(kBlackPixel)};
    };
    const PixelRGB lit{byteOf(0.5), byteOf(0.5), byteOf(0.5)};
    for (bool withNormals : {true, false}) {
        SCOPED_TRACE(withNormals);
        EXPECT_EQ(render(Backfacing::Remove, withNormals).second, 0u);
        EXPECT_EQ(render(Backfacing::Flip, withNormals).first, lit);
    }
    // Drawn with their own normals, which face away from the light: black,
    // so draw them unlit to see them.
    Scene scene(16, 16);
    scene.draw(back, {1, 1, 1}, Backfacing::Both);
    EXPECT_EQ(scene.drawn(), 144u);
    Scene removed(16, 16);
    removed.draw(back, {1, 1, 1}, Backfacing::Remove);
    EXPECT_EQ(removed.drawn(), 0u);
}

TEST(Grid, TrianglesFaceTheViewerAndSplitAlongTheAntiDiagonal) {
    // Vertex (r, c) at (c, r): rows run up the picture, as the relief seen
    // from above. Vertex (0, 0) white, the rest black: with the split from
    // (r, c+1) to (r+1, c) the upper-right half of the quad is all black.
    const uint32_t size = 16;
    Mesh grid;
    for (uint32_t r = 0; r < 2; ++r) {
        for (uint32_t c = 0; c < 2; ++c) {
            grid.points.push_back({float(c * size), float(r * size), 0});
            grid.colors.push_back(r == 0 && c == 0 ? TQ3ColorRGB{1, 1, 1} : TQ3ColorRGB{0, 0, 0});
        }
    }
    Canvas canvas(size, size);
    Renderer renderer(1);
    renderer.beginFrame(canvas.pixmap, nullptr);
    renderer.setCamera(pixelCamera(size, size));
    renderer.drawTriGrid(grid.arrays(), 2, 2, stateWith(material(Illumination::Null, {1, 1, 1})));
    // Every pixel drawn (0xcd filler gone), bottom-left white, and past the
    // anti-diagonal black.
    for (uint32_t y = 0; y < size; ++y) {
        for (uint32_t x = 0; x < size; ++x) {
            EXPECT_NE(canvas.at(x, y), (PixelRGB{0xcd, 0xcd, 0xcd})) << x << ", " << y;
        }
    }
    EXPECT_GT(canvas.at(0, size - 1).r, 200);
    EXPECT_EQ(canvas.at(size / 2 + 2, size / 2 - 2), kBlackPixel);
}

TEST(Clipping, TriangleThroughTheCameraPlaneDrawsOnlyItsVisiblePart) {
    // A floor triangle at y = −1 reaching from behind the eye (z = +3) to
    // far ahead (z = −40), seen by a perspective camera at the origin.
    const Mesh floor = triangle({-30, -1, 3}, {30, -1, 3}, {0, -1, -40});
    for (unsigned threads : {1u, 2u}) {
        Canvas canvas(64, 48);
        Renderer renderer(threads);
        renderer.beginFrame(canvas.pixmap, &kBlack);
        Camera camera;
        camera.aspectRatio = 64.0f / 48.0f;
        camera.hither = 0.1f;
        camera.yon = 100.0f;
        renderer.setCamera(camera);
        renderer.drawTriangles(floor.arrays(), floor.indices,
                               stateWith(material(Illumination::Null, {1, 1, 1}), Backfacing::Both));
        EXPECT_EQ(canvas.at(32, 47), kWhite);          // under the eye
        EXPECT_EQ(canvas.at(32, 25), kWhite);          // just below the horizon
        EXPECT_EQ(canvas.at(32, 10), kBlackPixel);     // sky
        EXPECT_EQ(canvas.at(0, 47), kWhite);           // the wide near part fills the bottom row
        for (uint32_t x = 0; x < 64; ++x) {
            EXPECT_EQ(canvas.at(x, 0), kBlackPixel) << x;
        }
    }
}

TEST(Clipping, TrianglesBehindTheEyeOrAtItDrawNothing) {
    Canvas canvas(32, 32);
    Renderer renderer(1);
    renderer.beginFrame(canvas.pixmap, &kBlack);
    renderer.setCamera(Camera{});
    const DrawState state = stateWith(material(Illumination::Null, {1, 1, 1}), Backfacing::Both);
    const Mesh behind = triangle({-1, -1, 1}, {1, -1, 1}, {0, 1, 1});
    renderer.drawTriangles(behind.arrays(), behind.indices, state);
    const Mesh atEye = triangle({0, 0, 0}, {0, 0, 0}, {0, 0, 0});
    renderer.drawTriangles(atEye.arrays(), atEye.indices, state);
    const Mesh throughEye = triangle({0, 0, 0}, {1, 0, 1}, {0, 1, 1});
    renderer.drawTriangles(throughEye.arrays(), throughEye.indices, state);
    EXPECT_EQ(canvas.countNot(kBlackPixel), 0u);
}

TEST(Clipping, ClippedNeighboursShareTheirEdge) {
    // Two triangles of a quad that crosses the near plane: clipped
    // separately, they still cover each pixel once.
    Mesh floor;
    floor.points = {{-3, -1, 2}, {3, -1, 2}, {3.5f, -1, -20}, {-2.5f, -1, -20}};
    floor.indices = {0, 1, 2, 0, 2, 3};
    Camera camera;
    camera.hither = 0.5f;
    auto count = [&](std::vector<uint32_t> indices) {
        Canvas canvas(48, 48);
        Renderer renderer(1);
        renderer.beginFrame(canvas.pixmap, &kBlack);
        renderer.setCamera(camera);
        renderer.drawTriangles(floor.arrays(), indices,
                               stateWith(material(Illumination::Null, {1, 1, 1}), Backfacing::Both));
        return canvas.countNot(kBlackPixel);
    };
    uint64_t first = count({0, 1, 2});
    uint64_t second = count({0, 2, 3});
    EXPECT_GT(first, 0u);
    EXPECT_GT(second, 0u);
    EXPECT_EQ(first + second, count({0, 1, 2, 0, 2, 3}));
}

// A texture over its own words (0xAARRGGBB, little-endian).
struct TextureImage {
    TextureImage(uint32_t w, uint32_t h, std::vector<uint32_t> argb) : words(std::move(argb)) {
        texture.pixmap = TQ3Pixmap{words.data(), w, h, w * 4, 32, kQ3PixelTypeARGB32, kQ3EndianLittle,
                                   kQ3EndianLittle};
    }
    std::vector<uint32_t> words;
    Texture texture;
};

PixelRGB rgbOf(uint32_t argb) { return PixelRGB{uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb)}; }

TEST(Texture, TexelCentresReturnTheTexelWithTheFirstRowOnTop) {
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < 16; ++i) {
        words.push_back(0xff000000u | (i * 16 << 16) | ((255 - i * 13) << 8) | (i * 7 + 3));
    }
    TextureImage image(4, 4, words);
    Mesh m = quad(0, 0, 4, 4);
    for (Illumination illumination : {Illumination::Null, Illumination::Lambert}) {
        Canvas canvas(4, 4);
        Renderer renderer(1);
        renderer.beginFrame(canvas.pixmap, &kBlack);
        renderer.setCamera(pixelCamera(4, 4));
        const Light lights[] = {ambientLight(1.0f)};
        renderer.setLights(lights);
        DrawState state = stateWith(material(illumination, {0.1f, 0.2f, 0.3f}));
        state.texture = &image.texture;
        renderer.drawTriangles(m.arrays(), m.indices, state);
        for (uint32_t y = 0; y < 4; ++y) {
            for (uint32_t x = 0; x < 4; ++x) {
                EXPECT_EQ(canvas.at(x, y), rgbOf(words[y * 4 + x])) << x << ", " << y;
            }
        }
    }
}

TEST(Texture, LightingScalesTheTextureAndSpecularAdds) {
    TextureImage image(1, 1, {0xff8040c0u});
    Mesh m = quad(0, 0, 4, 4);
    Canvas canvas(4, 4);
    Renderer renderer(1);
    renderer.beginFrame(canvas.pixmap, &kBlack);
    renderer.setCamera(pixelCamera(4, 4));
    const Light lights[] = {directionalLight({0, 0, -1}, 0.5f)};
    renderer.setLights(lights);
    Material mat = material(Illumination::Phong, {1, 1, 1});
    mat.specularColor = {0.2f, 0.2f, 0.2f};
    DrawState state = stateWith(mat);
    state.texture = &image.texture;
    renderer.drawTriangles(m.arrays(), m.indices, state);
    // texel × 0.5 + 0.2 × 0.5
    PixelRGB p = canvas.at(2, 2);
    EXPECT_NEAR(p.r, 0x80 * 0.5 + 25.5, 1);
    EXPECT_NEAR(p.g, 0x40 * 0.5 + 25.5, 1);
    EXPECT_NEAR(p.b, 0xc0 * 0.5 + 25.5, 1);
}

TEST(Texture, WrapBlendsAcrossTheBorderAndClampHoldsTheEdge) {
    // Two texels, black then white, stretched over 8 pixels: pixel 0 lies a
    // quarter texel left of texel 0's centre, pixel 7 a quarter texel right
    // of texel 1's.
    TextureImage image(2, 1, {0xff000000u, 0xffffffffu});
    Mesh m = quad(0, 0, 8, 1);
    for (UVBoundary boundary : {UVBoundary::Wrap, UVBoundary::Clamp}) {
        image.texture.boundaryU = boundary;
        Canvas canvas(8, 1);
        Renderer renderer(1);
        renderer.beginFrame(canvas.pixmap, &kBlack);
        renderer.setCamera(pixelCamera(8, 1));
        DrawState state = stateWith(material(Illumination::Null, {1, 1, 1}));
        state.texture = &image.texture;
        renderer.drawTriangles(m.arrays(), m.indices, state);
        bool wrap = boundary == UVBoundary::Wrap;
        EXPECT_NEAR(canvas.at(0, 0).r, wrap ? 0.375 * 255 : 0, 1);
        EXPECT_NEAR(canvas.at(7, 0).r, wrap ? 0.625 * 255 : 255, 1);
        EXPECT_NEAR(canvas.at(3, 0).r, (3.5 / 8 * 2 - 0.5) * 255, 1);
    }
}

TEST(Texture, PerspectiveCorrectAcrossADepthSlope) {
    // A floor quad textured with two texels split at u = 1/2: seen in
    // perspective, the split is where the world midpoint projects, not the
    // screen midpoint between the projected ends.
    TextureImage image(2, 1, {0xff000000u, 0xffffffffu});
    image.texture.boundaryU = UVBoundary::Clamp;
    Mesh m;
    m.points = {{-1, -1, -2}, {-1, -1, -12}, {1, -1, -12}, {1, -1, -2}};
    m.uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    m.indices = {0, 1, 2, 0, 2, 3};
    Canvas canvas(64, 64);
    Renderer renderer(1);
    renderer.beginFrame(canvas.pixmap, &kBlack);
    Camera camera;
    renderer.setCamera(camera);
    DrawState state = stateWith(material(Illumination::Null, {1, 1, 1}), Backfacing::Both);
    state.texture = &image.texture;
    renderer.drawTriangles(m.arrays(), m.indices, state);
    // Row centre y sees the floor at depth d = s / ((y − 32) / 32), s the
    // focal factor 1 / tan 22.5°, where u = (d − 2) / 10; the clamped
    // bilinear read of the two texels gives 255 × clamp(2u − 0.5, 0, 1).
    const double s = 1.0 / std::tan(3.14159265358979 / 8);
    for (int row = 39; row < 64; ++row) {  // the far edge z = −12 is at row 38.4
        double depth = s / ((row + 0.5 - 32.0) / 32.0);
        double u = (depth - 2.0) / 10.0;
        double expected = 255.0 * std::clamp(2.0 * u - 0.5, 0.0, 1.0);
        EXPECT_NEAR(canvas.at(32, uint32_t(row)).r, expected, 2.0) << "row " << row;
    }
}

TEST(FillStyle, EdgesDrawTheOutlinesOnly) {
    Scene scene(16, 16);
    scene.draw(quad(2.5f, 2.5f, 13.5f, 13.5f), {1, 1, 1}, Backfacing::Remove, Fill::Edges);
    EXPECT_EQ(scene.canvas.at(2, 13), kWhite);   // corner (2.5, 2.5)
    EXPECT_EQ(scene.canvas.at(8, 13), kWhite);   // bottom edge
    EXPECT_EQ(scene.canvas.at(13, 8), kWhite);   // right edge
    EXPECT_EQ(scene.canvas.at(8, 7), kWhite);    // on the diagonal shared by the two triangles
    EXPECT_EQ(scene.canvas.at(5, 5), kBlackPixel);
    EXPECT_EQ(scene.canvas.at(10, 10), kBlackPixel);
}

TEST(FillStyle, PointsDrawTheCornersOnly) {
    Scene scene(16, 16);
    scene.draw(quad(2.5f, 2.5f, 13.5f, 13.5f), {1, 1, 1}, Backfacing::Remove, Fill::Points);
    EXPECT_EQ(scene.drawn(), 4u);
    EXPECT_EQ(scene.canvas.at(2, 13), kWhite);
    EXPECT_EQ(scene.canvas.at(13, 2), kWhite);
}

TEST(FillStyle, EdgesOfBackFacesFollowTheBackfacingStyle) {
    Mesh back = quad(2.5f, 2.5f, 13.5f, 13.5f);
    back.indices = {0, 2, 1, 0, 3, 2};
    Scene removed(16, 16);
    removed.draw(back, {1, 1, 1}, Backfacing::Remove, Fill::Edges);
    EXPECT_EQ(removed.drawn(), 0u);
    Scene both(16, 16);
    both.draw(back, {1, 1, 1}, Backfacing::Both, Fill::Edges);
    EXPECT_GT(both.drawn(), 40u);
}

TEST(Lines, CoverEveryStepBetweenAndIncludingTheirEnds) {
    Mesh m;
    m.points = {{1.5f, 5.5f, 0}, {6.5f, 5.5f, 0}, {2.2f, 1.2f, 1}, {5.9f, 9.7f, 1}};
    Canvas canvas(10, 10);
    Renderer renderer(1);
    renderer.beginFrame(canvas.pixmap, &kBlack);
    renderer.setCamera(pixelCamera(10, 10));
    const uint32_t horizontal[] = {0, 1};
    renderer.drawLines(m.arrays(), horizontal, stateWith(material(Illumination::Null, {1, 1, 1})));
    EXPECT_EQ(canvas.countNot(kBlackPixel), 6u);
    for (uint32_t x = 1; x <= 6; ++x) {
        EXPECT_EQ(canvas.at(x, 4), kWhite) << x;
    }
    // A steep line, nearer: one pixel per row from its first row to its last.
    const uint32_t steep[] = {2, 3, 7, 7};  // the out-of-range pair is ignored
    renderer.drawLines(m.arrays(), steep, stateWith(material(Illumination::Null, {1, 0, 0})));
    for (uint32_t y = 0; y <= 8; ++y) {
        int inRow = 0;
        for (uint32_t x = 0; x < 10; ++x) {
            inRow += canvas.at(x, y) == PixelRGB{255, 0, 0} ? 1 : 0;
        }
        EXPECT_GE(inRow, 1) << "row " << y;
    }
}

TEST(Points, DrawOnePixelEachAndRespectDepth) {
    Mesh m;
    m.points = {{1.5f, 1.5f, 0}, {7.9f, 3.1f, 0}, {30, 3, 0}, {4.5f, 4.5f, 50}};
    Canvas canvas(10, 10);
    Renderer renderer(1);
    renderer.beginFrame(canvas.pixmap, &kBlack);
    renderer.setCamera(pixelCamera(10, 10));
    renderer.drawPoints(m.arrays(), stateWith(material(Illumination::Null, {1, 1, 1})));
    EXPECT_EQ(canvas.countNot(kBlackPixel), 2u);  // one off screen, one behind the eye
    EXPECT_EQ(canvas.at(1, 8), kWhite);
    EXPECT_EQ(canvas.at(7, 6), kWhite);
}

TEST(PixelFormat, WordsFollowTypeAndByteOrderAndPaddingIsUntouched) {
    struct Case {
        TQ3PixelType type;
        TQ3Endian order;
        uint8_t expected[4];  // bytes of a red pixel over a half-transparent clear
    };
    const Case cases[] = {
        {kQ3PixelTypeARGB32, kQ3EndianLittle, {0, 0, 255, 255}},
        {kQ3PixelTypeARGB32, kQ3EndianBig, {255, 255, 0, 0}},
        {kQ3PixelTypeRGB32, kQ3EndianLittle, {0, 0, 255, 255}},
        {kQ3PixelTypeRGB32, kQ3EndianBig, {255, 255, 0, 0}},
    };
    const TQ3ColorARGB clear{0.5f, 0.0f, 1.0f, 0.0f};
    for (const Case& c : cases) {
        Canvas canvas(4, 2, c.type, c.order, 3);
        Renderer renderer(1);
        ASSERT_TRUE(renderer.beginFrame(canvas.pixmap, &clear));
        renderer.setCamera(pixelCamera(4, 2));
        Mesh m = quad(0, 0, 2, 2);
        renderer.drawTriangles(m.arrays(), m.indices, stateWith(material(Illumination::Null, {1, 0, 0})));
        EXPECT_EQ(std::memcmp(canvas.bytes.data(), c.expected, 4), 0);
        // Pixel 3 keeps the clear colour: green, alpha 128 in ARGB32.
        const uint8_t* cleared = canvas.bytes.data() + 12;
        uint8_t alpha = c.type == kQ3PixelTypeARGB32 ? 128 : 255;
        if (c.order == kQ3EndianLittle) {
            EXPECT_EQ(cleared[1], 255);
            EXPECT_EQ(cleared[3], alpha);
        } else {
            EXPECT_EQ(cleared[2], 255);
            EXPECT_EQ(cleared[0], alpha);
        }
        for (int k = 16; k < 19; ++k) {
            EXPECT_EQ(canvas.bytes[k], 0xcd) << "padding byte " << k;
        }
        EXPECT_EQ(canvas.at(0, 1), (PixelRGB{255, 0, 0}));
    }
}

TEST(Frame, DepthIsClearedEachFrameAndNullClearKeepsPixels) {
    Canvas canvas(8, 8);
    Renderer renderer(1);
    renderer.beginFrame(canvas.pixmap, &kBlack);
    renderer.setCamera(pixelCamera(8, 8));
    renderer.drawTriangles(quad(0, 0, 8, 8, 5.0f).arrays(), quad(0, 0, 8, 8).indices,
                           stateWith(material(Illumination::Null, {1, 0, 0})));
    renderer.endFrame();
    renderer.beginFrame(canvas.pixmap, nullptr);
    EXPECT_EQ(canvas.at(4, 4), (PixelRGB{255, 0, 0}));
    // Farther than the first frame's quad, but the depth was cleared.
    renderer.drawTriangles(quad(0, 0, 4, 8, -5.0f).arrays(), quad(0, 0, 4, 8).indices,
                           stateWith(material(Illumination::Null, {0, 1, 0})));
    EXPECT_EQ(canvas.at(1, 4), (PixelRGB{0, 255, 0}));
    EXPECT_EQ(canvas.at(6, 4), (PixelRGB{255, 0, 0}));
}

}  // namespace
}  // namespace q3d::raster::test

namespace q3d::raster::test {
namespace {

TEST(ImageCompare, CountsPixelsBeyondToleranceAcrossFormats) {
    Canvas a(3, 2);
    Canvas b(3, 2, kQ3PixelTypeRGB32, kQ3EndianBig, 4);
    const uint8_t little[4] = {10, 20, 30, 255};  // b, g, r, a
    const uint8_t big[4] = {0, 30, 20, 10};       // spare, r, g, b
    for (uint32_t y = 0; y < 2; ++y) {
        for (uint32_t x = 0; x < 3; ++x) {
            std::memcpy(a.bytes.data() + y * a.pixmap.rowBytes + x * 4, little, 4);
            std::memcpy(b.bytes.data() + y * b.pixmap.rowBytes + x * 4, big, 4);
        }
    }
    EXPECT_EQ(a.at(2, 1), (PixelRGB{30, 20, 10}));
    ImageDifference same = compareImages(a.pixmap, b.pixmap);
    EXPECT_EQ(same.maxChannelDifference, 0u) << same;
    EXPECT_EQ(same.differingPixels, 0u);
    b.bytes[b.pixmap.rowBytes + 4 + 2] = 27;  // pixel (1, 1) green 20 → 27
    b.bytes[2] = 21;                          // pixel (0, 0) green 20 → 21
    ImageDifference changed = compareImages(a.pixmap, b.pixmap, 1);
    EXPECT_EQ(changed.maxChannelDifference, 7u);
    EXPECT_EQ(changed.differingPixels, 1u);
    Canvas c(2, 2);
    ImageDifference sizes = compareImages(a.pixmap, c.pixmap);
    EXPECT_FALSE(sizes.sameSize);
    EXPECT_EQ(sizes.differingPixels, 6u);
}

TEST(Lines, AreLitWhenTheyHaveNormals) {
    Mesh m;
    m.points = {{1.5f, 2.5f, 0}, {6.5f, 2.5f, 0}};
    m.normals = {{0, 0, 1}, {0, 0, 1}};
    Canvas canvas(8, 4);
    Renderer renderer(1);
    renderer.beginFrame(canvas.pixmap, &kBlack);
    renderer.setCamera(pixelCamera(8, 4));
    const Light lights[] = {directionalLight({0, 0, -1}, 0.5f)};
    renderer.setLights(lights);
    const uint32_t line[] = {0, 1};
    const DrawState state = stateWith(material(Illumination::Lambert, {1, 1, 1}));
    renderer.drawLines(m.arrays(), line, state);
    EXPECT_EQ(canvas.at(3, 1), (PixelRGB{128, 128, 128}));
    // Without normals the same line is drawn in its diffuse colour.
    renderer.drawLines(m.arrays(false), line, stateWith(material(Illumination::Lambert, {0, 1, 0})));
    EXPECT_EQ(canvas.at(3, 1), (PixelRGB{128, 128, 128}));  // equal depth: the first stays
    renderer.endFrame();
    renderer.beginFrame(canvas.pixmap, &kBlack);
    renderer.drawLines(m.arrays(false), line, stateWith(material(Illumination::Lambert, {0, 1, 0})));
    EXPECT_EQ(canvas.at(3, 1), (PixelRGB{0, 255, 0}));
}

}  // namespace
}  // namespace q3d::raster::test

namespace q3d::raster::test {
namespace {

TEST(Coverage, SubPixelTrianglesInterpolateLikeLargeOnes) {
    // A grid far denser than the pixels, coloured by a linear gradient and
    // tilted in depth: Gouraud shading reproduces a linear function, so every
    // pixel shows the gradient at its centre, whether its triangle was a
    // single-pixel one or larger. Then a second, steeper plane cuts through
    // it and the nearer one must win on either side of the crossing.
    const uint32_t width = 40;
    const uint32_t height = 30;
    for (uint32_t columns : {7u, 97u}) {
        const uint32_t rows = columns * 3 / 4 + 1;
        Mesh grid;
        for (uint32_t r = 0; r < rows; ++r) {
            for (uint32_t c = 0; c < columns; ++c) {
                float x = float(width) * float(c) / float(columns - 1);
                float y = float(height) * float(r) / float(rows - 1);
                grid.points.push_back({x, y, 0.1f * x - 2.0f});
                grid.colors.push_back({x / float(width), y / float(height), 0.5f});
            }
        }
        Canvas canvas(width, height);
        Renderer renderer(2);
        renderer.beginFrame(canvas.pixmap, &kBlack);
        renderer.setCamera(pixelCamera(width, height));
        const DrawState state = stateWith(material(Illumination::Null, {1, 1, 1}));
        renderer.drawTriGrid(grid.arrays(), rows, columns, state);
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                PixelRGB p = canvas.at(x, y);
                ASSERT_NEAR(p.r, 255.0 * (x + 0.5) / width, 1.0) << x << ", " << y << " columns " << columns;
                ASSERT_NEAR(p.g, 255.0 * (height - y - 0.5) / height, 1.0) << x << ", " << y;
                ASSERT_EQ(p.b, 128) << x << ", " << y;
            }
        }
        // z = −0.1 x + 2 − 2 crosses z = 0.1 x − 2 at x = 20.
        Mesh steep = quad(0, 0, float(width), float(height));
        for (TQ3Point3D& point : steep.points) {
            point.z = 2.0f - 0.1f * point.x;
        }
        renderer.drawTriangles(steep.arrays(), steep.indices, stateWith(material(Illumination::Null, {0, 0, 0})));
        EXPECT_EQ(canvas.at(5, 10), kBlackPixel);
        EXPECT_EQ(canvas.at(18, 10), kBlackPixel);
        EXPECT_NE(canvas.at(22, 10), kBlackPixel);
        EXPECT_NE(canvas.at(35, 10), kBlackPixel);
    }
}

}  // namespace
}  // namespace q3d::raster::test
