#include "plugins/glowlamp/PointLight.h"

#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DLight.h"
#include "scene/LightRecord.h"
#include "scene/Q3Check.h"
#include "scene/lights/LightValues.h"
#include "scene/markers/LightMarkers.h"
#include "scene/math/Units.h"
#include "shell/ParamTables.h"

namespace vask {

void publishPointLight(EffectCall& call, SharedSceneBlock& block) {
  using namespace glowlamp;
  LightSequenceRecord* r = liveLightRecord(call);
  if (!r) return;
  ensureGroups(block);

  const Vec3 location{fixedToFloat(call.param(kXPosition).u.fd.value),
                      fixedToFloat(call.param(kYPosition).u.fd.value),
                      fixedToFloat(call.param(kZPosition).u.fd.value)};
  TQ3PointLightData data{};
  data.lightData = publishedLightData(call.param(kIntensity).u.fd.value, call.param(kColor).u.cd.value);
  data.castsShadows = kQ3True;
  data.attenuation = attenuationFromPopup(call.param(kAttenuation).u.pd.value);
  data.location = {location.x, location.y, location.z};

  if (r->light)
    q3Check(Q3PointLight_SetData(r->light, &data));
  else
    r->light = q3Check(Q3PointLight_New(&data));
  Q3Group_AddObject(block.lightGroup, r->light);

  if (call.param(kVisible).u.bd.value && block.displayGroup) {
    updatePointMarker(*r, location, data.lightData.color);
    Q3Group_AddObject(block.displayGroup, r->markerGroup);
  }
}

}  // namespace vask
