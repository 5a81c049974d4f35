// The scene math: rotations against closed forms, inverses against the
// identity, and the order in which a placement applies its parameters.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "scene/math/Matrix4x3.h"
#include "scene/math/Placement.h"
#include "scene/math/Ray.h"
#include "scene/math/Units.h"
#include "scene/math/Vec3.h"

namespace vask {
namespace {

constexpr float kPi = 3.14159265f;
constexpr float kTol = 1e-5f;  // a few float ulps at unit scale

void expectNear(const Vec3& actual, const Vec3& expected, float tol = kTol) {
  EXPECT_NEAR(actual.x, expected.x, tol) << "got " << actual << ", want " << expected;
  EXPECT_NEAR(actual.y, expected.y, tol) << "got " << actual << ", want " << expected;
  EXPECT_NEAR(actual.z, expected.z, tol) << "got " << actual << ", want " << expected;
}

void expectNear(const Matrix4x3& actual, const Matrix4x3& expected, float tol = kTol) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(actual.m[r][c], expected.m[r][c], tol)
          << "at [" << r << "][" << c << "]\n got " << actual << "\nwant " << expected;
}

Matrix4x3 rotation(const Vec3& axis, float radians) {
  return rotateAboutAxis(identityMatrix(), axis, radians);
}

const Vec3 kX{1, 0, 0}, kY{0, 1, 0}, kZ{0, 0, 1};

TEST(MathTest, RotationsAreRightHanded) {
  expectNear(transformPoint(kX, rotation(kZ, kPi / 2)), kY);
  expectNear(transformPoint(kY, rotation(kX, kPi / 2)), kZ);
  expectNear(transformPoint(kZ, rotation(kY, kPi / 2)), kX);
  // A rotation keeps lengths and leaves its own axis alone.
  const Vec3 axis = normalize({1, 2, 3});
  const Matrix4x3 r = rotation(axis, 0.7f);
  expectNear(transformVector(axis, r), axis);
  EXPECT_NEAR(length(transformVector({3, -1, 2}, r)), length({3, -1, 2}), kTol);
}

TEST(MathTest, RotationFromAnglesTurnsRollThenAzimuthThenElevation) {
  expectNear(transformVector(kZ, rotationFromAngles(kPi / 2, 0, 0)), kX);
  expectNear(transformVector(kY, rotationFromAngles(0, kPi / 2, 0)), kZ);
  expectNear(transformVector(kX, rotationFromAngles(0, 0, kPi / 2)), kY);

  // Whatever the angles, the result is Rz(roll)·Rx(elevation)·Ry(azimuth)
  // about the fixed axes.
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> angle(-kPi, kPi);
  for (int i = 0; i < 50; ++i) {
    const float a = angle(rng), e = angle(rng), r = angle(rng);
    const Matrix4x3 fixedAxes =
        multiply(multiply(rotation(kZ, r), rotation(kX, e)), rotation(kY, a));
    SCOPED_TRACE(testing::Message() << "case " << i << ": " << a << ", " << e << ", " << r);
    expectNear(rotationFromAngles(a, e, r), fixedAxes, 2e-5f);
  }
}

TEST(MathTest, MultiplyAppliesTheLeftMatrixFirst) {
  const Matrix4x3 move = translate(identityMatrix(), {1, 0, 0});
  const Matrix4x3 turn = rotation(kZ, kPi / 2);
  expectNear(transformPoint({0, 0, 0}, multiply(move, turn)), {0, 1, 0});
  expectNear(transformPoint({0, 0, 0}, multiply(turn, move)), {1, 0, 0});
  // Directions ignore the translation.
  expectNear(transformVector(kX, multiply(move, turn)), kY);
}

TEST(MathTest, ScaleMultipliesTheTranslationRowToo) {
  const Matrix4x3 m = scale(translate(identityMatrix(), {1, 2, 3}), {2, 3, 4});
  EXPECT_EQ(m, setMatrix(2, 0, 0, 0, 3, 0, 0, 0, 4, 2, 6, 12)) << m;
}

TEST(MathTest, RigidInverseUndoesRotationAndTranslation) {
  EXPECT_EQ(rigidInverse(translate(identityMatrix(), {1, 2, 3})),
            translate(identityMatrix(), {-1, -2, -3}));
  const Matrix4x3 m = translate(rotationFromAngles(0.3f, -0.4f, 1.1f), {4, -5, 6});
  expectNear(multiply(m, rigidInverse(m)), identityMatrix());
  expectNear(multiply(rigidInverse(m), m), identityMatrix());
}

TEST(MathTest, InverseOfWellConditionedMatricesGivesIdentity) {
  // Rotation × per-axis scale in [0.5, 2] × translation within ±10: condition
  // number at most 4, so 1e-4 leaves room for float rounding of the inverse
  // and of the product (translations up to ~20 in magnitude).
  std::mt19937 rng(20240531);
  std::uniform_real_distribution<float> angle(-kPi, kPi), factor(0.5f, 2.0f), shift(-10.0f, 10.0f);
  for (int i = 0; i < 200; ++i) {
    Matrix4x3 m = scale(identityMatrix(), {factor(rng), factor(rng), factor(rng)});
    m = multiply(m, rotationFromAngles(angle(rng), angle(rng), angle(rng)));
    m = translate(m, {shift(rng), shift(rng), shift(rng)});
    const Matrix4x3 inv = inverse(m);
    SCOPED_TRACE(testing::Message() << "case " << i << ": " << m);
    ASSERT_FALSE(isZero(inv));
    expectNear(multiply(inv, m), identityMatrix(), 1e-4f);
    expectNear(multiply(m, inv), identityMatrix(), 1e-4f);
  }
}

TEST(MathTest, InverseRefusesSingularMatricesOnly) {
  // A zero row: the whole y axis collapses.
  EXPECT_TRUE(isZero(inverse(setMatrix(1, 0, 0, 0, 0, 0, 0, 0, 1, 5, 6, 7))));
  // Two equal rows: det is zero although no product is.
  EXPECT_TRUE(isZero(inverse(setMatrix(1, 2, 3, 1, 2, 3, 4, 5, 7, 0, 0, 0))));
  // Rows (1, 1, 1), (1, 1, 1 + e), (1, 2, 3): det = −e against terms summing
  // to about 12, so the limit 1e-7 falls between e = 2⁻²⁰ and e = 2⁻¹⁸.
  const auto nearlyFlat = [](float e) { return setMatrix(1, 1, 1, 1, 1, 1 + e, 1, 2, 3, 0, 0, 0); };
  EXPECT_TRUE(isZero(inverse(nearlyFlat(std::ldexp(1.0f, -20)))));
  EXPECT_FALSE(isZero(inverse(nearlyFlat(std::ldexp(1.0f, -18)))));
  EXPECT_TRUE(isZero(inverse(setMatrix(NAN, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0))));

  // Tiny but uniform: the test is relative to the terms, so this inverts.
  const Matrix4x3 tiny = scale(translate(identityMatrix(), {1, 1, 1}), {1e-4f, 1e-4f, 1e-4f});
  const Matrix4x3 inv = inverse(tiny);
  ASSERT_FALSE(isZero(inv));
  expectNear(transformPoint({1e-4f, 2e-4f, 3e-4f}, inv), {0, 1, 2}, 1e-3f);
}

TEST(MathTest, VectorHelpers) {
  const Vec3 tiny{1e-7f, 0, 0};
  EXPECT_EQ(normalize(tiny), tiny);
  expectNear(normalize({3, 4, 0}), {0.6f, 0.8f, 0});
  // Large components must not overflow the squares.
  expectNear(normalize({3e30f, 4e30f, 0}), {0.6f, 0.8f, 0});
  EXPECT_EQ(cross(kX, kY), kZ);
  EXPECT_EQ(cross(kY, kX), negate(kZ));
  EXPECT_FALSE(differs({1, 2, 3}, {1 + 5e-7f, 2, 3 - 5e-7f}));
  EXPECT_TRUE(differs({1, 2, 3}, {1, 2 + 5e-6f, 3}));
  EXPECT_TRUE(differs({NAN, 0, 0}, {NAN, 0, 0}));
}

TEST(MathTest, RayAndPlane) {
  const Plane floor{kY, 1.0f};  // y = −1
  EXPECT_FALSE(intersectRayPlane({{0, 0, 0}, kX}, floor).has_value());
  EXPECT_FALSE(intersectRayPlane({{0, 0, 0}, {0, 0, 0}}, floor).has_value());

  const auto down = intersectRayPlane({{2, 3, 4}, negate(kY)}, floor);
  ASSERT_TRUE(down.has_value());
  expectNear(*down, {2, -1, 4});
  // The plane behind the origin is still found.
  const auto behind = intersectRayPlane({{2, 3, 4}, kY}, floor);
  ASSERT_TRUE(behind.has_value());
  expectNear(*behind, {2, -1, 4});

  // Transforming keeps the direction unit length even through a scale.
  const Ray moved = transformRay({{1, 0, 0}, kX}, scale(translate(identityMatrix(), {0, 1, 0}), {3, 3, 3}));
  expectNear(moved.origin, {3, 3, 0});
  expectNear(moved.direction, kX);
  expectNear(pointOnRay(moved, 2), {5, 3, 0});
}

TEST(MathTest, FixedPointConversions) {
  EXPECT_EQ(fixedToFloat(0x8000), 0.5f);
  EXPECT_EQ(fixedToFloat(-0x30000), -3.0f);
  EXPECT_NEAR(fixedDegreesToRadians(90 << 16), kPi / 2, 1e-6f);
}

TEST(MathTest, PlacementScalesThenRotatesThenTranslates) {
  PlacementValues v;
  v.xScale = 2 << 16;
  v.leftRight = 90 << 16;
  v.zTranslation = 5 << 16;
  // (1, 0, 0) → scaled (2, 0, 0) → turned about Y onto (0, 0, −2) → (0, 0, 3).
  // Any other order lands elsewhere.
  expectNear(transformPoint(kX, placementMatrix(v)), {0, 0, 3});

  EXPECT_EQ(placementMatrix(PlacementValues{}), identityMatrix());

  v = {};
  v.upDown = 90 << 16;
  expectNear(transformVector(kY, placementMatrix(v)), kZ);
}

TEST(MathTest, ModelPlacementCentresAndNormalisesFirst) {
  // A model from (−10, 0, 0) to (10, 5, 2): centre (0, 2.5, 1), scale 1/20.
  const Vec3 centre{0, 2.5f, 1};
  const float modelScale = 0.05f;
  const Matrix4x3 m = modelPlacementMatrix(PlacementValues{}, centre, modelScale);
  expectNear(transformPoint({-10, 0, 0}, m), {-0.5f, -0.125f, -0.05f});
  expectNear(transformPoint({10, 5, 2}, m), {0.5f, 0.125f, 0.05f});

  PlacementValues v;
  v.yScale = 2 << 16;
  v.xTranslation = 1 << 16;
  expectNear(transformPoint({10, 5, 2}, modelPlacementMatrix(v, centre, modelScale)),
             {1.5f, 0.25f, 0.05f});
}

}  // namespace
}  // namespace vask
