#include "host/Keyframes.h"

#include <algorithm>

namespace vask::host {

std::ostream& operator<<(std::ostream& os, Interpolation i) {
  return os << (i == Interpolation::Hold ? "hold" : "linear");
}

std::ostream& operator<<(std::ostream& os, const Keyframe& k) {
  return os << "key{frame " << k.frame << ", value [" << k.value[0] << ", " << k.value[1] << ", "
            << k.value[2] << ", " << k.value[3] << "], " << k.interpolation << "}";
}

Track Track::constant(const Channels& value) {
  Track t;
  t.keys_.push_back(Keyframe{0, value, Interpolation::Hold});
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
  const double u = (frame - a.frame) / (b.frame - a.frame);
  Channels v;
  for (std::size_t c = 0; c < v.size(); ++c) v[c] = a.value[c] + (b.value[c] - a.value[c]) * u;
  return v;
}

}  // namespace vask::host
