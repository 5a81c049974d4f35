// The per-sequence holder of an effect's custom controls: the manipulator
// (tool palette and live preview) and, in the File Object, the Model control
// with the Import button and the path line.
//
// The panel is created with every live sequence record and destroyed with
// it; it is never flattened, so a re-setup sequence starts with the default
// preview camera and the initial tool. It answers the host's effect-controls
// events (click, drag, end of drag, draw) for its controls, reporting every
// one it takes as handled.
#pragma once

#include <cstdint>
#include <optional>

#include "manipulator/Manipulator.h"
#include "manipulator/ModelControl.h"
#include "manipulator/PanelHooks.h"
#include "manipulator/ToolSet.h"
#include "shell/EffectCall.h"

namespace vask {

class ControlsPanel {
 public:
  // Builds the manipulator's preview (raises the scene library's error).
  ControlsPanel(PanelKind kind, const PanelHooks& hooks);

  PanelKind kind() const { return kind_; }
  int32_t currentTool() const { return manipulator_.currentTool(); }
  const Manipulator& manipulator() const { return manipulator_; }

  // Host events. Each handles only events of the effect-controls window's
  // control area, sets the event's evt_out_flags to PF_EO_HANDLED_EVENT and
  // draws into the event's drawing reference (none: nothing is drawn).
  // [sequence live, event call]
  void click(EffectCall& call);
  void drag(EffectCall& call);
  void endDrag(EffectCall& call);
  void draw(EffectCall& call);

 private:
  // Which control an event of parameter `index` goes to.
  bool toModel(int32_t index) const;

  PanelKind kind_;
  PanelHooks hooks_;
  std::optional<ModelControl> model_;  // File Object only
  Manipulator manipulator_;
};

// Makes a panel from the shell's allocator (raises 1024 when memory runs out,
// or the scene library's error) and destroys one made that way; null is
// ignored.
ControlsPanel* createControlsPanel(PanelKind kind, const PanelHooks& hooks = {});
void destroyControlsPanel(ControlsPanel* panel);

// The event handlers of a plug-in, reaching the panel of the call's live
// sequence record through `panelOf`.
template <ControlsPanel* (*panelOf)(EffectCall&)>
struct PanelEvents {
  static void click(EffectCall& c) { if (auto* p = panelOf(c)) p->click(c); }
  static void drag(EffectCall& c) { if (auto* p = panelOf(c)) p->drag(c); }
  static void endDrag(EffectCall& c) { if (auto* p = panelOf(c)) p->endDrag(c); }
  static void draw(EffectCall& c) { if (auto* p = panelOf(c)) p->draw(c); }
};

}  // namespace vask
