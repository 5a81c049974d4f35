#include "host/LayerSource.h"

#include <string>

#include "host/HostError.h"

namespace vask::host {

void LayerTable::set(int32_t layerId, std::shared_ptr<World> world) {
  if (layerId <= 0) throw HostError("layer id " + std::to_string(layerId) + " is not positive");
  layers_[layerId] = std::move(world);
}

std::shared_ptr<World> LayerTable::layerAt(int32_t layerId, int32_t, int32_t, uint32_t) {
  auto it = layers_.find(layerId);
  return it == layers_.end() ? nullptr : it->second;
}

}  // namespace vask::host
