// ToolPalette: a vertical palette of bitmap buttons (the manipulator's tools).
//
// Buttons stack downwards within a column ("line"); neighbours share their
// border line (overlap 1). Each button shows one 26 × 22 cell of the
// palette's bitmap: image i starts at x = 25 × i, and the three looks lie in
// rows y = 0 (normal), 21 (pressed or selected) and 42 (disabled).
//
// Points are window pixels; button rectangles are relative to the palette's
// origin, which the owner moves to its control's corner before drawing.
// Drawing goes to the canvas set with setCanvas (the device context of the
// event being handled); without one, state still changes and nothing is
// drawn.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <vector>

#include "platform/os/Canvas.h"
#include "platform/os/Module.h"
#include "scene/image/OffscreenImage.h"

namespace vask {

class ToolPalette {
 public:
  static constexpr int kCellWidth = 26;
  static constexpr int kCellHeight = 22;
  static constexpr int kOverlap = 1;
  static constexpr int kSeparatorSize = 6;
  static constexpr int kBorder = 0;
  // Rows of the three looks in the bitmap.
  static constexpr int kNormalRow = 0;
  static constexpr int kPressedRow = kCellHeight - kOverlap;   // 21
  static constexpr int kDisabledRow = 2 * kCellHeight - 2;     // 42

  struct Button {
    bool separator = false;
    bool latching = false;
    bool enabled = true;
    bool selected = false;
    int32_t line = 0;   // column
    int32_t image = 0;  // cell of the bitmap
    int32_t command = 0;
    int32_t radioGroup = 0;  // 0: none
    os::Rect rect;           // relative to the palette; set by setButtons
  };

  // What a press or release reports.
  struct Hit {
    bool hit = false;
    int32_t command = -1;
    friend bool operator==(const Hit&, const Hit&) = default;
  };

  // Lays `buttons` out (their rectangles are computed; a separator gets an
  // empty one) and makes the palette rectangle their union.
  void setButtons(std::span<const Button> buttons);
  // Decodes the artwork from resource ("BMP", id) of `module`; returns the
  // decoder's result. A palette without artwork draws framed blank cells.
  int32_t loadBitmap(os::Module* module, int32_t id);

  // The canvas to draw into; null draws nothing. Not owned.
  void setCanvas(os::Canvas* canvas) { canvas_ = canvas; }
  // Moves the palette's top-left corner to `origin` (window pixels).
  void moveTo(os::Point origin);
  // The palette rectangle in window pixels: 51 × 85 for two columns of four.
  os::Rect rect() const { return rect_; }

  // A press at `p`: the first enabled, non-separator button holding the
  // point becomes the pressed button, is drawn pressed and is reported.
  Hit press(os::Point p);
  // The pointer moved to `p`: a pressed button is redrawn when the pointer
  // crosses its border. True while a button is pressed.
  bool track(os::Point p);
  // The pointer went up at `p`: reports the pressed button's command when
  // the pointer is still over it, selecting it first when it latches.
  Hit release(os::Point p);
  // Selects the first button with `command`: in a radio group it becomes the
  // group's only selected button; otherwise its selected flag becomes
  // `state`. Buttons whose look changes are redrawn.
  void select(int32_t command, bool state);

  void drawButton(std::size_t index);
  void drawAll();

  std::size_t buttonCount() const { return buttons_.size(); }
  const Button& button(std::size_t index) const { return buttons_.at(index); }
  int32_t pressed() const { return pressed_; }
  bool pressedInside() const { return pressedInside_; }
  // The bitmap row the button shows now.
  int lookRow(std::size_t index) const;

 private:
  // The button's rectangle in window pixels.
  os::Rect placed(const Button& b) const;
  bool over(std::size_t index, os::Point p) const;

  std::vector<Button> buttons_;
  OffscreenImage bitmap_;
  os::Canvas* canvas_ = nullptr;
  os::Rect rect_;
  int32_t pressed_ = -1;
  bool pressedInside_ = false;
};

std::ostream& operator<<(std::ostream& os, const ToolPalette::Hit& hit);

}  // namespace vask
