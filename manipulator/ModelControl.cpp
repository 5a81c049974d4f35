#include "manipulator/ModelControl.h"

#include "manipulator/ClipTo.h"
#include "shell/Messages.h"

namespace vask {

ModelControl::ModelControl() {
  button_.label = messageString(msg::kImportButton).c_str();
  button_.rect = {2, 2, 50, 15};
  pathRect_ = {2, 19, 98, 15};
}

void ModelControl::draw(os::Canvas* canvas, os::Rect control, const char* path) {
  button_.rect = {control.x + 2, control.y + 2, 50, 15};
  pathRect_ = {control.x + 2, control.y + 19, control.width - 2, 15};
  if (!canvas) return;
  const ClipTo clip(canvas, control);
  canvas->fillRect(control, os::kWindowColor);
  button_.draw(canvas);
  if (path && *path) {
    canvas->fillRect(pathRect_, os::kWindowColor);
    canvas->drawText(path, {pathRect_.x, pathRect_.y + 12}, kTextSize, os::kBlack);
  }
}

}  // namespace vask
