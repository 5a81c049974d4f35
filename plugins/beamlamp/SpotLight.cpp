#include "plugins/beamlamp/SpotLight.h"

#include <algorithm>

#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DLight.h"
#include "scene/LightRecord.h"
#include "scene/Q3Check.h"
#include "scene/lights/LightValues.h"
#include "scene/markers/LightMarkers.h"
#include "scene/math/Units.h"
#include "shell/ParamTables.h"

namespace vask {

void publishSpotLight(EffectCall& call, SharedSceneBlock& block) {
  using namespace beamlamp;
  LightSequenceRecord* r = liveLightRecord(call);
  if (!r) return;
  ensureGroups(block);

  const float azimuth = fixedDegreesToRadians(call.param(kLeftRight).u.ad.value);
  const float elevation = fixedDegreesToRadians(call.param(kUpDown).u.fd.value);
  const Vec3 location{fixedToFloat(call.param(kXPosition).u.fd.value),
                      fixedToFloat(call.param(kYPosition).u.fd.value),
                      fixedToFloat(call.param(kZPosition).u.fd.value)};
  const Vec3 beam = beamDirection(azimuth, elevation);
  const PF_Pixel color = call.param(kColor).u.cd.value;

  TQ3SpotLightData data{};
  data.lightData = publishedLightData(call.param(kIntensity).u.fd.value, color);
  data.castsShadows = kQ3True;
  data.attenuation = attenuationFromPopup(call.param(kAttenuation).u.pd.value);
  data.location = {location.x, location.y, location.z};
  data.direction = {beam.x, beam.y, beam.z};
  data.hotAngle = fixedDegreesToRadians(call.param(kHotAngle).u.fd.value);
  data.outerAngle = std::max(fixedDegreesToRadians(call.param(kOuterAngle).u.fd.value), data.hotAngle);
  data.fallOff = fallOffFromPopup(call.param(kFallOff).u.pd.value);

  if (r->light)
    q3Check(Q3SpotLight_SetData(r->light, &data));
  else
    r->light = q3Check(Q3SpotLight_New(&data));
  Q3Group_AddObject(block.lightGroup, r->light);

  if (call.param(kVisible).u.bd.value && block.displayGroup) {
    updateSpotMarker(*r, location, beam, data.lightData.color);
    Q3Group_AddObject(block.displayGroup, r->markerGroup);
  }
}

}  // namespace vask
