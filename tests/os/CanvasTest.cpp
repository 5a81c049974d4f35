#include "platform/os/Canvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace os = vask::os;

namespace {

constexpr os::Pixel kPaper{255, 200, 200, 200};
constexpr os::Pixel kInk{255, 10, 20, 30};

// Every pixel of `canvas` equals `inside(x, y) ? a : b`; stops at the first
// mismatch so a failure names one pixel, not hundreds.
void expectPixels(const os::Canvas& canvas, const std::function<bool(int, int)>& inside,
                  os::Pixel a, os::Pixel b) {
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const os::Pixel want = inside(x, y) ? a : b;
            if (canvas.pixel(x, y) != want) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << canvas.pixel(x, y)
                              << ", expected " << want;
                return;
            }
        }
    }
}

bool within(int x, int y, os::Rect r) { return r.contains({x, y}); }

// A 32-bit image as an offscreen image holds it: words 0xXXRRGGBB.
struct WordImage {
    int width;
    int height;
    int rowWords;
    std::vector<std::uint32_t> words;

    WordImage(int w, int h, int padWords = 0)
        : width(w),
          height(h),
          rowWords(w + padWords),
          words(static_cast<std::size_t>(h) * static_cast<std::size_t>(w + padWords)) {}
    std::uint32_t& at(int x, int y) { return words[static_cast<std::size_t>(y) * rowWords + x]; }
    os::BgraImageView view() const {
        return {words.data(), width, height, static_cast<std::ptrdiff_t>(rowWords) * 4};
    }
};

class CanvasTextTest : public ::testing::Test {
protected:
    void TearDown() override { os::testing::setFontPath({}); }
};

}  // namespace

TEST(CanvasTest, FillFrameAndInvertTouchExactlyTheirPixels) {
    os::Canvas canvas(9, 7, kPaper);
    ASSERT_EQ(canvas.width(), 9);
    ASSERT_EQ(canvas.height(), 7);
    EXPECT_TRUE(canvas.ownsPixels());

    const os::Rect fill{2, 1, 3, 4};
    canvas.fillRect(fill, kInk);
    expectPixels(
        canvas, [&](int x, int y) { return within(x, y, fill); }, kInk, kPaper);

    os::Canvas framed(9, 7, kPaper);
    const os::Rect frame{1, 2, 6, 4};
    framed.frameRect(frame, kInk);
    expectPixels(
        framed,
        [&](int x, int y) {
            return within(x, y, frame) && !within(x, y, {2, 3, 4, 2});
        },
        kInk, kPaper);

    // Thin rectangles are all outline; empty ones draw nothing.
    os::Canvas thin(9, 7, kPaper);
    thin.frameRect({1, 1, 1, 4}, kInk);
    thin.frameRect({3, 1, 4, 1}, kInk);
    thin.frameRect({3, 4, 3, 2}, kInk);
    thin.frameRect({5, 5, 0, 2}, kInk);
    thin.frameRect({5, 5, 2, -1}, kInk);
    expectPixels(
        thin,
        [](int x, int y) {
            return within(x, y, {1, 1, 1, 4}) || within(x, y, {3, 1, 4, 1}) ||
                   within(x, y, {3, 4, 3, 2});
        },
        kInk, kPaper);

    // Invert flips colour, keeps alpha, and undoes itself.
    os::Canvas inverted(9, 7, os::Pixel{77, 0, 100, 255});
    const os::Rect flip{0, 0, 4, 7};
    inverted.invertRect(flip);
    expectPixels(
        inverted, [&](int x, int y) { return within(x, y, flip); }, os::Pixel{77, 255, 155, 0},
        os::Pixel{77, 0, 100, 255});
    inverted.invertRect(flip);
    expectPixels(inverted, [](int, int) { return true; }, os::Pixel{77, 0, 100, 255}, {});
}

