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

// Message numbers of the interface texts the tables use.
namespace text {
inline constexpr int32_t kVask = 2050;
inline constexpr int32_t kXPosition = 2063, kYPosition = 2064, kZPosition = 2065;
inline constexpr int32_t kIntensity = 2066, kColor = 2067, kHotAngle = 2068, kOuterAngle = 2069;
inline constexpr int32_t kAttenuation = 2070, kAttenuationChoices = 2071;
inline constexpr int32_t kFallOff = 2072, kFallOffChoices = 2073;
inline constexpr int32_t kXTranslation = 2077, kYTranslation = 2078, kZTranslation = 2079;
inline constexpr int32_t kXScale = 2080, kYScale = 2081, kZScale = 2082;
inline constexpr int32_t kSmooth = 2087, kTexture = 2088, kHeightField = 2089;
inline constexpr int32_t kHeightFrom = 2091, kHeightFromChoices = 2092, kInvert = 2093;
inline constexpr int32_t kVisible = 2097, kModel = 2100, kManipulator = 2103;
inline constexpr int32_t kLeftRight = 2106, kUpDown = 2107;
inline constexpr int32_t kInformationTitle = 2109, kAlertTitle = 2110, kImport = 2120;
}  // namespace text

}  // namespace vask
