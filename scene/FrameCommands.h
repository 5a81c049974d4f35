// The three frame commands: each instance adds its contribution to the shared
// scene at frame setup, passes its layer through at render, and any instance's
// frame setdown clears the shared groups.
#pragma once

#include "shell/EffectCall.h"

namespace vask {

// Ensures the shared groups, adds this instance's contribution and (except
// in the Spot Light) sets PF_OutFlag_NOP_RENDER.
void frameSetup(EffectCall& call);

// Copies the input layer (parameter 0) whole onto the output world, unless
// the plug-in renders for itself.
void render(EffectCall& call);

// Disposes both shared groups (effects that only read the scene do not).
void frameSetdown(EffectCall& call);

}  // namespace vask
