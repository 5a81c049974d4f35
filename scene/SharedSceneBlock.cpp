#include "scene/SharedSceneBlock.h"

#include "platform/os/NamedMapping.h"
#include "platform/q3d/QD3DGroup.h"
#include "scene/Q3Check.h"
#include "shell/ErrData.h"

namespace vask {

SharedSceneBlock* openSharedScene() {
  const os::MappingResult m = os::openNamedMapping(kSharedSceneName, kSharedSceneSize);
  if (m.error != 0 || !m.address) raise(msg::kOutOfMemory);
  auto* block = static_cast<SharedSceneBlock*>(m.address);
  if (!m.alreadyExisted) {
    block->displayGroup = nullptr;
    block->lightGroup = nullptr;
  }
  return block;
}

void ensureGroups(SharedSceneBlock& block) {
  if (!block.displayGroup) block.displayGroup = q3Check(Q3DisplayGroup_New());
  if (!block.lightGroup) block.lightGroup = q3Check(Q3LightGroup_New());
}

void clearGroups(SharedSceneBlock& block) {
  if (block.displayGroup) {
    Q3Object_Dispose(block.displayGroup);
    block.displayGroup = nullptr;
  }
  if (block.lightGroup) {
    Q3Object_Dispose(block.lightGroup);
    block.lightGroup = nullptr;
  }
}

}  // namespace vask
