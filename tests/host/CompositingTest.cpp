#include <gtest/gtest.h>

#include "host/Compositing.h"

namespace vask::host {
namespace {

TEST(Compositing, OverIsPremultipliedAlphaOver) {
  const PF_Pixel background{255, 16, 32, 48};
  EXPECT_EQ(over(PF_Pixel{255, 1, 2, 3}, background), (PF_Pixel{255, 1, 2, 3})) << "opaque hides";
  EXPECT_EQ(over(PF_Pixel{0, 0, 0, 0}, background), background) << "transparent shows through";
  // Half-transparent red over blue-grey: 128 + 16 × 127 / 255 and so on.
  EXPECT_EQ(over(PF_Pixel{128, 128, 0, 0}, background), (PF_Pixel{255, 136, 16, 24}));
  EXPECT_EQ(over(PF_Pixel{128, 128, 0, 0}, PF_Pixel{0, 0, 0, 0}), (PF_Pixel{128, 128, 0, 0}));
  // A premultiplied additive glow (colour without alpha) brightens.
  EXPECT_EQ(over(PF_Pixel{0, 200, 0, 0}, PF_Pixel{255, 100, 0, 0}).red, 255);
}

TEST(Compositing, LaysOnlyTheOverlap) {
  World target(4, 3);
  target.fill(PF_Pixel{255, 9, 9, 9});
  World layer(3, 2);
  layer.fill(PF_Pixel{255, 200, 0, 0});
  compositeOver(target, layer, 2, -1);  // hangs over the top and right edges
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 4; ++x) {
      const bool covered = x >= 2 && y == 0;
      EXPECT_EQ(target.at(x, y).red, covered ? 200 : 9) << x << ", " << y;
    }
  }
  compositeOver(target, layer, 10, 10);  // entirely outside: nothing happens
  compositeOver(target, layer, -3, 0);
  EXPECT_EQ(target.at(0, 1).red, 9);
}

TEST(Compositing, EveryPixelOfAWideLayerIsLaidAsOverLaysIt) {
  // Runs of opaque, empty, half-transparent and glowing pixels that start
  // and end anywhere in a group of four, over a varied background.
  const PF_Pixel kinds[] = {{255, 10, 20, 30}, {0, 0, 0, 0}, {128, 100, 50, 0}, {0, 60, 0, 0}};
  World target(37, 3, 8);
  World layer(37, 3);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 37; ++x) {
      target.at(x, y) = PF_Pixel{255, static_cast<uint8_t>(7 * x), static_cast<uint8_t>(50 + y), 200};
      layer.at(x, y) = kinds[(x / (1 + y) + y) % 4];
    }
  }
  const World before = target;
  compositeOver(target, layer, 0, 0);
  for (int32_t y = 0; y < 3; ++y) {
    for (int32_t x = 0; x < 37; ++x) {
      EXPECT_EQ(target.at(x, y), over(layer.at(x, y), before.at(x, y))) << x << ", " << y;
    }
  }
  EXPECT_TRUE(target.paddingIntact());
}

TEST(Compositing, ResamplesWithoutLosingTheAverageOrBleedingColour) {
  World src(4, 2);
  for (int32_t x = 0; x < 4; ++x) {
    src.at(x, 0) = PF_Pixel{255, static_cast<uint8_t>(x * 80), 0, 0};
    src.at(x, 1) = PF_Pixel{0, 0, 0, 0};
  }
  EXPECT_EQ(resample(src, 4, 2).at(3, 0), src.at(3, 0)) << "same size is a copy";

  // Halving: an opaque row over a transparent one gives half alpha, and each
  // output pixel takes its colour from its own side of the ramp.
  const World half = resample(src, 2, 1);
  EXPECT_EQ(half.at(0, 0).alpha, 128);
  EXPECT_EQ(half.at(1, 0).alpha, 128);
  EXPECT_LT(half.at(0, 0).red, 64);
  EXPECT_GT(half.at(1, 0).red, 64);
  EXPECT_LE(half.at(1, 0).red, 128);

  // Doubling a flat picture keeps it flat; edges are clamped, not darkened.
  World flat(3, 3);
  flat.fill(PF_Pixel{255, 10, 20, 30});
  const World twice = resample(flat, 6, 6);
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(twice.at(x, y), (PF_Pixel{255, 10, 20, 30})) << x << ", " << y;
  }

  // A colour channel never exceeds alpha after filtering.
  World edge(2, 1);
  edge.at(0, 0) = PF_Pixel{255, 255, 255, 255};
  const World wide = resample(edge, 7, 3);
  for (int32_t x = 0; x < 7; ++x) EXPECT_LE(wide.at(x, 1).red, wide.at(x, 1).alpha) << x;
}

}  // namespace
}  // namespace vask::host
