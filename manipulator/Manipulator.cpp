#include "manipulator/Manipulator.h"

#include <algorithm>

#include "manipulator/ClipTo.h"
#include "manipulator/DragMath.h"
#include "manipulator/PreviewScene.h"
#include "scene/builders/Builders.h"

namespace vask {
namespace {

// The palette keeps the event's canvas only while the event is handled: a
// host's drawing context is not valid past its event.
class PaletteCanvas {
 public:
  PaletteCanvas(ToolPalette& palette, os::Canvas* canvas) : palette_(palette) {
    palette_.setCanvas(canvas);
  }
  ~PaletteCanvas() { palette_.setCanvas(nullptr); }
  PaletteCanvas(const PaletteCanvas&) = delete;
  PaletteCanvas& operator=(const PaletteCanvas&) = delete;

 private:
  ToolPalette& palette_;
};

}  // namespace

Manipulator::Manipulator(PanelKind kind, os::Module* module) : tools_(toolSet(kind)) {
  std::array<ToolPalette::Button, 8> buttons;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const ToolButton& layout = tools_.buttons[i];
    buttons[i].latching = layout.latching;
    buttons[i].selected = layout.selected;
    buttons[i].line = static_cast<int32_t>(i / 4);
    buttons[i].image = static_cast<int32_t>(i);
    buttons[i].command = layout.command;
    buttons[i].radioGroup = layout.radioGroup;
  }
  palette_.setButtons(buttons);
  palette_.moveTo({control_.x, control_.y});
  // Without artwork the buttons are drawn blank; the tools still work.
  palette_.loadBitmap(module, tools_.bitmapId);
  buildPreviewScene(kind, preview_, previewRect(), gizmo_);
}

os::Rect Manipulator::previewRect() const {
  const os::Rect p = palette_.rect();
  return {control_.x + p.width, control_.y, control_.width - p.width - kStripWidth, p.height};
}

int32_t Manipulator::read(EffectCall& call, int32_t index) const {
  const PF_ParamDef& def = call.param(index);
  return def.param_type == PF_Param_ANGLE ? def.u.ad.value : def.u.fd.value;
}

void Manipulator::write(EffectCall& call, int32_t index, int32_t value) const {
  PF_ParamDef& def = call.param(index);
  (def.param_type == PF_Param_ANGLE ? def.u.ad.value : def.u.fd.value) = value;
  def.uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
}

PlacementValues Manipulator::placement(EffectCall& call) const {
  const PlacementParams& p = tools_.params;
  PlacementValues v;
  auto take = [&](int32_t index, int32_t& out) {
    if (index >= 0) out = read(call, index);
  };
  take(p.leftRight, v.leftRight);
  take(p.upDown, v.upDown);
  take(p.roll, v.roll);
  take(p.position[0], v.xTranslation);
  take(p.position[1], v.yTranslation);
  take(p.position[2], v.zTranslation);
  take(p.scale[0], v.xScale);
  take(p.scale[1], v.yScale);
  take(p.scale[2], v.zScale);
  return v;
}

Vec3 Manipulator::position(EffectCall& call) const {
  const PlacementValues v = placement(call);
  return {v.xTranslation / 65536.0f, v.yTranslation / 65536.0f, v.zTranslation / 65536.0f};
}

void Manipulator::resetPlacement(EffectCall& call) const {
  std::array<int32_t, 9> indices{};
  const int32_t n = tools_.resetParams(indices);
  for (int32_t i = 0; i < n; ++i) {
    const int32_t index = indices[static_cast<std::size_t>(i)];
    const PF_ParamDef& def = call.param(index);
    write(call, index, def.param_type == PF_Param_ANGLE ? def.u.ad.dephault : def.u.fd.dephault);
  }
}

void Manipulator::renderPreview(EffectCall& call, os::Canvas* canvas) {
  const os::Rect rect = previewRect();
  if (!canvas || rect.empty()) return;
  preview_.setRect(rect);
  setTransformMatrix(gizmo_, gizmoMatrix(tools_.kind, placement(call)));
  const ClipTo clip(canvas, control_);
  preview_.renderTo(*canvas);
}

void Manipulator::draw(EffectCall& call, os::Canvas* canvas, os::Rect control,
                       const PanelHooks& hooks) {
  control_ = control;
  if (hooks.placementChanged) hooks.placementChanged(call);
  palette_.moveTo({control_.x, control_.y});
  renderPreview(call, canvas);
  if (!canvas) return;
  const ClipTo clip(canvas, control_);
  const PaletteCanvas kept(palette_, canvas);
  palette_.drawAll();
  const os::Rect preview = previewRect();
  const int stripX = preview.x + std::max(preview.width, 0);
  canvas->fillRect({stripX, preview.y, control_.x + control_.width - stripX, preview.height},
                   os::kWindowColor);
}

std::optional<Vec3> Manipulator::dragInPlane(os::Point from, os::Point to) const {
  return planeDrag(preview_.cameraToWorld(), preview_.pixelCenter(), preview_.focalLength(),
                   dragPlane_, from, to);
}

