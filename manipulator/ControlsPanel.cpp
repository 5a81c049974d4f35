#include "manipulator/ControlsPanel.h"

#include "shell/Memory.h"

namespace vask {

// The palette, preview and dragging come with the manipulator itself; until
// then events pass through unconsumed, so the host keeps handling them.
void ControlsPanel::click(EffectCall&) {}
void ControlsPanel::drag(EffectCall&) {}
void ControlsPanel::endDrag(EffectCall&) { dragState_ = 0; }
void ControlsPanel::draw(EffectCall&) {}

ControlsPanel* createControlsPanel(PanelKind kind) { return create<ControlsPanel>(kind); }

void destroyControlsPanel(ControlsPanel* panel) { destroy(panel); }

}  // namespace vask
