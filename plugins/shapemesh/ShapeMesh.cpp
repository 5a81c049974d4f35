// The Mesh Object effect ("VASK Lattix Object").
#include "manipulator/ControlsPanel.h"
#include "platform/effect_api/PiPL.h"
#include "plugins/common/Resources.h"
#include "plugins/shapemesh/MeshObject.h"
#include "plugins/shapemesh/ObjectRecord.h"
#include "platform/q3d/QD3DGroup.h"
#include "scene/Q3Check.h"
#include "scene/SharedSceneBlock.h"
#include "shell/FlatMarker.h"
#include "shell/Lifecycle.h"
#include "shell/Memory.h"
#include "shell/ParamTables.h"
#include "shell/Plugin.h"

namespace vask {
namespace {

constexpr pipl::Fields kPiPL{.name = "VASK Lattix Object", .matchName = "HALV VASKSHAPEMESH1"};
VASK_DEFINE_PIPL(kPiPL);

void initRecord(EffectCall&, void* live) {
  auto& r = *static_cast<ObjectSequenceRecord*>(live);
  r.panel = createControlsPanel(PanelKind::MeshObject);
}

void destroyRecord(EffectCall&, void* live) {
  auto& r = *static_cast<ObjectSequenceRecord*>(live);
  // The texture reads pixelBuffer in place. Whoever may still hold the
  // group (a shared display group not yet cleared) must not reach it once
  // the buffer is freed: the group is emptied first, so only this record's
  // own references lead to the texture, and they go below.
  if (r.objectGroup) Q3Group_EmptyObjects(r.objectGroup);
  freeBlock(r.pixelBuffer);
  r.pixelBuffer = nullptr;
  r.pixelBufferSize = 0;
  destroyControlsPanel(r.panel);
  r.panel = nullptr;
  releaseObject(r.objectAttributes);
  releaseObject(r.objectTransform);
  releaseObject(r.objectGroup);
  releaseObject(r.surfaceShader);
  releaseObject(r.grid);
}

ObjectSequenceRecord* liveRecord(EffectCall& call) {
  return static_cast<ObjectSequenceRecord*>(liveSequence(call));
}

ControlsPanel* panelOf(EffectCall& call) {
  auto* r = liveRecord(call);
  return r ? r->panel : nullptr;
}
using Events = PanelEvents<panelOf>;

// The relief is brought up to date, then published; the shared group takes
// its own reference, so the next frame setdown leaves the object alive.
void contribute(EffectCall& call, SharedSceneBlock& block) {
  ObjectSequenceRecord* r = liveRecord(call);
  if (!r) return;
  updateMeshObject(call, *r);
  Q3Group_AddObject(block.displayGroup, r->objectGroup);
}

constexpr PluginDefinition kDefinition{
    .eventStyle = EventStyle::ClickOrDrag,
    .aboutTitle = "Vask Simple Object\n3D Effects Plugin",
    .resources = plugins::kObjectResources,
    .globalRecordSize = sizeof(GlobalRecord),
    .globalSetdown = nullptr,
    .declareParams = declareShapemeshParams,
    .liveRecordSize = sizeof(ObjectSequenceRecord),
    .initLiveRecord = initRecord,
    .destroyLiveRecord = destroyRecord,
    .flatSize = flatMarker::flatSize,
    .fillFlat = flatMarker::fillFlat,
    .heldFlatSize = flatMarker::heldFlatSize,
    .unflatten = flatMarker::unflatten,
    .contribute = contribute,
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
