// PushButton: a framed text button that inverts while it is held down (the
// File Object's "Import..." button).
//
// Points are window pixels. Drawing goes to the canvas passed to each call;
// a null canvas changes the state and draws nothing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/os/Canvas.h"

namespace vask {

class PushButton {
 public:
  enum State : int32_t { kIdle = 0, kPressedOutside = 1, kPressedInside = 2 };

  // Pixel size of the label text.
  static constexpr int kTextSize = 10;

  bool shown = true;
  bool enabled = true;
  std::string label;
  os::Rect rect;

  State state() const { return state_; }

  // A press at `p`: a shown, enabled button under the point goes down
  // (inverted on `canvas`) and the press hits; otherwise the state is idle
  // and nothing is hit.
  bool press(os::Canvas* canvas, os::Point p);
  // The pointer moved to `p`: the button inverts as the pointer crosses its
  // border while it is held.
  void track(os::Canvas* canvas, os::Point p);
  // The pointer went up at `p`: true when it went up over the held button,
  // which is drawn normal again. The state is idle afterwards.
  bool release(os::Canvas* canvas, os::Point p);

  // Fills the rectangle with the window colour and, when shown, frames it
  // and writes the label at (x + 5, y + 12).
  void draw(os::Canvas* canvas) const;

 private:
  State state_ = kIdle;
};

}  // namespace vask
