// The effect-controls window of one applied effect, as far as its custom
// controls go: each control with a title row above it, stacked top to bottom
// at the height its parameter declares and the window's width, drawn by the
// effect into one canvas (the window), and the pointer events a user's
// clicks and drags make.
//
// This is the host side of the custom-UI protocol: draw events for each
// control, and a click followed, while the effect asks for them (send_drag),
// by drag events and a final drag event with last_time set. Every event names
// the window's canvas as its drawing context (PF_ContextData_DRAWING_REF).
//
// `vask controls`, the tests and any other face of the window go through
// this class; an effect cannot tell them apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/Effect.h"
#include "host/Instance.h"
#include "host/World.h"
#include "platform/effect_api/EffectApi.h"
#include "platform/os/Canvas.h"

namespace vask::host {

class EffectControls {
 public:
  static constexpr int32_t kTitleHeight = 18;
  static constexpr int32_t kMinWidth = 1;
  static constexpr int32_t kMaxWidth = 4096;
  static constexpr int32_t kMaxControlHeight = 1024;
  // The window behind the controls, and the host's title rows.
  static constexpr os::Pixel kTitleColor{255, 236, 236, 236};

  struct Control {
    int32_t index;     // the parameter
    std::string name;  // its name, shown in the title row
    os::Rect title;    // window pixels
    os::Rect frame;    // the control's own area, window pixels
  };

  // Lays out the custom controls of `instance` (parameters declared with a
  // control area, in table order) in a window `width` pixels wide. Throws
  // HostError when the width is outside kMinWidth … kMaxWidth or the effect
  // registered no custom UI for the effect-controls window. An effect with
  // no custom control gets an empty window.
  EffectControls(Instance& instance, int32_t width);
  // Events name the canvas by address: the window stays where it is.
  EffectControls(const EffectControls&) = delete;
  EffectControls& operator=(const EffectControls&) = delete;

  const std::vector<Control>& controls() const { return controls_; }
  // The control of parameter `index`, or null.
  const Control* control(int32_t index) const;
  os::Canvas& canvas() { return canvas_; }
  const os::Canvas& canvas() const { return canvas_; }

  // Title rows, then a draw event for every control. Stops at the first
  // failure and returns it.
  CommandResult drawAll();
  CommandResult draw(const Control& control);

  // A click at `p` (pixels from the top-left corner of `control`, one of
  // controls()) with the host's modifier bits. Drags follow only when the
  // effect asks for them.
  CommandResult press(const Control& control, os::Point p, int32_t modifiers = 0);
  // The pointer moved to / went up at `p` (from the pressed control's
  // corner). Without a drag under way nothing is sent and the result is
  // success.
  CommandResult dragTo(os::Point p, int32_t modifiers = 0);
  CommandResult release(os::Point p, int32_t modifiers = 0);
  bool dragging() const { return dragControl_ >= 0; }

  // The window as a picture (opaque).
  World picture() const;

 private:
  PF_EventExtra event(const Control& control, PF_EventType type);
  void setPoint(PF_EventExtra& e, const Control& control, os::Point p, int32_t modifiers) const;
  CommandResult send(PF_EventExtra& e);

  Instance& instance_;
  std::vector<Control> controls_;
  os::Canvas canvas_;
  PF_ContextRecord context_{};
  int32_t dragControl_ = -1;  // index into controls_
  PF_EventExtra dragEvent_{};  // what the effect left in the click's record
};

}  // namespace vask::host
