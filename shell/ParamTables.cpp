#include "shell/ParamTables.h"

#include "shell/Messages.h"
#include "shell/Params.h"
#include "shell/String.h"

namespace vask {
namespace {

constexpr int32_t kCollapsed = PF_ParamFlag_START_COLLAPSED;
constexpr int16_t kPrecision = 2;

// Names, labels and choices are message texts, fetched when declared.
struct Text {
  String s;
  explicit Text(int32_t id) : s(messageString(id)) {}
  operator const char*() const { return s.c_str(); }
};

void slider(EffectCall& call, int32_t index, int32_t nameId, double dflt, double sliderMin,
            double sliderMax, double validMin, double validMax) {
  addFixedSlider(call, index, Text(nameId), kCollapsed, fixed(dflt), fixed(dflt), fixed(sliderMin),
                 fixed(sliderMax), fixed(validMin), fixed(validMax), kPrecision, 0);
}

void angle(EffectCall& call, int32_t index, int32_t nameId, double dflt) {
  addAngle(call, index, Text(nameId), kCollapsed, fixed(dflt), fixed(dflt));
}

void checkbox(EffectCall& call, int32_t index, int32_t nameId) {
  Text name(nameId);
  addCheckbox(call, index, name, kCollapsed, name, 0, 0);
}

void popup(EffectCall& call, int32_t index, int32_t nameId, int32_t choicesId, int16_t count) {
  addPopup(call, index, Text(nameId), kCollapsed, Text(choicesId), count, 1, 1);
}

void color(EffectCall& call, int32_t index, PF_Pixel dflt) {
  addColor(call, index, Text(msg::kColor), kCollapsed, dflt, dflt);
}

void manipulator(EffectCall& call, int32_t index) {
  addCustomControl(call, index, Text(msg::kManipulator), PF_ParamFlag_CANNOT_TIME_VARY, 100, 85);
}

// Rotation, translation and scale of the two object effects, from `first`.
void objectPlacement(EffectCall& call, int32_t first) {
  angle(call, first, msg::kLeftRight, 0);
  slider(call, first + 1, msg::kUpDown, 0, -90, 90, -90, 90);
  angle(call, first + 2, msg::kVask, 0);
  slider(call, first + 3, msg::kXTranslation, 0, -5, 5, -1000, 1000);
  slider(call, first + 4, msg::kYTranslation, 0, -5, 5, -1000, 1000);
  slider(call, first + 5, msg::kZTranslation, 0, -5, 5, -1000, 1000);
  slider(call, first + 6, msg::kXScale, 1, 0, 10, 0, 1000);
  slider(call, first + 7, msg::kYScale, 1, 0, 10, 0, 1000);
  slider(call, first + 8, msg::kZScale, 1, 0, 10, 0, 1000);
}

void lightPosition(EffectCall& call, int32_t first, double x, double y, double z) {
  slider(call, first, msg::kXPosition, x, -5, 5, -1000, 1000);
  slider(call, first + 1, msg::kYPosition, y, -5, 5, -1000, 1000);
  slider(call, first + 2, msg::kZPosition, z, -5, 5, -1000, 1000);
}

constexpr PF_Pixel kWhite{255, 255, 255, 255};

}  // namespace

int32_t declareMeshfileParams(EffectCall& call) {
  using namespace meshfile;
  addCustomControl(call, kModel, Text(msg::kModel), 0, 256, 36);
  manipulator(call, kManipulator);
  objectPlacement(call, kLeftRight);
  return kParamCount;
}

int32_t declareShapemeshParams(EffectCall& call) {
  using namespace shapemesh;
  manipulator(call, kManipulator);
  objectPlacement(call, kLeftRight);
  addLayer(call, kHeightField, Text(msg::kHeightField), kCollapsed, 0);
  {
    Text choices(msg::kHeightFromChoices);
    addPopup(call, kHeightFrom, Text(msg::kHeightFrom), kCollapsed, choices,
             countChoices(choices), 1, 1);
  }
  checkbox(call, kInvert, msg::kInvert);
  addLayer(call, kTexture, Text(msg::kTexture), kCollapsed, 0);
  color(call, kColor, packColor(1.0f, 0.5f, 0.5f, 0.5f));
  checkbox(call, kSmooth, msg::kSmooth);
  return kParamCount;
}

int32_t declareBeamlampParams(EffectCall& call) {
  using namespace beamlamp;
  manipulator(call, kManipulator);
  angle(call, kLeftRight, msg::kLeftRight, -130);
  slider(call, kUpDown, msg::kUpDown, -30, -90, 90, -90, 90);
  lightPosition(call, kXPosition, 0.5, 0.5, 0.5);
  popup(call, kAttenuation, msg::kAttenuation, msg::kAttenuationChoices, 3);
  popup(call, kFallOff, msg::kFallOff, msg::kFallOffChoices, 4);
  slider(call, kHotAngle, msg::kHotAngle, 10, 0, 90, 0, 90);
  slider(call, kOuterAngle, msg::kOuterAngle, 30, 0, 90, 0, 90);
  slider(call, kIntensity, msg::kIntensity, 1, 0, 1, 0, 1);
  color(call, kColor, kWhite);
  checkbox(call, kVisible, msg::kVisible);
  return kParamCount;
}

int32_t declareGlowlampParams(EffectCall& call) {
  using namespace glowlamp;
  manipulator(call, kManipulator);
  lightPosition(call, kXPosition, 0, 0, 1);
  popup(call, kAttenuation, msg::kAttenuation, msg::kAttenuationChoices, 3);
  slider(call, kIntensity, msg::kIntensity, 1, 0, 1, 0, 1);
  color(call, kColor, kWhite);
  checkbox(call, kVisible, msg::kVisible);
  return kParamCount;
}

}  // namespace vask
