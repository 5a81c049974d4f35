#include "manipulator/ControlsPanel.h"

#include <algorithm>

#include "shell/Memory.h"
#include "shell/Module.h"

namespace vask {
namespace {

// Window coordinates beyond this are not a place on any screen; frames are
// held within it so that no width or edge overflows.
constexpr int32_t kMaxCoordinate = 1 << 20;

int32_t held(int32_t v) { return std::clamp(v, -kMaxCoordinate, kMaxCoordinate); }

// The event, when it belongs to a control of the effect-controls window.
PF_EventExtra* controlEvent(EffectCall& call) {
  PF_EventExtra* e = call.event();
  if (!e || !e->contextH || e->effect_win.area != PF_EA_CONTROL) return nullptr;
  if (static_cast<const PF_ContextRecord*>(e->contextH)->w_type != PF_Window_EFFECT) return nullptr;
  return e;
}

os::Rect frameOf(const PF_EventExtra& e) {
  const PF_LRect& f = e.effect_win.current_frame;
  const int32_t left = held(f.left), top = held(f.top);
  return {left, top, std::max(held(f.right) - left, 0), std::max(held(f.bottom) - top, 0)};
}

os::Point pointOf(const PF_EventExtra& e) {
  return {e.u.do_click.screen_point.h, e.u.do_click.screen_point.v};
}

os::Canvas* canvasOf(EffectCall& call) { return static_cast<os::Canvas*>(call.drawingReference()); }

}  // namespace

ControlsPanel::ControlsPanel(PanelKind kind, const PanelHooks& hooks)
    : kind_(kind), hooks_(hooks), manipulator_(kind, moduleHandle()) {
  if (toolSet(kind).modelParam >= 0) model_.emplace();
}

bool ControlsPanel::toModel(int32_t index) const {
  return model_ && index != toolSet(kind_).manipulatorParam;
}

void ControlsPanel::click(EffectCall& call) {
  PF_EventExtra* e = controlEvent(call);
  if (!e) return;
  e->evt_out_flags = PF_EO_HANDLED_EVENT;
  os::Canvas* canvas = canvasOf(call);
  if (toModel(e->effect_win.index)) {
    if (model_->press(canvas, pointOf(*e)) && hooks_.importModel) hooks_.importModel(call);
    return;
  }
  manipulator_.press(call, canvas, pointOf(*e), hooks_);
}

void ControlsPanel::drag(EffectCall& call) {
  PF_EventExtra* e = controlEvent(call);
  if (!e) return;
  e->evt_out_flags = PF_EO_HANDLED_EVENT;
  os::Canvas* canvas = canvasOf(call);
  if (toModel(e->effect_win.index)) {
    model_->track(canvas, pointOf(*e));
    return;
  }
  manipulator_.drag(call, canvas, pointOf(*e), e->u.do_click.modifiers, hooks_);
}

void ControlsPanel::endDrag(EffectCall& call) {
  PF_EventExtra* e = controlEvent(call);
  if (!e) return;
  e->evt_out_flags = PF_EO_HANDLED_EVENT;
  os::Canvas* canvas = canvasOf(call);
  if (toModel(e->effect_win.index)) {
    model_->release(canvas, pointOf(*e));
    return;
  }
  manipulator_.endDrag(call, canvas, pointOf(*e));
}

void ControlsPanel::draw(EffectCall& call) {
  PF_EventExtra* e = controlEvent(call);
  if (!e) return;
  e->evt_out_flags = PF_EO_HANDLED_EVENT;
  os::Canvas* canvas = canvasOf(call);
  if (toModel(e->effect_win.index)) {
    model_->draw(canvas, frameOf(*e), hooks_.modelPath ? hooks_.modelPath(call) : nullptr);
    return;
  }
  manipulator_.draw(call, canvas, frameOf(*e), hooks_);
}

ControlsPanel* createControlsPanel(PanelKind kind, const PanelHooks& hooks) {
  return create<ControlsPanel>(kind, hooks);
}

void destroyControlsPanel(ControlsPanel* panel) { destroy(panel); }

}  // namespace vask
