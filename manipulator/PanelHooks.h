// What a plug-in lends its controls panel: the work behind the File Object's
// Model control, and the step that keeps a plug-in's own scene object in
// step with the placement parameters the manipulator writes.
#pragma once

#include "shell/EffectCall.h"

namespace vask {

struct PanelHooks {
  // The Model control's Import button went down. Shows its own failures;
  // never raises. [sequence live, event call]
  void (*importModel)(EffectCall&) = nullptr;
  // The path the Model control shows; null or empty for none. [sequence live]
  const char* (*modelPath)(EffectCall&) = nullptr;
  // The placement parameters may have changed: bring what the plug-in
  // publishes in step with them. [sequence live]
  void (*placementChanged)(EffectCall&) = nullptr;
};

}  // namespace vask
