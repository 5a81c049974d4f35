// Light data from the host's parameter values.
//
// The fixed-point and angle conversions the lights use (16.16 ÷ 65536, and
// degrees × kDegreesToRadians) are those of scene/math/Units.h, shared with
// the placement of objects; this header adds colours and pop-up choices.
#pragma once

#include <cstdint>

#include "platform/effect_api/EffectApi.h"
#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DLight.h"
#include "scene/math/Units.h"

namespace vask {

// A colour parameter as light colour: red, green and blue each ÷ 255, alpha
// ignored. (255, 128, 0) gives (1, 0.50196, 0).
TQ3ColorRGB lightColor(const PF_Pixel& color);

// The "Attenuation" pop-up ("None|Inv Dist|Inv Dist Sq", 1-based) as
// QuickDraw 3D's attenuation: choice − 1. A choice outside 1 to 3 is a
// damaged parameter and raises ErrData::host(PF_Err_BAD_CALLBACK_PARAM).
TQ3AttenuationType attenuationFromPopup(int32_t choice);

// The "Fall Off" pop-up ("None|Linear|Exp|Cos", 1-based) as QuickDraw 3D's
// fall-off: choice − 1. A choice outside 1 to 4 raises like the attenuation.
TQ3FallOffType fallOffFromPopup(int32_t choice);

// The part every published light shares: on, brightness = intensity (16.16)
// ÷ 65536, colour from the colour parameter.
TQ3LightData publishedLightData(int32_t intensity, const PF_Pixel& color);

}  // namespace vask
