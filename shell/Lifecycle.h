// Global and sequence lifecycle: the handlers of the host's setup, setdown and
// flatten commands. Each runs inside `main` with the records locked and raises
// ErrData on failure.
#pragma once

#include "shell/EffectCall.h"

namespace vask {

struct SharedSceneBlock;

// The first field of every plug-in's global data record.
struct GlobalRecord {
  SharedSceneBlock* sceneBlock;
};

void globalSetup(EffectCall& call);
void globalSetdown(EffectCall& call);
void sequenceSetup(EffectCall& call);
void sequenceResetup(EffectCall& call);
void sequenceFlatten(EffectCall& call);
void sequenceSetdown(EffectCall& call);

// The call's sequence record when it is a live one of this plug-in (right
// size, flag 0), else null: events and frame commands may meet a flat record
// or none at all.
void* liveSequence(EffectCall& call);

// The scene block of the plug-in's global record; raises 515 (invalid
// callback order) when frame commands arrive before global setup.
SharedSceneBlock& sceneBlockOf(EffectCall& call);

}  // namespace vask
