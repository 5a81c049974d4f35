// ClipTo: keeps drawing inside one control for the life of a scope, so that
// a control whose frame is smaller than its parts never draws over its
// neighbours. The canvas's clip is narrowed to the control and restored.
#pragma once

#include <algorithm>

#include "platform/os/Canvas.h"

namespace vask {

class ClipTo {
 public:
  ClipTo(os::Canvas* canvas, os::Rect r) : canvas_(canvas) {
    if (!canvas_) return;
    saved_ = canvas_->clip();
    const int x0 = std::max(saved_.x, r.x), y0 = std::max(saved_.y, r.y);
    const int x1 = std::min(saved_.x + saved_.width, r.x + std::max(r.width, 0));
    const int y1 = std::min(saved_.y + saved_.height, r.y + std::max(r.height, 0));
    canvas_->setClip({x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)});
  }
  ~ClipTo() {
    if (canvas_) canvas_->setClip(saved_);
  }
  ClipTo(const ClipTo&) = delete;
  ClipTo& operator=(const ClipTo&) = delete;

 private:
  os::Canvas* canvas_;
  os::Rect saved_;
};

}  // namespace vask
