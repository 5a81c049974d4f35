// Manipulator: the "Manipulator" custom control of every plug-in — a tool
// palette beside a live preview of the plug-in's object or light — and the
// drags that turn the preview camera or write the placement parameters.
//
// Layout: the palette (two columns of four 26 × 22 buttons, 51 × 85) at the
// control's top-left corner; the preview right of it, as tall as the
// palette and as wide as the control less the palette and a 5-pixel strip.
//
// Events come from the controls panel with the device context of the event
// (null: nothing is drawn, state still changes) and the pointer in window
// pixels. Parameter writes go straight into the host's parameter array with
// the changed-value flag, so that the host records them; each change renders
// the preview again at once. The preview camera, the current tool and the
// palette's selection live only here.
//
// Failures: the preview's scene library failures raise ErrData.
#pragma once

#include <cstdint>

#include "manipulator/PanelHooks.h"
#include "manipulator/ToolPalette.h"
#include "manipulator/ToolSet.h"
#include "manipulator/Trackball.h"
#include "platform/os/Canvas.h"
#include "platform/os/Module.h"
#include "scene/builders/ObjectRef.h"
#include "scene/math/Matrix4x3.h"
#include "scene/math/Placement.h"
#include "scene/math/Ray.h"
#include "scene/preview/PreviewView.h"
#include "shell/EffectCall.h"

namespace vask {

class Manipulator {
 public:
  // The strip between the preview and the control's right edge.
  static constexpr int kStripWidth = 5;

  // Builds the preview and its scene, and the palette with the artwork of
  // `module` (artwork that cannot be read leaves blank buttons). Raises the
  // scene library's error.
  Manipulator(PanelKind kind, os::Module* module);
  Manipulator(const Manipulator&) = delete;
  Manipulator& operator=(const Manipulator&) = delete;

  // Draw event: the control's frame in window pixels.
  void draw(EffectCall& call, os::Canvas* canvas, os::Rect control, const PanelHooks& hooks);
  // Click, drag and end of drag at `p`; `modifiers` are the host's
  // (PF_Mod_SHIFT_KEY turns the rotate tool into a roll).
  void press(EffectCall& call, os::Canvas* canvas, os::Point p, const PanelHooks& hooks);
  void drag(EffectCall& call, os::Canvas* canvas, os::Point p, int32_t modifiers,
            const PanelHooks& hooks);
  void endDrag(EffectCall& call, os::Canvas* canvas, os::Point p);

  int32_t currentTool() const { return currentTool_; }
  bool dragging() const { return dragState_ == kDragging; }
  const PreviewView& preview() const { return preview_; }
  const ToolPalette& palette() const { return palette_; }
  os::Rect control() const { return control_; }
  // The preview's place for the current control rectangle.
  os::Rect previewRect() const;

 private:
  static constexpr int32_t kIdle = 0;
  static constexpr int32_t kDragging = 2;

  // Gizmo, render and copy, clipped to the control; nothing without a
  // canvas or with an empty preview.
  void renderPreview(EffectCall& call, os::Canvas* canvas);
  PlacementValues placement(EffectCall& call) const;
  Vec3 position(EffectCall& call) const;
  // Writes a 16.16 value and marks the parameter changed.
  void write(EffectCall& call, int32_t index, int32_t value) const;
  int32_t read(EffectCall& call, int32_t index) const;
  void resetPlacement(EffectCall& call) const;
  std::optional<Vec3> dragInPlane(os::Point from, os::Point to) const;

  const ToolSet& tools_;
  int32_t currentTool_ = kInitialTool;
  int32_t dragState_ = kIdle;
  PreviewView preview_;
  os::Rect control_{0, 0, 100, 100};
  os::Point dragStart_;
  Vec3 savedVector_;
  ToolPalette palette_;
  Trackball trackball_;
  Matrix4x3 savedWorldToCamera_ = identityMatrix();
  Plane dragPlane_;
  ObjectRef gizmo_;
};

}  // namespace vask
