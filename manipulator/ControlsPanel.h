// The per-sequence holder of an effect's custom controls: the manipulator
// (tool palette and live preview) and, in the File Object, the Import button
// with the path line.
//
// This is the panel's first increment: it is created with every live sequence
// record and destroyed with it, holds the tool state, and answers the host's
// events without drawing or consuming them yet.
#pragma once

#include <cstdint>

#include "shell/EffectCall.h"

namespace vask {

enum class PanelKind { FileObject, MeshObject, SpotLight, PointLight };

// Commands of the tool palette's buttons.
enum class Tool : int32_t {
  OrbitCamera = 0, DollyCamera = 1, PanCamera = 2, ResetCamera = 3,
  RotateOrAim = 4, Move = 5, Scale = 6, Reset = 7
};

class ControlsPanel {
 public:
  explicit ControlsPanel(PanelKind kind) : kind_(kind) {}

  PanelKind kind() const { return kind_; }
  Tool currentTool() const { return currentTool_; }

  // Host events for the panel's controls; each sets the event's
  // evt_out_flags to PF_EO_HANDLED_EVENT when it consumes the event.
  void click(EffectCall& call);
  void drag(EffectCall& call);
  void endDrag(EffectCall& call);
  void draw(EffectCall& call);

 private:
  PanelKind kind_;
  Tool currentTool_ = Tool::RotateOrAim;
  int32_t dragState_ = 0;  // 0 idle, 2 dragging in the preview
};

// Makes a panel from the shell's allocator (raises 1024 when memory runs out)
// and destroys one made that way; null is ignored.
ControlsPanel* createControlsPanel(PanelKind kind);
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
