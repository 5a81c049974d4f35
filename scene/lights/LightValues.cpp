#include "scene/lights/LightValues.h"

#include "shell/ErrData.h"

namespace vask {

TQ3ColorRGB lightColor(const PF_Pixel& color) {
  constexpr double kByteToUnit = 0.00392156862745098;  // 1 ÷ 255
  return {static_cast<float>(color.red * kByteToUnit), static_cast<float>(color.green * kByteToUnit),
          static_cast<float>(color.blue * kByteToUnit)};
}

// A pop-up value outside its choices would otherwise become an enumeration
// value QuickDraw 3D does not know; it can only come from damaged parameters.
TQ3AttenuationType attenuationFromPopup(int32_t choice) {
  if (choice < 1 || choice > 3) raise(PF_Err_BAD_CALLBACK_PARAM);
  return static_cast<TQ3AttenuationType>(choice - 1);
}

TQ3FallOffType fallOffFromPopup(int32_t choice) {
  if (choice < 1 || choice > 4) raise(PF_Err_BAD_CALLBACK_PARAM);
  return static_cast<TQ3FallOffType>(choice - 1);
}

TQ3LightData publishedLightData(int32_t intensity, const PF_Pixel& color) {
  TQ3LightData data{};
  data.isOn = kQ3True;
  data.brightness = fixedToFloat(intensity);
  data.color = lightColor(color);
  return data;
}

}  // namespace vask
