// The File Object's records: the live model sequence record, its flat form
// (what a project stores), the model cache and the global record holding it.
#pragma once

#include <cstdint>

#include "platform/q3d/QD3D.h"
#include "shell/GrowableArray.h"
#include "shell/Lifecycle.h"
#include "shell/String.h"

namespace vask {

class ControlsPanel;

struct ModelSequenceRecord {
  int32_t flattened;
  int32_t stampSeconds;         // time() when the sequence was first set up
  uint32_t stampTicks;          // millisecond tick count at the same moment
  TQ3GroupObject model;         // the model group, or none
  String path;                  // the imported file; empty without a model
  float centre[3];              // model centre in file coordinates
  float modelScale;             // normalising scale
  TQ3TransformObject modelTransform;  // placement, shared with the model group
  ControlsPanel* panel;
};

// A model parked by flatten until the matching re-setup takes it back. The
// cache does not own the references; whoever removes an entry takes them.
struct ModelCacheEntry {
  int32_t stampSeconds;
  int32_t stampTicks;
  TQ3GroupObject model;
  TQ3TransformObject transform;
};

struct ModelGlobalRecord {
  GlobalRecord base;
  GrowableArray<ModelCacheEntry> cache;
};

// The flat model record: little-endian, packed, 32 + N bytes.
namespace flatModel {
inline constexpr uint64_t kHeaderSize = 32;
inline constexpr uint64_t kFlagOffset = 0, kSecondsOffset = 4, kTicksOffset = 8,
                          kPathLengthOffset = 12, kCentreOffset = 16, kScaleOffset = 28;
}  // namespace flatModel

}  // namespace vask
