#include "scene/lights/LightGroups.h"

#include <utility>

#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DLight.h"
#include "scene/Q3Check.h"
#include "scene/builders/Builders.h"
#include "scene/builders/Constants.h"

namespace vask {

void makeLightGroup(ObjectRef& slot) {
  slot.reset();
  slot.reset(q3Check(Q3LightGroup_New()));
}

void makePreviewLightGroup(ObjectRef& slot) {
  slot.reset();
  // Built aside and handed over whole, so that a failure never leaves a
  // half-lit group behind.
  ObjectRef group;
  makeLightGroup(group);

  TQ3DirectionalLightData headlight{};
  headlight.lightData = {kQ3True, kHeadlightBrightness, rgbOf(colors::kWhite)};
  headlight.castsShadows = kQ3False;
  headlight.direction = toQ3Vector(negate(kZAxis));
  addToGroup(group, ObjectRef(q3Check(Q3DirectionalLight_New(&headlight))));

  const TQ3LightData ambient{kQ3True, kAmbientBrightness, rgbOf(colors::kWhite)};
  addToGroup(group, ObjectRef(q3Check(Q3AmbientLight_New(&ambient))));

  slot = std::move(group);
}

}  // namespace vask
