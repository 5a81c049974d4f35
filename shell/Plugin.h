// What each effect library adds to the shared shell.
//
// The shell (entry point, dispatch, lifecycle, parameter adders) is the same in
// every plug-in; each plug-in defines `thisPlugin()` once, giving its record
// sizes and the operations that differ: its parameter table, its sequence
// record's life, its scene contribution and its custom-control handlers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/os/Resources.h"
#include "shell/EffectCall.h"

namespace vask {

struct SharedSceneBlock;

// How click and drag events reach the handlers. The File Object forwards a
// drag after any click; the other three treat a drag without a consumed click
// as a new click.
enum class EventStyle { ClickThenDrag, ClickOrDrag };

struct PluginDefinition {
  EventStyle eventStyle;
  // Title shown in the About box (two lines).
  const char* aboutTitle;
  // Resources compiled into the library (the version record, bitmaps).
  std::span<const os::ResourceEntry> resources;

  // Global data record: its size, and what global setdown does with it
  // before the handle is freed (may be null).
  std::size_t globalRecordSize;
  void (*globalSetdown)(EffectCall&, void* globalRecord);

  // Parameters 1 … n-1, declared in index order; returns n.
  int32_t (*declareParams)(EffectCall&);

  // The live sequence record: its size; initialise it on a zero-filled block
  // (the flattened flag is already 0); destroy everything it holds. Destroy
  // is also called on a record whose initialisation threw part way: fields
  // the initialisation never reached are still zero.
  std::size_t liveRecordSize;
  void (*initLiveRecord)(EffectCall&, void* live);
  void (*destroyLiveRecord)(EffectCall&, void* live);
  // The flat record: its size for a live record, filling it (may take over
  // parts of the live record, which is destroyed right after), the size to
  // report for a flat record already held (`bytes` is the handle's size), and
  // taking a flat record over into a fresh live one. `flat` and `bytes` come
  // from a project file: they are untrusted.
  uint64_t (*flatSize)(const void* live);
  void (*fillFlat)(EffectCall&, void* live, void* flat);
  uint64_t (*heldFlatSize)(const void* flat, uint64_t bytes);
  void (*unflatten)(EffectCall&, void* live, const void* flat, uint64_t bytes);

  // Adds this instance's contribution to the shared scene at frame setup.
  // Null for an effect that only reads the scene (the Scene Render effect):
  // its frame setup and setdown then leave the shared block alone.
  void (*contribute)(EffectCall&, SharedSceneBlock&);
  // Replaces the pass-through render when set.
  void (*render)(EffectCall&);
  // Whether frame setup tells the host that render changes nothing.
  bool setsNopRender;

  // Custom-control handlers (the host's effect-controls events).
  void (*click)(EffectCall&);
  void (*drag)(EffectCall&);
  void (*endDrag)(EffectCall&);
  void (*draw)(EffectCall&);
};

// Defined once in each plug-in library.
const PluginDefinition& thisPlugin();

// Every sequence record, live or flat, starts with this flag.
inline constexpr int32_t kLiveRecord = 0;
inline constexpr int32_t kFlatRecord = 1;

}  // namespace vask
