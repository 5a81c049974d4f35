// Light groups: the shared scene's, made at frame setup, and the preview's
// fixed lighting.
#pragma once

#include "scene/builders/ObjectRef.h"

namespace vask {

// Releases what the slot holds and stores a new, empty light group. Raises
// the QuickDraw 3D error when it cannot be made (the slot is then empty).
void makeLightGroup(ObjectRef& slot);

// The preview's fixed lighting, in a new light group stored in the slot (what
// it held is released first): a white directional headlight of brightness
// 0.8 shining along −Z, casting no shadows, then a white ambient light of
// 0.2. The preview camera looks down −Z and never moves, so the headlight
// always shines from the viewer into the scene. Raises the QuickDraw 3D
// error on any failure; the slot is then empty and nothing made is kept.
void makePreviewLightGroup(ObjectRef& slot);

// Brightness of the preview's two lights.
inline constexpr float kHeadlightBrightness = 0.8f;
inline constexpr float kAmbientBrightness = 0.2f;

}  // namespace vask
