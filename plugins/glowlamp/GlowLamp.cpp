// The Point Light effect ("VASK Point Light").
#include "manipulator/ControlsPanel.h"
#include "platform/effect_api/PiPL.h"
#include "plugins/common/Resources.h"
#include "plugins/glowlamp/PointLight.h"
#include "scene/LightRecord.h"
#include "shell/FlatMarker.h"
#include "shell/Lifecycle.h"
#include "shell/ParamTables.h"
#include "shell/Plugin.h"

namespace vask {
namespace {

constexpr pipl::Fields kPiPL{.name = "VASK Point Light", .matchName = "HALV VASKPNT1"};
VASK_DEFINE_PIPL(kPiPL);

void initRecord(EffectCall&, void* live) {
  initLightRecord(*static_cast<LightSequenceRecord*>(live), PanelKind::PointLight);
}
void destroyRecord(EffectCall&, void* live) {
  destroyLightRecord(*static_cast<LightSequenceRecord*>(live));
}
ControlsPanel* panelOf(EffectCall& call) {
  auto* r = liveLightRecord(call);
  return r ? r->panel : nullptr;
}
using Events = PanelEvents<panelOf>;

constexpr PluginDefinition kDefinition{
    .eventStyle = EventStyle::ClickOrDrag,
    .aboutTitle = "Vask Point Light\n3D Effects Plugin",
    .resources = plugins::kPointResources,
    .globalRecordSize = sizeof(GlobalRecord),
    .globalSetdown = nullptr,
    .declareParams = declareGlowlampParams,
    .liveRecordSize = sizeof(LightSequenceRecord),
    .initLiveRecord = initRecord,
    .destroyLiveRecord = destroyRecord,
    .flatSize = flatMarker::flatSize,
    .fillFlat = flatMarker::fillFlat,
    .heldFlatSize = flatMarker::heldFlatSize,
    .unflatten = flatMarker::unflatten,
    .contribute = publishPointLight,
    .render = nullptr,
    .setsNopRender = true,
    .click = Events::click,
    .drag = Events::drag,
    .endDrag = Events::endDrag,
    .draw = Events::draw,
};

}  // namespace

const PluginDefinition& thisPlugin() { return kDefinition; }

}  // namespace vask
