// The Point Light's share of the frame's scene.
#pragma once

#include "scene/SharedSceneBlock.h"
#include "shell/EffectCall.h"

namespace vask {

// Frame setup's contribution: fills the point light's data from the
// parameters at the current time, creates the light on first use or updates
// it, adds it to the light group and, with "Visible" on, adds its sphere
// marker to the display group. Raises the scene library's error on failure.
void publishPointLight(EffectCall& call, SharedSceneBlock& block);

}  // namespace vask
