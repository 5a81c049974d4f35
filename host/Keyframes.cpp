#include "host/Keyframes.h"

#include <algorithm>
#include <cmath>

namespace vask::host {

std::ostream& operator<<(std::ostream& os, Interpolation i) {
  return os << (i == Interpolation::Hold ? "hold" : "linear");
}

std::ostream& operator<<(std::ostream& os, const BezierHandle& h) {
  return os << "[" << h.x << ", " << h.y << "]";
}

std::ostream& operator<<(std::ostream& os, const Keyframe& k) {
  os << "key{frame " << k.frame << ", value [" << k.value[0] << ", " << k.value[1] << ", " << k.value[2]
     << ", " << k.value[3] << "], " << k.interpolation;
  if (k.in) os << ", in " << *k.in;
  if (k.out) os << ", out " << *k.out;
  return os << "}";
}

double bezierProgress(BezierHandle out, BezierHandle in, double u) {
  if (u <= 0) return 0;
  if (u >= 1) return 1;
  // One coordinate of the curve at parameter s, and its slope.
  auto at = [](double a, double b, double s) {
    const double r = 1 - s;
    return 3 * r * r * s * a + 3 * r * s * s * b + s * s * s;
  };
  auto slope = [](double a, double b, double s) {
    const double r = 1 - s;
    return 3 * r * r * a + 6 * r * s * (b - a) + 3 * s * s * (1 - b);
  };
  // With both x handles in 0 … 1 the curve's x never decreases, so the s
  // that reaches x = u is unique: Newton's steps from a bracket that
  // bisection keeps, for handles whose slope is 0 (an ease) at an end.
  double lo = 0, hi = 1, s = u;
  for (int i = 0; i < 64; ++i) {
    const double x = at(out.x, in.x, s) - u;
    if (std::abs(x) < 1e-12) break;
    if (x > 0) {
      hi = s;
    } else {
      lo = s;
    }
    const double d = slope(out.x, in.x, s);
    double next = d > 1e-9 ? s - x / d : 0.5 * (lo + hi);
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    s = next;
  }
  return at(out.y, in.y, s);
}

Track Track::constant(const Channels& value) {
  Track t;
  t.keys_.push_back(Keyframe{.frame = 0, .value = value, .interpolation = Interpolation::Hold});
  return t;
}

Track Track::keyed(std::vector<Keyframe> keys, bool discrete) {
  Track t;
  t.keys_ = std::move(keys);
  std::stable_sort(t.keys_.begin(), t.keys_.end(),
                   [](const Keyframe& a, const Keyframe& b) { return a.frame < b.frame; });
  t.discrete_ = discrete;
  return t;
}

Channels Track::at(double frame) const {
  if (keys_.empty()) return Channels{};
  if (frame <= keys_.front().frame) return keys_.front().value;
  if (frame >= keys_.back().frame) return keys_.back().value;
  // The last key at or before `frame`.
  auto next = std::upper_bound(keys_.begin(), keys_.end(), frame,
                               [](double f, const Keyframe& k) { return f < k.frame; });
  const Keyframe& a = *(next - 1);
  const Keyframe& b = *next;
  if (discrete_ || a.interpolation == Interpolation::Hold) return a.value;
  double u = (frame - a.frame) / (b.frame - a.frame);
  if (a.out || b.in) {
    u = bezierProgress(a.out.value_or(BezierHandle{1.0 / 3.0, 1.0 / 3.0}),
                       b.in.value_or(BezierHandle{2.0 / 3.0, 2.0 / 3.0}), u);
  }
  Channels v;
  for (std::size_t c = 0; c < v.size(); ++c) v[c] = a.value[c] + (b.value[c] - a.value[c]) * u;
  return v;
}

}  // namespace vask::host
