// The shared scene block: where every plug-in of the family in this process
// puts its share of the frame's 3D scene.
//
// A named mapping "vask comm data" of 1024 bytes, one per process. It holds two
// QuickDraw 3D group references: the display group (geometry and light
// markers) and the light group (lights), null when absent. The block owns one
// reference to each group; the members belong to the instances that added
// them. Used one command at a time, without locks.
#pragma once

#include <cstddef>

#include "platform/q3d/QD3D.h"

namespace vask {

inline constexpr const char* kSharedSceneName = "vask comm data";
inline constexpr std::size_t kSharedSceneSize = 1024;

struct SharedSceneBlock {
  TQ3GroupObject displayGroup;  // offset 0
  TQ3GroupObject lightGroup;    // offset 8
  unsigned char unused[kSharedSceneSize - 2 * sizeof(TQ3GroupObject)];  // never touched
};
static_assert(sizeof(SharedSceneBlock) == kSharedSceneSize);
static_assert(offsetof(SharedSceneBlock, displayGroup) == 0);
static_assert(offsetof(SharedSceneBlock, lightGroup) == 8);

// Opens the process's block, creating it on first use (both references 0).
// An existing block is taken as found. Raises 1024 when it cannot be made.
// The block lives until the process ends.
SharedSceneBlock* openSharedScene();

// Creates whichever group is missing: a display group, then a light group.
// Raises the QuickDraw 3D error when a group cannot be made; a group made
// before the failure stays.
void ensureGroups(SharedSceneBlock& block);

// Disposes both groups and zeroes both references.
void clearGroups(SharedSceneBlock& block);

}  // namespace vask
