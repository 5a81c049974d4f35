#include <gtest/gtest.h>

#include "host/HostError.h"
#include "host/World.h"

namespace vask::host {
namespace {

PF_Pixel px(uint8_t v) { return PF_Pixel{255, v, v, v}; }

// A world whose pixel (x, y) has red = 10 * y + x.
World numbered(int32_t w, int32_t h, int32_t padding = 0) {
  World world(w, h, padding);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) world.at(x, y) = px(static_cast<uint8_t>(10 * y + x));
  }
  return world;
}

// Reds of a world, row by row.
std::vector<std::vector<int>> reds(const World& w) {
  std::vector<std::vector<int>> out(static_cast<std::size_t>(w.height()));
  for (int32_t y = 0; y < w.height(); ++y) {
    for (int32_t x = 0; x < w.width(); ++x) out[y].push_back(w.at(x, y).red);
  }
  return out;
}

using Rows = std::vector<std::vector<int>>;

TEST(World, OwnsPaddedRowsAndChecksAccess) {
  World w(3, 2, 5);
  EXPECT_EQ(w.rowbytes(), 17);
  EXPECT_EQ(w.view()->rowbytes, 17);
  EXPECT_NE(w.view()->data, nullptr);
  EXPECT_EQ(w.at(2, 1), (PF_Pixel{0, 0, 0, 0}));
  EXPECT_THROW(w.at(3, 0), std::out_of_range);
  EXPECT_THROW(w.at(0, -1), std::out_of_range);
  EXPECT_THROW(World(-1, 2), HostError);
  EXPECT_THROW(World(40000, 1), HostError);

  World copy = numbered(3, 2, 5);
  World moved = std::move(copy);
  EXPECT_EQ(moved.view()->data, &moved.at(0, 0)) << "the view follows the pixels";
  EXPECT_EQ(moved.at(2, 1), px(12));
  EXPECT_TRUE(moved.paddingIntact());
}

TEST(World, CopiesWholeAndClippedRectangles) {
  const World src = numbered(4, 3, 3);
  World dst(4, 3, 7);
  ASSERT_EQ(copyWorld(&src.view(), dst.view(), nullptr, nullptr), PF_Err_NONE);
  EXPECT_EQ(reds(dst), reds(src));
  EXPECT_TRUE(dst.paddingIntact());

  // Destination partly outside on the top-left: only the inside is written.
  World out(3, 3);
  out.fill(px(99));
  const PF_Rect s{0, 0, 3, 3}, d{-1, -2, 2, 1};
  ASSERT_EQ(copyWorld(&src.view(), out.view(), &s, &d), PF_Err_NONE);
  EXPECT_EQ(reds(out), (Rows{{12, 99, 99}, {22, 99, 99}, {99, 99, 99}}));

  // Source partly outside on the bottom-right: those destination pixels keep their value.
  out.fill(px(99));
  const PF_Rect s2{2, 3, 4, 5}, d2{0, 0, 2, 2};
  ASSERT_EQ(copyWorld(&src.view(), out.view(), &s2, &d2), PF_Err_NONE);
  EXPECT_EQ(reds(out), (Rows{{23, 99, 99}, {99, 99, 99}, {99, 99, 99}}));
  EXPECT_TRUE(out.paddingIntact());
}

TEST(World, ScalesNearestNeighbour) {
  const World src = numbered(2, 2);
  World up(4, 4, 4);
  ASSERT_EQ(copyWorld(&src.view(), up.view(), nullptr, nullptr), PF_Err_NONE);
  EXPECT_EQ(reds(up), (Rows{{0, 0, 1, 1}, {0, 0, 1, 1}, {10, 10, 11, 11}, {10, 10, 11, 11}}));
  EXPECT_TRUE(up.paddingIntact());

  const World big = numbered(4, 4);
  World down(2, 2);
  ASSERT_EQ(copyWorld(&big.view(), down.view(), nullptr, nullptr), PF_Err_NONE);
  EXPECT_EQ(reds(down), (Rows{{11, 13}, {31, 33}}));  // the pixels under the centres
}

TEST(World, CopiesWithinOneWorld) {
  World w = numbered(4, 1);
  const PF_Rect s{0, 0, 1, 3}, d{0, 1, 1, 4};
  ASSERT_EQ(copyWorld(w.view(), w.view(), &s, &d), PF_Err_NONE);
  EXPECT_EQ(reds(w), (Rows{{0, 0, 1, 2}}));
}

TEST(World, RefusesBadArgumentsAndTouchesNothing) {
  const World src = numbered(2, 2);
  World dst(2, 2);
  dst.fill(px(99));
  const PF_Rect negative{0, 2, 2, 0}, upside{2, 0, 0, 2};
  EXPECT_EQ(copyWorld(&src.view(), dst.view(), &negative, nullptr), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(copyWorld(&src.view(), dst.view(), nullptr, &upside), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(copyWorld(nullptr, dst.view(), nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(copyWorld(&src.view(), nullptr, nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
  PF_EffectWorld thin = src.view();
  thin.rowbytes = 4;  // narrower than its width
  EXPECT_EQ(copyWorld(&thin, dst.view(), nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
  PF_EffectWorld noPixels = src.view();
  noPixels.data = nullptr;
  EXPECT_EQ(copyWorld(&noPixels, dst.view(), nullptr, nullptr), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(reds(dst), (Rows{{99, 99}, {99, 99}}));

  // An empty layer (no pixels, no size) and empty rectangles copy nothing.
  const World none;
  EXPECT_EQ(copyWorld(&none.view(), dst.view(), nullptr, nullptr), PF_Err_NONE);
  const PF_Rect empty{1, 1, 1, 1};
  EXPECT_EQ(copyWorld(&src.view(), dst.view(), &empty, nullptr), PF_Err_NONE);
  EXPECT_EQ(reds(dst), (Rows{{99, 99}, {99, 99}}));
}

}  // namespace
}  // namespace vask::host
