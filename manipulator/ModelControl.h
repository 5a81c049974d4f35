// ModelControl: the File Object's "Model" custom control — the "Import..."
// push button and, under it, the path of the imported file.
//
// Layout from the control's frame (window pixels): the button 50 × 15 at
// (left + 2, top + 2); the path line from (left + 2, top + 19), as wide as
// the control less 2 and 15 high.
#pragma once

#include "manipulator/PushButton.h"
#include "platform/os/Canvas.h"

namespace vask {

class ModelControl {
 public:
  static constexpr int kTextSize = PushButton::kTextSize;

  ModelControl();

  // Draw event: fills the control with the window colour, draws the button
  // and, when `path` is not empty, writes it on the path line.
  void draw(os::Canvas* canvas, os::Rect control, const char* path);
  // Button behaviour; press reports whether it hit the button.
  bool press(os::Canvas* canvas, os::Point p) { return button_.press(canvas, p); }
  void track(os::Canvas* canvas, os::Point p) { button_.track(canvas, p); }
  bool release(os::Canvas* canvas, os::Point p) { return button_.release(canvas, p); }

  const PushButton& button() const { return button_; }
  os::Rect pathRect() const { return pathRect_; }

 private:
  PushButton button_;
  os::Rect pathRect_;
};

}  // namespace vask
