#include "shell/Params.h"

#include <cstring>

namespace vask {
namespace {

PF_ParamDef startDef(PF_ParamType type, const char* name, int32_t flags) {
  PF_ParamDef def;
  std::memset(&def, 0, sizeof def);
  def.param_type = type;
  if (name) std::strncpy(def.name, name, PF_MAX_EFFECT_PARAM_NAME_LEN);
  def.flags = flags;
  return def;
}

}  // namespace

void addLayer(EffectCall& call, int32_t index, const char* name, int32_t flags, int32_t dflt) {
  PF_ParamDef def = startDef(PF_Param_LAYER, name, flags);
  def.u.ld.dephault = dflt;
  call.addParam(index, def);
}

void addFixedSlider(EffectCall& call, int32_t index, const char* name, int32_t flags, PF_Fixed dflt,
                    PF_Fixed value, PF_Fixed sliderMin, PF_Fixed sliderMax, PF_Fixed validMin,
                    PF_Fixed validMax, int16_t precision, int16_t displayFlags) {
  PF_ParamDef def = startDef(PF_Param_FIX_SLIDER, name, flags);
  def.u.fd.value = value;
  def.u.fd.dephault = dflt;
  def.u.fd.slider_min = sliderMin;
  def.u.fd.slider_max = sliderMax;
  def.u.fd.valid_min = validMin;
  def.u.fd.valid_max = validMax;
  def.u.fd.precision = precision;
  def.u.fd.display_flags = displayFlags;
  call.addParam(index, def);
}

void addAngle(EffectCall& call, int32_t index, const char* name, int32_t flags, PF_Fixed value,
              PF_Fixed dflt) {
  PF_ParamDef def = startDef(PF_Param_ANGLE, name, flags);
  def.u.ad.value = value;
  def.u.ad.dephault = dflt;
  call.addParam(index, def);
}

void addCheckbox(EffectCall& call, int32_t index, const char* name, int32_t flags,
                 const char* label, int32_t value, int32_t dflt) {
  PF_ParamDef def = startDef(PF_Param_CHECKBOX, name, flags);
  def.u.bd.value = value;
  def.u.bd.dephault = static_cast<PF_Bool8>(dflt);
  def.u.bd.name = label;
  call.addParam(index, def);
}

void addColor(EffectCall& call, int32_t index, const char* name, int32_t flags, PF_Pixel value,
              PF_Pixel dflt) {
  PF_ParamDef def = startDef(PF_Param_COLOR, name, flags);
  def.u.cd.value = value;
  def.u.cd.dephault = dflt;
  call.addParam(index, def);
}

void addPopup(EffectCall& call, int32_t index, const char* name, int32_t flags,
              const char* choices, int16_t numChoices, int32_t value, int32_t dflt) {
  PF_ParamDef def = startDef(PF_Param_POPUP, name, flags);
  def.u.pd.value = value;
  def.u.pd.dephault = static_cast<int16_t>(dflt);
  def.u.pd.num_choices = numChoices;
  def.u.pd.names = choices;
  call.addParam(index, def);
}

void addCustomControl(EffectCall& call, int32_t index, const char* name, int32_t flags,
                      int16_t width, int16_t height) {
  PF_ParamDef def = startDef(PF_Param_NO_DATA, name, flags);
  def.ui_flags = PF_PUI_CONTROL;
  def.ui_width = width;
  def.ui_height = height;
  call.addParam(index, def);
}

void registerCustomUI(EffectCall& call) {
  PF_CustomUIInfo info;
  std::memset(&info, 0, sizeof info);
  info.events = PF_CustomEFlag_EFFECT;
  call.registerUI(info);
}

int16_t countChoices(const char* text) {
  int16_t count = 0;
  bool inItem = false;
  for (const char* p = text; p && *p; ++p) {
    if (*p == '|') {
      inItem = false;
    } else if (!inItem) {
      inItem = true;
      ++count;
    }
  }
  return count;
}

PF_Pixel packColor(float alpha, float red, float green, float blue) {
  auto byte = [](float v) { return static_cast<uint8_t>(static_cast<int>(v * 255.0f)); };
  return PF_Pixel{byte(alpha), byte(red), byte(green), byte(blue)};
}

}  // namespace vask
