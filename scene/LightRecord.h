// The sequence record of the two light effects (same layout in both): the
// light, its visible marker and the marker's placement and colour, and the
// controls panel.
#pragma once

#include <cstdint>

#include "platform/q3d/QD3D.h"
#include "shell/EffectCall.h"

namespace vask {

class ControlsPanel;
enum class PanelKind;

struct LightSequenceRecord {
  int32_t flattened;
  TQ3LightObject light;
  TQ3GroupObject markerGroup;
  TQ3TransformObject markerTransform;
  TQ3AttributeSet markerAttributes;
  ControlsPanel* panel;
};

// On a zero-filled record: a new controls panel, everything else none.
void initLightRecord(LightSequenceRecord& r, PanelKind kind);
// Releases the panel, then the marker's attributes, transform and group, then
// the light.
void destroyLightRecord(LightSequenceRecord& r);

// The live light record of the call, or null (no record, or a flat one).
LightSequenceRecord* liveLightRecord(EffectCall& call);

}  // namespace vask
