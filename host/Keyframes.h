// Parameter values over time: a static value or a list of keyframes.
//
// A value is up to four numbers in the units the host stores for the
// parameter (Channels): a fixed slider or angle as its 16.16 integer, a colour
// as alpha, red, green, blue bytes, a popup as its 1-based choice, a checkbox
// as 0 or 1, a layer parameter as the layer's id. Times are composition
// frames, fractional where a key was given in seconds between frames.
#pragma once

#include <array>
#include <ostream>
#include <vector>

namespace vask::host {

using Channels = std::array<double, 4>;

// How a key's value goes on toward the next key.
enum class Interpolation {
  Linear,  // straight line to the next key's value
  Hold,    // stays until the next key
};
std::ostream& operator<<(std::ostream& os, Interpolation i);

struct Keyframe {
  double frame = 0;
  Channels value{};
  Interpolation interpolation = Interpolation::Linear;
};
std::ostream& operator<<(std::ostream& os, const Keyframe& k);

class Track {
 public:
  // A value that never changes.
  static Track constant(const Channels& value);
  // Keys in any order, at least one, no two at the same frame (the caller
  // checks; the keys are sorted here). With `discrete`, every key holds
  // whatever its own interpolation says: choices and switches cannot be
  // blended.
  static Track keyed(std::vector<Keyframe> keys, bool discrete);

  // The value at `frame`: the first key's before it, the last key's after the
  // last, a key's own value at its frame, and between two keys the first key's
  // value (hold) or the straight line between both (linear).
  Channels at(double frame) const;

  const std::vector<Keyframe>& keys() const { return keys_; }
  bool animated() const { return keys_.size() > 1; }

 private:
  std::vector<Keyframe> keys_;
  bool discrete_ = false;
};

}  // namespace vask::host
