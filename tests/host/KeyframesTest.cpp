#include <gtest/gtest.h>

#include "host/Keyframes.h"
#include "host/Project.h"

namespace vask::host {
namespace {

Channels v(double x) { return {x, 0, 0, 0}; }

TEST(Keyframes, LinearHoldAndTheEnds) {
  // Given out of order: the track sorts them.
  const Track t = Track::keyed({Keyframe{20, v(50), Interpolation::Linear},
                                Keyframe{0, v(0), Interpolation::Linear},
                                Keyframe{10, v(100), Interpolation::Hold}},
                               false);
  EXPECT_EQ(t.at(-5)[0], 0) << "before the first key: its value";
  EXPECT_EQ(t.at(0)[0], 0);
  EXPECT_DOUBLE_EQ(t.at(2.5)[0], 25);
  EXPECT_DOUBLE_EQ(t.at(7.5)[0], 75);
  EXPECT_EQ(t.at(10)[0], 100) << "a key's own value at its frame";
  EXPECT_EQ(t.at(19.99)[0], 100) << "hold until the next key";
  EXPECT_EQ(t.at(20)[0], 50);
  EXPECT_EQ(t.at(1000)[0], 50) << "after the last key: its value";
  EXPECT_TRUE(t.animated());
}

TEST(Keyframes, ColoursBlendPerChannelAndChoicesNeverBlend) {
  const Track colour = Track::keyed({Keyframe{0, {255, 0, 100, 200}, Interpolation::Linear},
                                     Keyframe{4, {255, 200, 100, 0}, Interpolation::Linear}},
                                    false);
  EXPECT_EQ(colour.at(1), (Channels{255, 50, 100, 150}));

  const Track popup = Track::keyed(
      {Keyframe{0, v(1), Interpolation::Linear}, Keyframe{10, v(3), Interpolation::Linear}}, true);
  EXPECT_EQ(popup.at(9.9)[0], 1) << "a choice between 1 and 3 is not 2";
  EXPECT_EQ(popup.at(10)[0], 3);

  const Track still = Track::constant(v(7));
  EXPECT_FALSE(still.animated());
  EXPECT_EQ(still.at(-1)[0], 7);
  EXPECT_EQ(still.at(1e6)[0], 7);
}

// Keys in seconds land on frames by the composition's rate; both units mean
// the same time.
TEST(Keyframes, SecondsAndFramesNameTheSameTimes) {
  const Project p = parseProject(R"({
    "format": 1,
    "composition": {"width": 8, "height": 8, "frame_rate": "30000/1001", "duration": 2},
    "layers": [{"solid": "#000000", "effects": [{"effect": "X", "params": {
      "A": {"keyframes": [{"t": 1.001, "value": 1}, {"f": 60, "value": 2, "interpolation": "hold"}]},
      "B": 5}}]}]})",
                                 "k.json");
  EXPECT_EQ(p.composition.rate, (FrameRate{30000, 1001}));
  EXPECT_EQ(p.composition.frames, 60) << "2 s at 29.97 fps: 59.94, rounded up";
  const auto& a = p.layers[0].effects[0].params[0];
  ASSERT_EQ(a.keys.size(), 2u);
  EXPECT_TRUE(a.keyed);
  EXPECT_NEAR(a.keys[0].frame, 30, 1e-9);
  EXPECT_EQ(a.keys[0].interpolation, Interpolation::Linear);
  EXPECT_EQ(a.keys[1].frame, 60);
  EXPECT_EQ(a.keys[1].interpolation, Interpolation::Hold);
  const auto& b = p.layers[0].effects[0].params[1];
  EXPECT_FALSE(b.keyed);
  ASSERT_EQ(b.keys.size(), 1u);
  EXPECT_EQ(b.keys[0].value, 5);
}

}  // namespace
}  // namespace vask::host
