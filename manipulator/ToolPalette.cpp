#include "manipulator/ToolPalette.h"

#include <algorithm>

namespace vask {
namespace {

// What a cell shows when the artwork could not be decoded: a framed blank,
// so the tools can still be found.
constexpr os::Pixel kBlankCell{255, 212, 208, 200};

}  // namespace

void ToolPalette::setButtons(std::span<const Button> buttons) {
  buttons_.assign(buttons.begin(), buttons.end());
  pressed_ = -1;
  pressedInside_ = false;
  std::vector<int> nextY;  // per line
  int right = 0, bottom = 0;
  for (Button& b : buttons_) {
    if (b.line < 0) b.line = 0;
    const auto line = static_cast<std::size_t>(b.line);
    if (nextY.size() <= line) nextY.resize(line + 1, kBorder);
    if (b.separator) {
      b.rect = {};
      nextY[line] += kSeparatorSize + kOverlap;
      continue;
    }
    b.rect = {kBorder + b.line * (kCellWidth - kOverlap), nextY[line], kCellWidth, kCellHeight};
    nextY[line] += kCellHeight - kOverlap;
    right = std::max(right, b.rect.x + b.rect.width);
    bottom = std::max(bottom, b.rect.y + b.rect.height);
  }
  rect_.width = right + kBorder;
  rect_.height = bottom + kBorder;
}

int32_t ToolPalette::loadBitmap(os::Module* module, int32_t id) {
  return bitmap_.loadBmpResource(module, id);
}

void ToolPalette::moveTo(os::Point origin) {
  rect_.x = origin.x;
  rect_.y = origin.y;
}

os::Rect ToolPalette::placed(const Button& b) const {
  return {rect_.x + b.rect.x, rect_.y + b.rect.y, b.rect.width, b.rect.height};
}

bool ToolPalette::over(std::size_t index, os::Point p) const {
  const Button& b = buttons_[index];
  return !b.separator && placed(b).contains(p);
}

ToolPalette::Hit ToolPalette::press(os::Point p) {
  if (!rect_.contains(p) && pressed_ < 0) return {};
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    const Button& b = buttons_[i];
    if (b.separator || !b.enabled || !over(i, p)) continue;
    pressed_ = static_cast<int32_t>(i);
    pressedInside_ = true;
    drawButton(i);
    return {true, b.command};
  }
  return {};
}

bool ToolPalette::track(os::Point p) {
  if (pressed_ < 0) return false;
  const auto i = static_cast<std::size_t>(pressed_);
  const bool inside = over(i, p);
  if (inside != pressedInside_) {
    pressedInside_ = inside;
    drawButton(i);
  }
  return true;
}

ToolPalette::Hit ToolPalette::release(os::Point p) {
  // The release point counts as a last move: a host may end a drag without
  // a drag event at the point where the button went up.
  track(p);
  Hit hit;
  if (pressed_ >= 0 && pressedInside_) {
    const auto i = static_cast<std::size_t>(pressed_);
    Button& b = buttons_[i];
    pressedInside_ = false;
    if (over(i, p) && b.latching) b.selected = true;
    drawButton(i);
    hit = {true, b.command};
  }
  pressed_ = -1;
  pressedInside_ = false;
  return hit;
}

void ToolPalette::select(int32_t command, bool state) {
  auto found = std::find_if(buttons_.begin(), buttons_.end(),
                            [&](const Button& b) { return !b.separator && b.command == command; });
  if (found == buttons_.end()) return;
  const auto index = static_cast<std::size_t>(found - buttons_.begin());
  if (found->radioGroup != 0) {
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
      Button& other = buttons_[i];
      if (i == index || other.radioGroup != found->radioGroup || !other.selected) continue;
      other.selected = false;
      drawButton(i);
    }
    if (!found->selected) {
      found->selected = true;
      drawButton(index);
    }
  } else if (found->selected != state) {
    found->selected = state;
    drawButton(index);
  }
}

int ToolPalette::lookRow(std::size_t index) const {
  const Button& b = buttons_.at(index);
  if (!b.enabled) return kDisabledRow;
  const bool down = b.selected || (pressed_ == static_cast<int32_t>(index) && pressedInside_);
  return down ? kPressedRow : kNormalRow;
}

void ToolPalette::drawButton(std::size_t index) {
  if (!canvas_ || index >= buttons_.size() || buttons_[index].separator) return;
  const Button& b = buttons_[index];
  const os::Rect to = placed(b);
  if (bitmap_.width() == 0) {
    canvas_->fillRect(to, kBlankCell);
    canvas_->frameRect(to, os::kBlack);
    if (lookRow(index) != kNormalRow) canvas_->invertRect(to);
    return;
  }
  const os::Rect from{b.image * (kCellWidth - kOverlap), lookRow(index), kCellWidth, kCellHeight};
  bitmap_.drawTo(*canvas_, from, {to.x, to.y});
}

void ToolPalette::drawAll() {
  for (std::size_t i = 0; i < buttons_.size(); ++i) drawButton(i);
}

std::ostream& operator<<(std::ostream& os, const ToolPalette::Hit& hit) {
  if (!hit.hit) return os << "Hit{none}";
  return os << "Hit{command " << hit.command << '}';
}

}  // namespace vask
