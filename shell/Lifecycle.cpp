#include "shell/Lifecycle.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/q3d/QD3D.h"
#include "scene/SharedSceneBlock.h"
#include "shell/Plugin.h"
#include "shell/Version.h"

namespace vask {
namespace {

// Whether this library holds one of QuickDraw 3D's initialisation counts.
// Each library takes its own, so that one plug-in's global setdown cannot shut
// QuickDraw 3D down under the others that share it.
bool gHoldsQ3 = false;

// The handles whose live records this library made and has not destroyed.
// A live record holds pointers and references, and bytes alone cannot tell
// one from a saved record that imitates it (flag 0 at the live size): a
// project file could then choose what this process reads and frees. So a
// record is live only if its handle is listed here. A few per instance of
// the effect at most, so a linear scan is fine.
std::vector<PF_Handle>& madeHere() {
  static std::vector<PF_Handle> handles;
  return handles;
}

bool isMadeHere(PF_Handle h) {
  const auto& made = madeHere();
  return std::find(made.begin(), made.end(), h) != made.end();
}

void forget(PF_Handle h) {
  auto& made = madeHere();
  made.erase(std::remove(made.begin(), made.end(), h), made.end());
}

enum class RecordState { Live, Flat, Unusable };

// What a sequence handle holds. Flat records come from project files, so the
// size is checked before the flag is read; a live record must have the live
// size and have been made by this library.
RecordState stateOf(PF_Handle h, const void* record, uint64_t bytes) {
  if (!record || bytes < sizeof(int32_t)) return RecordState::Unusable;
  int32_t flag;
  std::memcpy(&flag, record, sizeof flag);
  if (flag == kFlatRecord) return RecordState::Flat;
  if (flag == kLiveRecord && bytes == thisPlugin().liveRecordSize && isMadeHere(h))
    return RecordState::Live;
  return RecordState::Unusable;
}

// A new handle holding an initialised live record, unlocked and listed.
PF_Handle newLiveRecord(EffectCall& call) {
  const PluginDefinition& plugin = thisPlugin();
  madeHere().reserve(madeHere().size() + 1);  // the one step that can fail comes first
  PF_Handle h = call.newHandle(plugin.liveRecordSize);
  call.lockHandle(h);
  try {
    plugin.initLiveRecord(call, *h);
  } catch (...) {
    // What the initialisation made before it failed goes with the handle.
    plugin.destroyLiveRecord(call, *h);
    call.unlockHandle(h);
    call.disposeHandle(h);
    throw;
  }
  call.unlockHandle(h);
  madeHere().push_back(h);
  return h;
}

// Destroys a live record of this library (its handle locked) and unlists it.
void destroyLive(EffectCall& call, PF_Handle h) {
  thisPlugin().destroyLiveRecord(call, *h);
  forget(h);
}

// The common routine of sequence setup and re-setup, on out_data's handle.
void setupSequence(EffectCall& call) {
  const PluginDefinition& plugin = thisPlugin();
  PF_OutData* out = call.outData();
  PF_Handle old = out->sequence_data;
  if (!old) {
    out->sequence_data = newLiveRecord(call);
    return;
  }
  const uint64_t bytes = call.handleSize(old);
  call.lockHandle(old);
  const RecordState state = stateOf(old, *old, bytes);
  if (state == RecordState::Live) {
    call.unlockHandle(old);
    return;
  }
  PF_Handle fresh = nullptr;
  try {
    fresh = newLiveRecord(call);
    if (state == RecordState::Flat) {
      call.lockHandle(fresh);
      try {
        plugin.unflatten(call, *fresh, *old, bytes);
      } catch (...) {
        call.unlockHandle(fresh);
        throw;
      }
      call.unlockHandle(fresh);
    }
    // An unusable handle (too short, unknown flag) is replaced by a fresh
    // record: the parameters still hold everything the user set.
  } catch (...) {
    call.unlockHandle(old);
    if (fresh) {
      call.lockHandle(fresh);
      destroyLive(call, fresh);
      call.unlockHandle(fresh);
      call.disposeHandle(fresh);
    }
    throw;
  }
  call.unlockHandle(old);
  if (old == call.inData()->sequence_data) call.dropSequenceLock();
  call.disposeHandle(old);
  if (old == call.inData()->sequence_data) call.inData()->sequence_data = nullptr;
  out->sequence_data = fresh;
}

}  // namespace

void* liveSequence(EffectCall& call) {
  void* record = call.sequence();
  if (!record) return nullptr;
  PF_Handle h = call.inData()->sequence_data;
  return stateOf(h, record, call.handleSize(h)) == RecordState::Live ? record : nullptr;
}

SharedSceneBlock& sceneBlockOf(EffectCall& call) {
  auto* global = call.globalAs<GlobalRecord>();
  if (!global || !global->sceneBlock) raise(PF_Err_INVALID_CALLBACK);
  return *global->sceneBlock;
}

void globalSetup(EffectCall& call) {
  const PluginDefinition& plugin = thisPlugin();
  PF_OutData* out = call.outData();
  const VersionInfo version = readVersion();
  out->my_version = versionWord(version);
  out->out_flags = PF_OutFlag_KEEP_RESOURCE_OPEN;

  const bool initialisedHere = !gHoldsQ3;
  if (initialisedHere) {
    if (Q3Initialize() != kQ3Success) raise(msg::kQ3InitFailed);
    gHoldsQ3 = true;
  }
  try {
    TQ3Uns32 major = 0, minor = 0;
    if (Q3GetVersion(&major, &minor) != kQ3Success || major == 0 || (major == 1 && minor < 5))
      raise(msg::kQ3VersionTooOld);

    out->out_flags |= PF_OutFlag_CUSTOM_UI;

    if (!out->global_data) {
      PF_Handle h = call.newHandle(plugin.globalRecordSize);
      call.lockHandle(h);
      try {
        static_cast<GlobalRecord*>(*h)->sceneBlock = openSharedScene();
      } catch (...) {
        // Without its block the plug-in keeps no global data.
        call.unlockHandle(h);
        call.disposeHandle(h);
        throw;
      }
      call.unlockHandle(h);
      out->global_data = h;
    }
  } catch (...) {
    // A failed global setup is never followed by a setdown: give the count
    // back now, or the scene library would stay up after every user is gone.
    if (initialisedHere) {
      Q3Exit();
      gHoldsQ3 = false;
    }
    throw;
  }
}

void globalSetdown(EffectCall& call) {
  const PluginDefinition& plugin = thisPlugin();
  if (gHoldsQ3) {
    Q3Exit();
    gHoldsQ3 = false;
  }
  PF_InData* in = call.inData();
  PF_Handle h = in->global_data;
  if (h) {
    call.lockHandle(h);
    if (plugin.globalSetdown) plugin.globalSetdown(call, *h);
    call.unlockHandle(h);
    call.dropGlobalLock();
    call.disposeHandle(h);
  }
  call.outData()->global_data = nullptr;
  in->global_data = nullptr;
}

void sequenceSetup(EffectCall& call) { setupSequence(call); }

void sequenceResetup(EffectCall& call) {
  call.outData()->sequence_data = call.inData()->sequence_data;
  setupSequence(call);
}

void sequenceFlatten(EffectCall& call) {
  const PluginDefinition& plugin = thisPlugin();
  PF_InData* in = call.inData();
  PF_OutData* out = call.outData();
  out->sequence_data = in->sequence_data;
  PF_Handle old = out->sequence_data;
  if (!old) {
    out->flat_sdata_size = 0;
    return;
  }
  const uint64_t bytes = call.handleSize(old);
  call.lockHandle(old);
  const RecordState state = stateOf(old, *old, bytes);
  if (state != RecordState::Live) {
    // Already flat: report what is held. An unusable record is passed on as
    // it is; the next re-setup replaces it.
    const uint64_t size = state == RecordState::Flat ? plugin.heldFlatSize(*old, bytes) : bytes;
    call.unlockHandle(old);
    out->flat_sdata_size = static_cast<int32_t>(size);
    return;
  }
  PF_Handle flat = nullptr;
  uint64_t size = 0;
  try {
    size = plugin.flatSize(*old);
    flat = call.newHandle(size);
  } catch (...) {
    call.unlockHandle(old);
    throw;
  }
  call.lockHandle(flat);
  std::memcpy(*flat, &kFlatRecord, sizeof kFlatRecord);
  try {
    plugin.fillFlat(call, *old, *flat);
  } catch (...) {
    // fillFlat changes the live record only once nothing can fail any more,
    // so the live record is still whole here.
    call.unlockHandle(flat);
    call.disposeHandle(flat);
    call.unlockHandle(old);
    throw;
  }
  destroyLive(call, old);
  call.unlockHandle(flat);
  call.unlockHandle(old);
  if (old == in->sequence_data) {
    call.dropSequenceLock();
    in->sequence_data = nullptr;
  }
  call.disposeHandle(old);
  out->sequence_data = flat;
  out->flat_sdata_size = static_cast<int32_t>(size);
}

void sequenceSetdown(EffectCall& call) {
  PF_InData* in = call.inData();
  PF_Handle h = in->sequence_data;
  if (h) {
    const uint64_t bytes = call.handleSize(h);
    call.lockHandle(h);
    if (stateOf(h, *h, bytes) == RecordState::Live) destroyLive(call, h);
    call.unlockHandle(h);
    call.dropSequenceLock();
    call.disposeHandle(h);
  }
  call.outData()->sequence_data = nullptr;
  in->sequence_data = nullptr;
}

}  // namespace vask
