#include <gtest/gtest.h>

#include "host/Keyframes.h"
#include "host/Project.h"

namespace vask::host {
namespace {

Channels v(double x) { return {x, 0, 0, 0}; }

Keyframe key(double frame, Channels value, Interpolation i = Interpolation::Linear,
             std::optional<BezierHandle> in = {}, std::optional<BezierHandle> out = {}) {
  return Keyframe{frame, value, i, in, out};
}

TEST(Keyframes, LinearHoldAndTheEnds) {
  // Given out of order: the track sorts them.
  const Track t = Track::keyed({key(20, v(50)), key(0, v(0)), key(10, v(100), Interpolation::Hold)}, false);
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
  const Track colour = Track::keyed({key(0, {255, 0, 100, 200}), key(4, {255, 200, 100, 0})}, false);
  EXPECT_EQ(colour.at(1), (Channels{255, 50, 100, 150}));

  const Track popup = Track::keyed({key(0, v(1), Interpolation::Linear, {}, kEaseOut), key(10, v(3))}, true);
  EXPECT_EQ(popup.at(9.9)[0], 1) << "a choice between 1 and 3 is not 2, eased or not";
  EXPECT_EQ(popup.at(10)[0], 3);

  const Track still = Track::constant(v(7));
  EXPECT_FALSE(still.animated());
  EXPECT_EQ(still.at(-1)[0], 7);
  EXPECT_EQ(still.at(1e6)[0], 7);
}

// The even eases have closed forms: their handles' x lie at thirds, so the
// curve's x is its parameter, and the value is a cubic of the time share u.
TEST(Keyframes, EasesFollowTheirCubicsAndHandlesCanOvershoot) {
  struct Case {
    const char* name;
    std::optional<BezierHandle> out, in;
    double (*expected)(double);
  };
  const Case cases[] = {
      {"linear", {}, {}, [](double u) { return u; }},
      {"ease out of the first key", kEaseOut, {}, [](double u) { return 2 * u * u - u * u * u; }},
      {"ease into the second key", {}, kEaseIn, [](double u) { return u + u * u - u * u * u; }},
      {"ease in-out: smoothstep", kEaseOut, kEaseIn, [](double u) { return 3 * u * u - 2 * u * u * u; }},
  };
  for (const Case& c : cases) {
    const Track t = Track::keyed({key(10, v(100), Interpolation::Linear, {}, c.out),
                                 key(30, v(300), Interpolation::Linear, c.in, {})},
                                false);
    for (int i = 0; i <= 20; ++i) {
      const double u = i / 20.0;
      EXPECT_NEAR(t.at(10 + 20 * u)[0], 100 + 200 * c.expected(u), 1e-9) << c.name << " at u " << u;
    }
  }
  // A handle whose x sits at an end (a dead stop, as CSS's ease-in-out
  // (0.42, 0, 0.58, 1) nearly has) still gives a curve through its ends,
  // half-way at half time by symmetry, and never running back in time.
  double before = 0;
  for (int i = 0; i <= 1000; ++i) {
    const double u = i / 1000.0, p = bezierProgress({0, 0}, {1, 1}, u);
    EXPECT_GE(p, before - 1e-12) << u;
    EXPECT_NEAR(p + bezierProgress({0, 0}, {1, 1}, 1 - u), 1, 1e-9) << u;
    before = p;
  }
  EXPECT_NEAR(bezierProgress({0.42, 0}, {0.58, 1}, 0.5), 0.5, 1e-12);
  // y beyond 0 … 1 overshoots the next key and comes back.
  EXPECT_GT(bezierProgress({0.5, 1.6}, {0.8, 1.0}, 0.6), 1.0);
}

// "ease" and the handles as a project writes them.
TEST(Keyframes, ProjectsWriteEasesAndHandlesPerKey) {
  auto parse = [](const std::string& keys) {
    return parseProject(R"({"format": 2, "composition": {"width": 8, "height": 8, "frame_rate": 24, "frames": 9},
      "layers": [{"solid": "#000000", "effects": [{"effect": "X", "params": {"A": {"keyframes": [)" +
                            keys + "]}}}]}]}",
                        "e.json")
        .layers[0].effects[0].params[0].keys;
  };
  const auto keys = parse(R"({"f": 0, "value": 0, "ease": "out"},
                             {"f": 4, "value": 1, "ease": "in-out"},
                             {"f": 8, "value": 2, "handle_in": [0.9, 1.2]})");
  EXPECT_EQ(keys[0].out, kEaseOut);
  EXPECT_EQ(keys[0].in, std::nullopt);
  EXPECT_EQ(keys[1].in, kEaseIn);
  EXPECT_EQ(keys[1].out, kEaseOut);
  EXPECT_EQ(keys[2].in, (BezierHandle{0.9, 1.2}));

  auto refusal = [&](const std::string& k) {
    try {
      parse(k);
    } catch (const ProjectError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_NE(refusal(R"({"f": 0, "value": 0, "ease": "slow"})").find("is not one of \"in\""), std::string::npos);
  EXPECT_NE(refusal(R"({"f": 0, "value": 0, "handle_out": [1.5, 0]})").find("x is outside 0 … 1"),
            std::string::npos)
      << "time would run backwards";
  EXPECT_NE(refusal(R"({"f": 0, "value": 0, "ease": "out", "handle_out": [0.2, 0]})").find("same side"),
            std::string::npos);
  EXPECT_NE(refusal(R"({"f": 0, "value": 0, "handle_in": 0.5})").find("expects [x, y]"), std::string::npos);
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