TEST(CanvasTest, DrawingIsClippedAtEverySideAndToTheClipRectangle) {
    const os::Rect visible{0, 0, 6, 5};
    const struct {
        os::Rect rect;
        os::Rect expected;  // what lands on the 6 × 5 canvas
    } cases[] = {
        {{-3, 1, 5, 2}, {0, 1, 2, 2}},               // off the left
        {{2, -4, 2, 6}, {2, 0, 2, 2}},               // off the top
        {{4, 1, 10, 1}, {4, 1, 2, 1}},               // off the right
        {{1, 3, 2, 9}, {1, 3, 2, 2}},                // off the bottom
        {{-100, -100, 1000, 1000}, visible},         // all round
        {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {}},  // ends just before 0
        {{INT_MIN, 0, INT_MAX, 1}, {}},
        {{3, 2, INT_MAX, INT_MAX}, {3, 2, 3, 3}},  // x + width overflows int
        {{INT_MAX, INT_MAX, INT_MAX, INT_MAX}, {}},
        {{6, 0, 1, 5}, {}},  // just past the right edge
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        os::Canvas canvas(6, 5, kPaper);
        canvas.fillRect(cases[i].rect, kInk);
        expectPixels(
            canvas, [&](int x, int y) { return within(x, y, cases[i].expected); }, kInk, kPaper);
        canvas.invertRect(cases[i].rect);
        expectPixels(
            canvas, [&](int x, int y) { return within(x, y, cases[i].expected); },
            os::Pixel{255, 245, 235, 225}, kPaper);
    }

    // A frame half off the canvas draws only its visible edges.
    os::Canvas framed(6, 5, kPaper);
    framed.frameRect({-2, 1, 5, 10}, kInk);
    expectPixels(
        framed, [](int x, int y) { return (y == 1 && x <= 2) || (x == 2 && y >= 1); }, kInk,
        kPaper);

    // The clip rectangle limits every operation and is itself cut to the canvas.
    os::Canvas clipped(6, 5, kPaper);
    clipped.setClip({2, -5, 100, 7});
    EXPECT_EQ(clipped.clip(), (os::Rect{2, 0, 4, 2}));
    clipped.fillRect(visible, kInk);
    clipped.frameRect({0, 0, 6, 5}, os::kWhite);
    clipped.invertRect({0, 0, 3, 5});
    // Inside the clip (columns 2 … 5, rows 0 … 1): the fill, the frame's top
    // row and right column, and column 2 inverted; outside it, paper.
    const os::Pixel inkInverted{255, 245, 235, 225};
    const os::Pixel expected[2][4] = {{os::kBlack, os::kWhite, os::kWhite, os::kWhite},
                                      {inkInverted, kInk, kInk, os::kWhite}};
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 6; ++x) {
            const os::Pixel want = x >= 2 && y < 2 ? expected[y][x - 2] : kPaper;
            EXPECT_EQ(clipped.pixel(x, y), want) << "at (" << x << ", " << y << ")";
        }
    }

    clipped.setClip({});
    clipped.fillRect(visible, kInk);
    EXPECT_EQ(clipped.pixel(0, 4), kPaper);
    clipped.resetClip();
    EXPECT_EQ(clipped.clip(), visible);

    // Reading outside gives transparent black.
    EXPECT_EQ(clipped.pixel(-1, 0), os::Pixel{});
    EXPECT_EQ(clipped.pixel(6, 0), os::Pixel{});
    EXPECT_EQ(clipped.pixel(0, INT_MAX), os::Pixel{});
}

TEST(CanvasTest, AWrappedCanvasDrawsInTheCallersRowsAndNeverInTheirPadding) {
    // 3 × 2 pixels in rows of 20 bytes: 8 bytes of padding per row, plus a
    // guard row after the last one.
    std::vector<std::uint8_t> memory(20 * 3, 0xAB);
    os::Canvas canvas(memory.data(), 3, 2, 20);
    EXPECT_FALSE(canvas.ownsPixels());
    canvas.fillRect({-5, -5, 50, 50}, kInk);
    canvas.frameRect({-1, -1, 5, 4}, os::kWhite);
    for (std::size_t i = 0; i < memory.size(); ++i) {
        const std::size_t column = i % 20;
        const bool pixelByte = i < 40 && column < 12;
        if (!pixelByte) {
            ASSERT_EQ(memory[i], 0xAB) << "byte " << i;
        }
    }
    // Memory order is alpha, red, green, blue, as the host's world pixels.
    EXPECT_EQ(memory[20 + 4 * 1 + 0], 255);
    EXPECT_EQ(memory[20 + 4 * 1 + 1], 10);
    EXPECT_EQ(memory[20 + 4 * 1 + 2], 20);
    EXPECT_EQ(memory[20 + 4 * 1 + 3], 30);

    EXPECT_THROW(os::Canvas(memory.data(), 3, 2, 11), std::invalid_argument);
    EXPECT_THROW(os::Canvas(nullptr, 3, 2, 12), std::invalid_argument);
    EXPECT_THROW(os::Canvas(memory.data(), -1, 2, 12), std::invalid_argument);
    EXPECT_THROW(os::Canvas(-3, 2), std::invalid_argument);
    EXPECT_NO_THROW(os::Canvas(nullptr, 0, 0, 0));

    os::Canvas owner(4, 4, kPaper);
    os::Canvas moved(std::move(owner));
    EXPECT_EQ(moved.pixel(3, 3), kPaper);
    // The moved-from canvas is empty, as documented, and ignores drawing.
    EXPECT_EQ(owner.width(), 0);  // NOLINT(bugprone-use-after-move)
    owner.fillRect({0, 0, 4, 4}, kInk);
    EXPECT_EQ(owner.data(), nullptr);
}

