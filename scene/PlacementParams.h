// The placement parameters of an object effect as PlacementValues. Both
// object effects declare them in one run, in this order, from "Left/Right":
// Left/Right, Up/Down, Vask, X/Y/Z Translation, X/Y/Z Scale.
#pragma once

#include <cstdint>

#include "scene/math/Placement.h"
#include "shell/EffectCall.h"

namespace vask {

inline PlacementValues placementParams(EffectCall& call, int32_t leftRight) {
  PlacementValues v;
  v.leftRight = call.param(leftRight).u.ad.value;
  v.upDown = call.param(leftRight + 1).u.fd.value;
  v.roll = call.param(leftRight + 2).u.ad.value;
  v.xTranslation = call.param(leftRight + 3).u.fd.value;
  v.yTranslation = call.param(leftRight + 4).u.fd.value;
  v.zTranslation = call.param(leftRight + 5).u.fd.value;
  v.xScale = call.param(leftRight + 6).u.fd.value;
  v.yScale = call.param(leftRight + 7).u.fd.value;
  v.zScale = call.param(leftRight + 8).u.fd.value;
  return v;
}

}  // namespace vask
