// Parameter values over time: a static value or a list of keyframes.
//
// A value is up to four numbers in the units the host stores for the
// parameter (Channels): a fixed slider or angle as its 16.16 integer, a colour
// as alpha, red, green, blue bytes, a popup as its 1-based choice, a checkbox
// as 0 or 1, a layer parameter as the layer's id. Times are composition
// frames, fractional where a key was given in seconds between frames.
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <vector>

namespace vask::host {

using Channels = std::array<double, 4>;

// How a key's value goes on toward the next key.
enum class Interpolation {
  Linear,  // to the next key's value, straight or along the keys' handles
  Hold,    // stays until the next key
};
std::ostream& operator<<(std::ostream& os, Interpolation i);

// A cubic Bézier handle in the unit square of the segment between two keys:
// (0, 0) is the earlier key (its time and value), (1, 1) the later one; x is
// a share of the segment's time (0 … 1), y a share of its change in value.
// A segment runs along the curve (0, 0), out, in, (1, 1), where `out` is the
// earlier key's outgoing handle and `in` the later key's incoming one, as in
// CSS's cubic-bezier(out.x, out.y, in.x, in.y).
struct BezierHandle {
  double x = 0, y = 0;
  bool operator==(const BezierHandle&) const = default;
};
std::ostream& operator<<(std::ostream& os, const BezierHandle& h);

// The handles of "ease": the value leaves a key or reaches it at speed 0, the
// handle reaching a third of the way across the segment (an even ease).
// A side without a handle is straight: (1/3, 1/3) out, (2/3, 2/3) in.
inline constexpr BezierHandle kEaseOut{1.0 / 3.0, 0.0};
inline constexpr BezierHandle kEaseIn{2.0 / 3.0, 1.0};

struct Keyframe {
  double frame = 0;
  Channels value{};
  Interpolation interpolation = Interpolation::Linear;
  std::optional<BezierHandle> in = std::nullopt, out = std::nullopt;  // absent: straight on that side
};

// The share of its change a segment has made at `u` (0 … 1) of its time,
// following the curve (0, 0), out, in, (1, 1); handles' x within 0 … 1.
double bezierProgress(BezierHandle out, BezierHandle in, double u);
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
  // value (hold), the straight line between both (linear, neither key with a
  // handle on the segment's side) or the Bézier curve of their handles.
  Channels at(double frame) const;

  const std::vector<Keyframe>& keys() const { return keys_; }
  bool animated() const { return keys_.size() > 1; }

 private:
  std::vector<Keyframe> keys_;
  bool discrete_ = false;
};

}  // namespace vask::host