TEST(CanvasTest, BlitConvertsWordsToOpaquePixelsAndClipsBothSides) {
    WordImage image(4, 3, /*padWords=*/2);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            // The fourth byte varies and must not reach the canvas.
            image.at(x, y) = static_cast<std::uint32_t>((x * 40) << 24 | (0x10 + x) << 16 |
                                                        (0x20 + y) << 8 | 0x30);
        }
    }
    image.at(4, 0) = image.at(5, 0) = 0xFFFFFFFF;  // padding: never copied
    const auto expectedAt = [](int sx, int sy) {
        return os::Pixel{255, static_cast<std::uint8_t>(0x10 + sx),
                         static_cast<std::uint8_t>(0x20 + sy), 0x30};
    };

    const struct {
        os::Rect source;
        os::Point dest;
        os::Rect landed;  // on the 6 × 5 canvas
        os::Point from;   // the image pixel landing at landed's corner
    } cases[] = {
        {{0, 0, 4, 3}, {1, 1}, {1, 1, 4, 3}, {0, 0}},    // whole image
        {{1, 1, 2, 2}, {0, 0}, {0, 0, 2, 2}, {1, 1}},    // part of it
        {{-2, -1, 4, 3}, {0, 0}, {2, 1, 2, 2}, {0, 0}},  // source before the image
        {{2, 1, 9, 9}, {0, 0}, {0, 0, 2, 2}, {2, 1}},    // source past the image
        {{0, 0, 4, 3}, {-3, -2}, {0, 0, 1, 1}, {3, 2}},  // destination before the canvas
        {{0, 0, 4, 3}, {4, 3}, {4, 3, 2, 2}, {0, 0}},    // destination past the canvas
        {{0, 0, 4, 3}, {6, 0}, {}, {}},
        {{0, 0, 4, 3}, {INT_MAX, INT_MAX}, {}, {}},
        {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {INT_MAX, 0}, {}, {}},
        {{0, 0, INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}, {}, {}},
        {{0, 0, 0, 3}, {0, 0}, {}, {}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        os::Canvas canvas(6, 5, kPaper);
        canvas.blit(image.view(), cases[i].source, cases[i].dest);
        const auto& c = cases[i];
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 6; ++x) {
                const os::Pixel want =
                    within(x, y, c.landed)
                        ? expectedAt(c.from.x + x - c.landed.x, c.from.y + y - c.landed.y)
                        : kPaper;
                ASSERT_EQ(canvas.pixel(x, y), want) << "at (" << x << ", " << y << ")";
            }
        }
    }

    // The clip rectangle cuts blits too; invalid views copy nothing.
    os::Canvas canvas(6, 5, kPaper);
    canvas.setClip({2, 2, 1, 1});
    canvas.blit(image.view(), {0, 0, 4, 3}, {0, 0});
    expectPixels(
        canvas, [](int x, int y) { return x == 2 && y == 2; }, expectedAt(2, 2), kPaper);
    canvas.resetClip();
    os::BgraImageView narrow = image.view();
    narrow.rowBytes = 15;
    canvas.blit(narrow, {0, 0, 4, 3}, {0, 0});
    canvas.blit({nullptr, 4, 3, 16}, {0, 0, 4, 3}, {0, 0});
    canvas.blit({image.words.data(), -4, 3, 16}, {0, 0, 4, 3}, {0, 0});
    expectPixels(
        canvas, [](int x, int y) { return x == 2 && y == 2; }, expectedAt(2, 2), kPaper);
}

