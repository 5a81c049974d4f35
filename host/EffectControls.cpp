#include "host/EffectControls.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "host/CallbackBridge.h"
#include "host/HostError.h"

namespace vask::host {
namespace {

constexpr int kTitleTextSize = 11;

bool isCustomControl(const ParamDeclaration& p) {
  return (p.def().ui_flags & PF_PUI_CONTROL) != 0 && p.type() != PF_Param_LAYER;
}

int16_t toShort(int32_t v) {
  return static_cast<int16_t>(std::clamp<int32_t>(v, std::numeric_limits<int16_t>::min(),
                                                  std::numeric_limits<int16_t>::max()));
}

PF_LRect frameOf(const os::Rect& r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

}  // namespace

EffectControls::EffectControls(Instance& instance, int32_t width) : instance_(instance) {
  if (width < kMinWidth || width > kMaxWidth) {
    throw HostError("a controls window " + std::to_string(width) + " pixels wide is outside " +
                    std::to_string(kMinWidth) + " … " + std::to_string(kMaxWidth));
  }
  const auto& table = instance.effect().params();
  int32_t y = 0;
  for (std::size_t i = 1; i < table.size(); ++i) {
    if (!isCustomControl(table[i])) continue;
    const int32_t height = std::clamp<int32_t>(table[i].def().ui_height, 1, kMaxControlHeight);
    Control c{static_cast<int32_t>(i), std::string(table[i].name()), {0, y, width, kTitleHeight},
              {0, y + kTitleHeight, width, height}};
    y += kTitleHeight + height;
    controls_.push_back(std::move(c));
  }
  const auto& ui = instance.effect().customUI();
  if (!controls_.empty() && (!ui || !(ui->events & PF_CustomEFlag_EFFECT))) {
    throw HostError(instance.label() +
                    ": the effect declares custom controls but registered no custom UI for the "
                    "effect-controls window");
  }
  canvas_ = os::Canvas(width, y, os::kWindowColor);
  context_ = makeEffectContext(&canvas_);
}

const EffectControls::Control* EffectControls::control(int32_t index) const {
  for (const Control& c : controls_)
    if (c.index == index) return &c;
  return nullptr;
}

PF_EventExtra EffectControls::event(const Control& control, PF_EventType type) {
  PF_EventExtra e{};
  e.contextH = &context_;
  e.e_type = type;
  e.effect_win.index = control.index;
  e.effect_win.area = PF_EA_CONTROL;
  e.effect_win.current_frame = frameOf(control.frame);
  e.effect_win.param_title_frame = frameOf(control.title);
  return e;
}

void EffectControls::setPoint(PF_EventExtra& e, const Control& control, os::Point p,
                              int32_t modifiers) const {
  e.u.do_click.screen_point = {toShort(control.frame.y + p.y), toShort(control.frame.x + p.x)};
  e.u.do_click.modifiers = modifiers;
}

CommandResult EffectControls::send(PF_EventExtra& e) {
  e.evt_out_flags = PF_EO_NONE;
  return instance_.event(e);
}

CommandResult EffectControls::draw(const Control& control) {
  canvas_.fillRect(control.title, kTitleColor);
  canvas_.drawText(control.name, {control.title.x + 4, control.title.y + 13}, kTitleTextSize,
                   os::kBlack);
  PF_EventExtra e = event(control, PF_Event_DRAW);
  e.u.draw.update_rect = {toShort(control.frame.y), toShort(control.frame.x),
                          toShort(control.frame.y + control.frame.height),
                          toShort(control.frame.x + control.frame.width)};
  e.u.draw.depth = 32;
  return send(e);
}

CommandResult EffectControls::drawAll() {
  for (const Control& c : controls_) {
    CommandResult r = draw(c);
    if (!r.ok()) return r;
  }
  return {};
}

CommandResult EffectControls::press(const Control& control, os::Point p, int32_t modifiers) {
  if (dragging()) {
    // A new click ends the drag under way where it was.
    const Control& held = controls_[static_cast<std::size_t>(dragControl_)];
    const PF_Point at = dragEvent_.u.do_click.screen_point;
    CommandResult r = release({at.h - held.frame.x, at.v - held.frame.y}, modifiers);
    if (!r.ok()) return r;
  }
  PF_EventExtra e = event(control, PF_Event_DO_CLICK);
  setPoint(e, control, p, modifiers);
  e.u.do_click.num_clicks = 1;
  CommandResult r = send(e);
  if (r.ok() && e.u.do_click.send_drag) {
    for (std::size_t i = 0; i < controls_.size(); ++i)
      if (controls_[i].index == control.index) dragControl_ = static_cast<int32_t>(i);
    dragEvent_ = e;
  }
  return r;
}

CommandResult EffectControls::dragTo(os::Point p, int32_t modifiers) {
  if (!dragging()) return {};
  const Control& control = controls_[static_cast<std::size_t>(dragControl_)];
  PF_EventExtra e = dragEvent_;
  e.e_type = PF_Event_DRAG;
  e.u.do_click.last_time = false;
  setPoint(e, control, p, modifiers);
  CommandResult r = send(e);
  dragEvent_ = e;
  // An effect that stops asking for drags gets no more of them.
  if (!r.ok() || !e.u.do_click.send_drag) dragControl_ = -1;
  return r;
}

CommandResult EffectControls::release(os::Point p, int32_t modifiers) {
  if (!dragging()) return {};
  const Control& control = controls_[static_cast<std::size_t>(dragControl_)];
  PF_EventExtra e = dragEvent_;
  e.e_type = PF_Event_DRAG;
  e.u.do_click.last_time = true;
  setPoint(e, control, p, modifiers);
  dragControl_ = -1;
  return send(e);
}

World EffectControls::picture() const {
  World w(canvas_.width(), canvas_.height());
  for (int32_t y = 0; y < canvas_.height(); ++y) {
    for (int32_t x = 0; x < canvas_.width(); ++x) {
      const os::Pixel p = canvas_.pixel(x, y);
      w.at(x, y) = PF_Pixel{255, p.red, p.green, p.blue};
    }
  }
  return w;
}

}  // namespace vask::host
