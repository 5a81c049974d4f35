// Where the pictures of layer parameters come from.
//
// A layer parameter's value names a layer by id (0 is "none"). When a plug-in
// checks such a parameter out, the host asks its LayerSource for that layer's
// world at the requested time. Today tests register fixed worlds per id; a
// composition will later render the named layer at that time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "host/World.h"

namespace vask::host {

class LayerSource {
 public:
  virtual ~LayerSource() = default;
  // The picture of layer `layerId` at `time` (in units of 1/timeScale s), or
  // null when there is no such layer. Id 0 never names a layer. The host holds
  // the returned world until the plug-in checks the parameter in.
  virtual std::shared_ptr<World> layerAt(int32_t layerId, int32_t time, int32_t timeStep,
                                         uint32_t timeScale) = 0;
};

// Fixed worlds registered per layer id; the same picture at every time.
class LayerTable : public LayerSource {
 public:
  // Registers (or replaces) layer `layerId` (> 0; throws HostError otherwise).
  void set(int32_t layerId, std::shared_ptr<World> world);
  void set(int32_t layerId, World world) {
    set(layerId, std::make_shared<World>(std::move(world)));
  }
  void erase(int32_t layerId) { layers_.erase(layerId); }

  std::shared_ptr<World> layerAt(int32_t layerId, int32_t time, int32_t timeStep,
                                 uint32_t timeScale) override;

 private:
  std::map<int32_t, std::shared_ptr<World>> layers_;
};

}  // namespace vask::host
