// Units and tolerances of the scene math, and the turning of the host's
// 16.16 fixed-point parameter values into floats.
//
// The conversions are done in single precision in a fixed order (value ÷ 65536,
// then × the degree factor) so that every plug-in and the controls panel turn
// the same parameter value into the same float, bit for bit.
#pragma once

#include <cstdint>

namespace vask {

// Degrees to radians: the float nearest π ÷ 180.
inline constexpr float kDegreesToRadians = 0.017453292f;
// Below this length a vector counts as null; components closer than this are equal.
inline constexpr float kVectorTolerance = 1e-6f;
// A matrix whose determinant is this small relative to its terms counts as singular.
inline constexpr float kInverseTolerance = 1e-7f;
// One unit of a 16.16 fixed-point value.
inline constexpr float kFixedScale = 1.0f / 65536.0f;

// A 16.16 fixed-point value (an intensity, a position, a scale) as a float.
constexpr float fixedToFloat(int32_t value) { return static_cast<float>(value) / 65536.0f; }

// A 16.16 fixed-point angle in degrees as radians.
constexpr float fixedDegreesToRadians(int32_t value) {
  return fixedToFloat(value) * kDegreesToRadians;
}

}  // namespace vask
