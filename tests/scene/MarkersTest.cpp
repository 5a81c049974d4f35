// The turn that aims a light's marker: it must carry the source direction onto
// the target for any pair, including the parallel, opposite and null cases
// and pairs where rounding pushes |s × t| above 1.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "scene/markers/LightMarkers.h"

namespace vask {
namespace {

Vec3 unit(std::mt19937& rng) {
  std::normal_distribution<float> n;
  return normalize(Vec3{n(rng), n(rng), n(rng)});
}

TEST(RotateTo, CarriesTheSourceOntoTheTarget) {
  std::mt19937 rng(7);
  int aboveOne = 0;
  for (int i = 0; i < 20000; ++i) {
    const Vec3 s = unit(rng);
    Vec3 t = unit(rng);
    if (i % 2) t = normalize(cross(s, unit(rng)));  // perpendicular pairs
    if (length(cross(s, t)) > 1.0f) ++aboveOne;
    const Vec3 got = transformVector(s, rotateTo(identityMatrix(), t, s));
    ASSERT_TRUE(std::isfinite(got.x) && std::isfinite(got.y) && std::isfinite(got.z)) << i;
    ASSERT_NEAR(got.x, t.x, 2e-5) << i;
    ASSERT_NEAR(got.y, t.y, 2e-5) << i;
    ASSERT_NEAR(got.z, t.z, 2e-5) << i;
  }
  // The clamp matters: such pairs do occur.
  EXPECT_GT(aboveOne, 0);
}

TEST(RotateTo, ParallelOppositeAndNull) {
  const Matrix4x3 m = translate(identityMatrix(), Vec3{1, 2, 3});
  EXPECT_EQ(rotateTo(m, Vec3{0, 0, 2}, Vec3{0, 0, 1}), m) << "parallel: unchanged";
  const Matrix4x3 flipped = rotateTo(identityMatrix(), Vec3{0, 0, -1}, Vec3{0, 0, 1});
  EXPECT_EQ(transformVector(Vec3{0, 0, 1}, flipped), (Vec3{0, 0, -1})) << "opposite: reflected";
  EXPECT_EQ(transformVector(Vec3{1, 0, 0}, flipped), (Vec3{1, 0, 0}));
  EXPECT_EQ(rotateTo(m, Vec3{0, 0, 0}, Vec3{0, 0, 1}), Matrix4x3{}) << "null target";
  EXPECT_EQ(rotateTo(m, Vec3{0, 0, 1}, Vec3{}), Matrix4x3{}) << "null source";
}

TEST(BeamDirection, AzimuthAndElevation) {
  const float q = 3.1415927f / 2;
  const Vec3 ahead = beamDirection(0, 0), right = beamDirection(q, 0), up = beamDirection(1.0f, q);
  EXPECT_NEAR(ahead.z, 1, 1e-7);
  EXPECT_NEAR(right.x, 1, 1e-7);
  EXPECT_NEAR(up.y, 1, 1e-7);
  EXPECT_NEAR(length(beamDirection(-2.268928f, -0.5235988f)), 1, 1e-6);
}

}  // namespace
}  // namespace vask
