#include "plugins/shapemesh/LayerImage.h"

#include "shell/ErrData.h"

namespace vask {

LayerImage readLayer(const PF_LayerDef& world) {
  if (world.width < 0 || world.height < 0) raise(PF_Err_BAD_CALLBACK_PARAM);
  LayerImage image;
  image.width = world.width;
  image.height = world.height;
  if (world.data == nullptr || world.width == 0 || world.height == 0) return image;
  if (static_cast<int64_t>(world.rowbytes) < static_cast<int64_t>(world.width) * 4)
    raise(PF_Err_BAD_CALLBACK_PARAM);
  image.data = reinterpret_cast<const unsigned char*>(world.data);
  image.rowBytes = world.rowbytes;
  return image;
}

CheckedOutLayer::CheckedOutLayer(EffectCall& call, int32_t index) : call_(call) {
  call_.checkoutParam(index, def_);
  out_ = true;
}

CheckedOutLayer::~CheckedOutLayer() {
  if (!out_) return;
  try {
    call_.checkinParam(def_);
  } catch (const ErrData&) {
    // Already failing: the first error is the one the host is told.
  }
}

void CheckedOutLayer::checkin() {
  if (!out_) return;
  out_ = false;
  call_.checkinParam(def_);
}

}  // namespace vask
