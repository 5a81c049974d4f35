// The demo's height field: a gentle hill under two sets of travelling
// ripples, 0 … 1 over the unit square; `phase` moves the ripples, so that
// frames of a sequence differ everywhere. Shared by the demo's images and
// the full-HD composition benchmark.
#pragma once

#include <algorithm>
#include <cmath>

namespace vask::demo {

inline double rippleHeight(double u, double v, double phase) {
  const double hill = std::exp(-((u - 0.5) * (u - 0.5) + (v - 0.55) * (v - 0.55)) * 6.0);
  const double r1 = std::hypot(u - 0.3, v - 0.4), r2 = std::hypot(u - 0.75, v - 0.65);
  const double ripples = 0.5 * std::sin(r1 * 28.0 - phase) * std::exp(-r1 * 3.0) +
                         0.35 * std::sin(r2 * 22.0 - 1.3 * phase) * std::exp(-r2 * 3.5);
  return std::clamp(0.35 + 0.45 * hill + 0.25 * ripples, 0.0, 1.0);
}

}  // namespace vask::demo