void Manipulator::press(EffectCall& call, os::Canvas* canvas, os::Point p, const PanelHooks& hooks) {
  const ClipTo clip(canvas, control_);
  const PaletteCanvas kept(palette_, canvas);
  const ToolPalette::Hit hit = palette_.press(p);
  if (hit.hit) {
    switch (tools_.action(hit.command)) {
      case ToolAction::ResetCamera:
        resetPreviewCamera(preview_);
        renderPreview(call, canvas);
        break;
      case ToolAction::Reset:
        resetPlacement(call);
        if (hooks.placementChanged) hooks.placementChanged(call);
        renderPreview(call, canvas);
        break;
      default:
        break;  // tools become current on release
    }
    return;
  }
  if (!control_.contains(p)) {
    dragState_ = kIdle;
    return;
  }
  dragState_ = kDragging;
  switch (tools_.action(currentTool_)) {
    case ToolAction::Orbit: {
      const os::Rect r = preview_.pixelRect();
      trackball_.reset();
      trackball_.place(preview_.pixelCenter(),
                       static_cast<float>(std::min(r.width, r.height)) * 0.5f,
                       preview_.cameraToWorld());
      trackball_.begin(p);
      trackball_.update(p);
      savedWorldToCamera_ = preview_.worldToCamera();
      savedVector_ = lookAtPoint(preview_.cameraToWorld(), preview_.lookAtDistance());
      break;
    }
    case ToolAction::Pan:
      savedWorldToCamera_ = preview_.worldToCamera();
      dragPlane_ = planeFacingCamera(preview_.cameraToWorld(),
                                     lookAtPoint(preview_.cameraToWorld(), preview_.lookAtDistance()));
      dragStart_ = p;
      break;
    case ToolAction::Move:
      savedVector_ = position(call);
      dragPlane_ = planeFacingCamera(preview_.cameraToWorld(), savedVector_);
      dragStart_ = p;
      break;
    default:
      dragStart_ = p;
      break;
  }
}

void Manipulator::drag(EffectCall& call, os::Canvas* canvas, os::Point q, int32_t modifiers,
                       const PanelHooks& hooks) {
  const ClipTo clip(canvas, control_);
  const PaletteCanvas kept(palette_, canvas);
  if (palette_.track(q)) return;
  if (dragState_ != kDragging) return;
  const PlacementParams& params = tools_.params;
  switch (tools_.action(currentTool_)) {
    case ToolAction::Orbit:
      trackball_.update(q);
      preview_.setCameraToWorld(orbitCamera(savedWorldToCamera_, savedVector_, trackball_.rotation()));
      break;
    case ToolAction::Dolly: {
      const float delta = static_cast<float>(q.y - dragStart_.y) * kDollyPerPixel;
      preview_.setCameraToWorld(dollyCamera(preview_.cameraToWorld(), delta));
      preview_.setLookAtDistance(preview_.lookAtDistance() + delta);
      dragStart_ = q;
      break;
    }
    case ToolAction::Pan:
      if (const auto moved = dragInPlane(dragStart_, q)) {
        preview_.setCameraToWorld(translate(rigidInverse(savedWorldToCamera_), negate(*moved)));
      }
      break;
    case ToolAction::Rotate:
      if ((modifiers & PF_Mod_SHIFT_KEY) && params.roll >= 0) {
        const os::Point centre{control_.x + control_.width / 2, control_.y + control_.height / 2};
        write(call, params.roll, rollStep(read(call, params.roll), centre, dragStart_, q));
      } else {
        const AngleValues now{read(call, params.leftRight), read(call, params.upDown)};
        const AngleValues next = rotateStep(now, dragStart_, q);
        write(call, params.leftRight, next.leftRight);
        write(call, params.upDown, next.upDown);
      }
      dragStart_ = q;
      break;
    case ToolAction::Move:
      if (const auto moved = dragInPlane(dragStart_, q)) {
        const Vec3 at = savedVector_ + *moved;
        write(call, params.position[0], toFixed(at.x));
        write(call, params.position[1], toFixed(at.y));
        write(call, params.position[2], toFixed(at.z));
        if (hooks.placementChanged) hooks.placementChanged(call);
      }
      break;
    case ToolAction::Scale:
      for (int32_t index : params.scale) write(call, index, scaleStep(read(call, index), dragStart_, q));
      dragStart_ = q;
      if (hooks.placementChanged) hooks.placementChanged(call);
      break;
    default:
      return;  // a tool that drags nothing renders nothing
  }
  renderPreview(call, canvas);
}

void Manipulator::endDrag(EffectCall&, os::Canvas* canvas, os::Point p) {
  const ClipTo clip(canvas, control_);
  const PaletteCanvas kept(palette_, canvas);
  const ToolPalette::Hit hit = palette_.release(p);
  if (hit.hit && tools_.isTool(hit.command)) {
    currentTool_ = hit.command;
    palette_.select(hit.command, true);
  } else {
    dragState_ = kIdle;
  }
}

}  // namespace vask
