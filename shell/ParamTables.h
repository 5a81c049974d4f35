// The parameter tables of the four effects, and the indices through which
// every other part reads the user's settings. Index 0 is the host's input
// layer in every effect.
#pragma once

#include <cstdint>

#include "shell/EffectCall.h"

namespace vask {

namespace meshfile {
enum Param : int32_t {
  kInput = 0, kModel, kManipulator, kLeftRight, kUpDown, kVask,
  kXTranslation, kYTranslation, kZTranslation, kXScale, kYScale, kZScale,
  kParamCount
};
}  // namespace meshfile

namespace shapemesh {
enum Param : int32_t {
  kInput = 0, kManipulator, kLeftRight, kUpDown, kVask,
  kXTranslation, kYTranslation, kZTranslation, kXScale, kYScale, kZScale,
  kHeightField, kHeightFrom, kInvert, kTexture, kColor, kSmooth,
  kParamCount
};
}  // namespace shapemesh

namespace beamlamp {
enum Param : int32_t {
  kInput = 0, kManipulator, kLeftRight, kUpDown, kXPosition, kYPosition, kZPosition,
  kAttenuation, kFallOff, kHotAngle, kOuterAngle, kIntensity, kColor, kVisible,
  kParamCount
};
}  // namespace beamlamp

namespace glowlamp {
enum Param : int32_t {
  kInput = 0, kManipulator, kXPosition, kYPosition, kZPosition, kAttenuation, kIntensity,
  kColor, kVisible,
  kParamCount
};
}  // namespace glowlamp

// Each declares parameters 1 … n-1 in index order and returns n.
int32_t declareMeshfileParams(EffectCall& call);
int32_t declareShapemeshParams(EffectCall& call);
int32_t declareBeamlampParams(EffectCall& call);
int32_t declareGlowlampParams(EffectCall& call);

}  // namespace vask
