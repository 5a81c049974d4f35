// The four-lane approximations against the standard library.
#include "platform/q3d/raster/SimdMath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace q3d::raster::simd {
namespace {

float lane0(F v) { return _mm_cvtss_f32(v); }

TEST(SimdMath, TranscendentalsMatchTheStandardLibrary) {
    for (int i = 1; i <= 2000; ++i) {
        float x = float(i) / 2000.0f;
        ASSERT_NEAR(lane0(log2(set1(x))), std::log2(x), 1e-6) << x;
        ASSERT_NEAR(lane0(log2(set1(x * 1e6f))), std::log2(x * 1e6f), 2e-6) << x;
        float e = (x - 0.5f) * 60.0f;
        ASSERT_NEAR(lane0(exp2(set1(e))) / std::exp2(e), 1.0, 1e-6) << e;
        for (float n : {0.0f, 1.0f, 4.0f, 37.5f}) {
            ASSERT_NEAR(lane0(pow(set1(x), set1(n))), std::pow(x, n), 2e-6) << x << "^" << n;
        }
        float c = 2.0f * x - 1.0f;
        ASSERT_NEAR(lane0(acos(set1(c))), std::acos(c), 1e-6) << c;
        ASSERT_NEAR(lane0(cosPi(set1(x))), std::cos(3.14159265358979 * x), 1e-6) << x;
    }
    EXPECT_EQ(lane0(pow(set1(0.0f), set1(3.0f))), 0.0f);
    EXPECT_EQ(lane0(pow(set1(-0.5f), set1(3.0f))), 0.0f);
    EXPECT_EQ(lane0(pow(set1(NAN), set1(3.0f))), 0.0f);
    EXPECT_EQ(lane0(acos(set1(1.5f))), 0.0f);
}

TEST(SimdMath, LoadXYZ4DeinterleavesFourTriples) {
    const float p[12] = {0, 1, 2, 10, 11, 12, 20, 21, 22, 30, 31, 32};
    F x, y, z;
    loadXYZ4(p, x, y, z);
    alignas(16) float out[3][4];
    _mm_store_ps(out[0], x);
    _mm_store_ps(out[1], y);
    _mm_store_ps(out[2], z);
    for (int lane = 0; lane < 4; ++lane) {
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_EQ(out[axis][lane], float(lane * 10 + axis));
        }
    }
}

}  // namespace
}  // namespace q3d::raster::simd
