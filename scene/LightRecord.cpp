#include "scene/LightRecord.h"

#include "manipulator/ControlsPanel.h"
#include "scene/Q3Check.h"
#include "shell/Lifecycle.h"
#include "shell/Plugin.h"

namespace vask {

void initLightRecord(LightSequenceRecord& r, PanelKind kind) {
  r.flattened = kLiveRecord;
  r.panel = createControlsPanel(kind);
}

void destroyLightRecord(LightSequenceRecord& r) {
  destroyControlsPanel(r.panel);
  r.panel = nullptr;
  releaseObject(r.markerAttributes);
  releaseObject(r.markerTransform);
  releaseObject(r.markerGroup);
  releaseObject(r.light);
}

LightSequenceRecord* liveLightRecord(EffectCall& call) {
  return static_cast<LightSequenceRecord*>(liveSequence(call));
}

}  // namespace vask
