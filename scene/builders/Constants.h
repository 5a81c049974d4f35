// The fixed vectors and colours the builders are fed with.
//
// Colours are QuickDraw 3D ARGB (alpha, red, green, blue, each 0 to 1); the
// builders use only red, green and blue.
#pragma once

#include "platform/q3d/QD3D.h"
#include "scene/math/Matrix4x3.h"
#include "scene/math/Vec3.h"

namespace vask {

inline constexpr Vec3 kOrigin{0.0f, 0.0f, 0.0f};
inline constexpr Vec3 kXAxis{1.0f, 0.0f, 0.0f};
inline constexpr Vec3 kYAxis{0.0f, 1.0f, 0.0f};
inline constexpr Vec3 kZAxis{0.0f, 0.0f, 1.0f};
inline constexpr Matrix4x3 kIdentity = identityMatrix();

namespace colors {
inline constexpr TQ3ColorARGB kWhite{1.0f, 1.0f, 1.0f, 1.0f};
inline constexpr TQ3ColorARGB kBlack{1.0f, 0.0f, 0.0f, 0.0f};
inline constexpr TQ3ColorARGB kRed{1.0f, 1.0f, 0.0f, 0.0f};
inline constexpr TQ3ColorARGB kGreen{1.0f, 0.0f, 1.0f, 0.0f};
inline constexpr TQ3ColorARGB kBlue{1.0f, 0.0f, 0.0f, 1.0f};
inline constexpr TQ3ColorARGB kYellow{1.0f, 1.0f, 1.0f, 0.0f};
inline constexpr TQ3ColorARGB kCyan{1.0f, 0.0f, 1.0f, 1.0f};
inline constexpr TQ3ColorARGB kMagenta{1.0f, 1.0f, 0.0f, 1.0f};
inline constexpr TQ3ColorARGB kLightGrey{1.0f, 2.0f / 3.0f, 2.0f / 3.0f, 2.0f / 3.0f};
inline constexpr TQ3ColorARGB kMidGrey{1.0f, 0.5f, 0.5f, 0.5f};
inline constexpr TQ3ColorARGB kDarkGrey{1.0f, 1.0f / 3.0f, 1.0f / 3.0f, 1.0f / 3.0f};
}  // namespace colors

// The colour without its alpha, as attribute sets and lights take it.
constexpr TQ3ColorRGB rgbOf(const TQ3ColorARGB& c) { return {c.r, c.g, c.b}; }

}  // namespace vask
