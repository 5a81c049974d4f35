#include "manipulator/PushButton.h"

namespace vask {
namespace {

void invert(os::Canvas* canvas, const os::Rect& r) {
  if (canvas) canvas->invertRect(r);
}

}  // namespace

bool PushButton::press(os::Canvas* canvas, os::Point p) {
  if (shown && enabled && rect.contains(p)) {
    state_ = kPressedInside;
    invert(canvas, rect);
    return true;
  }
  state_ = kIdle;
  return false;
}

void PushButton::track(os::Canvas* canvas, os::Point p) {
  const bool inside = rect.contains(p);
  if (inside && state_ == kPressedOutside) {
    state_ = kPressedInside;
    invert(canvas, rect);
  } else if (!inside && state_ == kPressedInside) {
    state_ = kPressedOutside;
    invert(canvas, rect);
  }
}

bool PushButton::release(os::Canvas* canvas, os::Point p) {
  // The release point counts as a last move, so a button released outside
  // without a drag in between is never left inverted.
  track(canvas, p);
  const bool inside = state_ == kPressedInside;
  if (inside) invert(canvas, rect);
  state_ = kIdle;
  return inside;
}

void PushButton::draw(os::Canvas* canvas) const {
  if (!canvas) return;
  canvas->fillRect(rect, os::kWindowColor);
  if (!shown) return;
  canvas->frameRect(rect, os::kBlack);
  // A text that cannot be drawn (no font) leaves the framed button.
  canvas->drawText(label, {rect.x + 5, rect.y + 12}, kTextSize, os::kBlack);
}

}  // namespace vask