TEST_F(CanvasTextTest, TextInksInsideItsMeasuredBoxAndNowhereElse) {
    const std::string text = "Import...";
    const os::TextResult measured = os::measureText(text, 12);
    ASSERT_TRUE(measured.ok) << measured;
    EXPECT_GT(measured.advance, 20);
    EXPECT_LT(measured.advance, 80);
    EXPECT_GT(measured.ascent, 6);
    EXPECT_GT(measured.descent, 0);
    EXPECT_LE(measured.ascent + measured.descent, 18);

    os::Canvas canvas(100, 30, os::kWhite);
    const os::Point baseline{7, 20};
    const os::TextResult drawn = canvas.drawText(text, baseline, 12, os::kBlack);
    ASSERT_TRUE(drawn.ok) << drawn;
    EXPECT_EQ(drawn.advance, measured.advance);

    const os::Rect box{baseline.x, baseline.y - measured.ascent, measured.advance,
                       measured.ascent + measured.descent};
    int inked = 0;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            if (canvas.pixel(x, y) == os::kWhite) continue;
            ASSERT_TRUE(within(x, y, box)) << "ink at (" << x << ", " << y << ") outside " << box;
            ++inked;
        }
    }
    EXPECT_GT(inked, 20);
    // Some pixels are fully inked, and blending keeps the colour's alpha.
    bool solid = false;
    for (int y = box.y; y < box.y + box.height; ++y) {
        for (int x = box.x; x < box.x + box.width; ++x) solid |= canvas.pixel(x, y) == os::kBlack;
    }
    EXPECT_TRUE(solid);

    // Wider text measures wider; invalid UTF-8 is drawn, not refused.
    EXPECT_GT(os::measureText(text + text, 12).advance, measured.advance);
    EXPECT_GT(os::measureText("A\xFF\xC0z", 12).advance, os::measureText("Az", 12).advance);
    EXPECT_EQ(os::measureText("", 12).advance, 0);
}

TEST_F(CanvasTextTest, TextIsClippedAndBadSizesAreRefused) {
    os::Canvas canvas(40, 20, os::kWhite);
    canvas.setClip({0, 0, 12, 20});
    ASSERT_TRUE(canvas.drawText("WWWWWW", {2, 15}, 14, os::kBlack).ok);
    int inked = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            if (canvas.pixel(x, y) == os::kWhite) continue;
            ASSERT_LT(x, 12) << "ink outside the clip at (" << x << ", " << y << ")";
            ++inked;
        }
    }
    EXPECT_GT(inked, 0);

    // Far off the canvas, and straddling every edge: nothing is written out of bounds.
    canvas.resetClip();
    for (const os::Point at :
         {os::Point{-30, 10}, os::Point{35, 10}, os::Point{5, 2}, os::Point{5, 30},
          os::Point{INT_MAX - 2, INT_MIN + 3}, os::Point{INT_MIN, INT_MAX}}) {
        EXPECT_TRUE(canvas.drawText("Hgjy", at, 20, os::kBlack).ok) << at;
    }

    for (int size : {0, -4, os::kMaxTextSize + 1}) {
        const os::TextResult result = canvas.drawText("x", {0, 10}, size, os::kBlack);
        EXPECT_FALSE(result.ok) << size;
        EXPECT_NE(result.error.find(std::to_string(size)), std::string::npos) << result.error;
    }
}

TEST_F(CanvasTextTest, AMissingFontGivesAClearErrorAndDrawsNothing) {
    os::testing::setFontPath("/nonexistent/fonts/Missing.ttf");
    os::Canvas canvas(30, 20, os::kWhite);
    const os::TextResult result = canvas.drawText("Hello", {2, 15}, 12, os::kBlack);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("/nonexistent/fonts/Missing.ttf"), std::string::npos)
        << result.error;
    EXPECT_NE(result.error.find("No such file"), std::string::npos) << result.error;
    expectPixels(canvas, [](int, int) { return true; }, os::kWhite, {});
    EXPECT_FALSE(os::measureText("Hello", 12).ok);

    // A file that is no font is refused as well.
    os::testing::setFontPath("/proc/self/cmdline");
    const os::TextResult notAFont = os::measureText("Hello", 12);
    EXPECT_FALSE(notAFont.ok);
    EXPECT_NE(notAFont.error.find("cannot read the font /proc/self/cmdline"), std::string::npos)
        << notAFont.error;

    os::testing::setFontPath({});
    EXPECT_TRUE(os::measureText("Hello", 12).ok);
}
