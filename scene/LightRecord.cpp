#include "scene/LightRecord.h"

#include "manipulator/ControlsPanel.h"
#include "shell/Lifecycle.h"
#include "shell/Plugin.h"

namespace vask {
namespace {
void release(TQ3Object& ref) {
  if (ref) Q3Object_Dispose(ref);
  ref = nullptr;
}
}  // namespace

void initLightRecord(LightSequenceRecord& r, PanelKind kind) {
  r.flattened = kLiveRecord;
  r.panel = createControlsPanel(kind);
}

void destroyLightRecord(LightSequenceRecord& r) {
  destroyControlsPanel(r.panel);
  r.panel = nullptr;
  release(r.markerAttributes);
  release(r.markerTransform);
  release(r.markerGroup);
  release(r.light);
}

LightSequenceRecord* liveLightRecord(EffectCall& call) {
  return static_cast<LightSequenceRecord*>(liveSequence(call));
}

}  // namespace vask
