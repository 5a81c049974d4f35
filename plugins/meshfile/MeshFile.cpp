// The File Object effect ("VASK File Object"): a model read from a 3DMF file,
// kept across flatten and re-setup through the stored path and, while the host
// runs, through the model cache.
#include <time.h>

#include <cstring>
#include <set>
#include <utility>

#include "manipulator/ControlsPanel.h"
#include "platform/effect_api/PiPL.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DTransform.h"
#include "plugins/common/Resources.h"
#include "plugins/meshfile/ModelImport.h"
#include "plugins/meshfile/ModelPlacement.h"
#include "plugins/meshfile/ModelRecord.h"
#include "scene/Q3Check.h"
#include "scene/SharedSceneBlock.h"
#include "shell/Alert.h"
#include "shell/Lifecycle.h"
#include "shell/Messages.h"
#include "shell/ParamTables.h"
#include "shell/Plugin.h"

namespace vask {
namespace {

constexpr pipl::Fields kPiPL{.name = "VASK File Object", .matchName = "HALV VASKMESHFILE1"};
VASK_DEFINE_PIPL(kPiPL);

// Milliseconds since an arbitrary start, wrapping like a 32-bit tick count.
uint32_t tickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                               static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

ModelGlobalRecord& globalOf(EffectCall& call) {
  auto* g = call.globalAs<ModelGlobalRecord>();
  if (!g) raise(PF_Err_INVALID_CALLBACK);
  return *g;
}

// Stamps name a sequence's parked model in the cache, so no two sequences
// of the process may share them: a host that opens a project sets up every
// instance within the same millisecond, and a project may hold copies of
// one flat record (a duplicated effect) or records without stamps. The
// stamps of every live sequence are kept here; parked ones are in the cache.
std::set<std::pair<int32_t, uint32_t>>& liveStamps() {
  static std::set<std::pair<int32_t, uint32_t>> stamps;
  return stamps;
}

// New stamps: the ticks of a stamp taken in the same second as the last one
// move past it.
void newStamps(int32_t& seconds, uint32_t& ticks) {
  static int32_t lastSeconds = 0;
  static uint32_t lastTicks = 0;
  static bool any = false;
  seconds = static_cast<int32_t>(::time(nullptr));
  ticks = tickCount();
  if (any && seconds == lastSeconds && static_cast<int32_t>(ticks - lastTicks) <= 0) ticks = lastTicks + 1;
  lastSeconds = seconds;
  lastTicks = ticks;
  any = true;
  liveStamps().emplace(seconds, ticks);
}

ModelSequenceRecord* liveRecord(EffectCall& call) {
  return static_cast<ModelSequenceRecord*>(liveSequence(call));
}

// The Model control's button and path, and the model transform kept in step
// with the placement parameters the manipulator writes.
void importModel(EffectCall& call) {
  if (ModelSequenceRecord* r = liveRecord(call)) importFromButton(call, *r);
}

const char* modelPath(EffectCall& call) {
  const ModelSequenceRecord* r = liveRecord(call);
  return r ? r->path.c_str() : nullptr;
}

void rebuildModelTransform(EffectCall& call) {
  ModelSequenceRecord* r = liveRecord(call);
  if (r && r->modelTransform) updateModelPlacement(call, *r);
}

constexpr PanelHooks kPanelHooks{importModel, modelPath, rebuildModelTransform};

void initRecord(EffectCall&, void* live) {
  auto& r = *static_cast<ModelSequenceRecord*>(live);
  new (&r.path) String();
  newStamps(r.stampSeconds, r.stampTicks);
  r.modelScale = 1.0f;
  TQ3Matrix4x4 identity;
  Q3Matrix4x4_SetIdentity(&identity);
  r.modelTransform = q3Check(Q3MatrixTransform_New(&identity));
  r.panel = createControlsPanel(PanelKind::FileObject, kPanelHooks);
}

void destroyRecord(EffectCall&, void* live) {
  auto& r = *static_cast<ModelSequenceRecord*>(live);
  liveStamps().erase({r.stampSeconds, r.stampTicks});
  destroyControlsPanel(r.panel);
  r.panel = nullptr;
  releaseObject(r.modelTransform);
  r.path.~String();
  releaseObject(r.model);
}

uint64_t flatSize(const void* live) {
  const auto& r = *static_cast<const ModelSequenceRecord*>(live);
  return flatModel::kHeaderSize + static_cast<uint64_t>(r.path.length());
}

template <class T>
void put(void* flat, uint64_t offset, T value) {
  std::memcpy(static_cast<char*>(flat) + offset, &value, sizeof value);
}
template <class T>
T get(const void* flat, uint64_t offset) {
  T value;
  std::memcpy(&value, static_cast<const char*>(flat) + offset, sizeof value);
  return value;
}

void fillFlat(EffectCall& call, void* live, void* flat) {
  auto& r = *static_cast<ModelSequenceRecord*>(live);
  // Park the model first: the append is the one step that can fail, and it
  // must fail before the record gives anything away.
  ModelGlobalRecord& global = globalOf(call);
  const int32_t at = global.cache.append(
      ModelCacheEntry{r.stampSeconds, static_cast<int32_t>(r.stampTicks), nullptr, nullptr});
  ModelCacheEntry& entry = global.cache.items[at];
  entry.model = r.model ? Q3Shared_GetReference(r.model) : nullptr;
  entry.transform = r.modelTransform ? Q3Shared_GetReference(r.modelTransform) : nullptr;
  releaseObject(r.model);
  releaseObject(r.modelTransform);

  using namespace flatModel;
  put<int32_t>(flat, kSecondsOffset, r.stampSeconds);
  put<uint32_t>(flat, kTicksOffset, r.stampTicks);
  put<int32_t>(flat, kPathLengthOffset, r.path.length());
  for (int i = 0; i < 3; ++i) put<float>(flat, kCentreOffset + 4 * i, r.centre[i]);
  put<float>(flat, kScaleOffset, r.modelScale);
  std::memcpy(static_cast<char*>(flat) + kHeaderSize, r.path.c_str(),
              static_cast<std::size_t>(r.path.length()));
}

// The path length of a flat record, or -1 when it does not fit the bytes held.
int64_t flatPathLength(const void* flat, uint64_t bytes) {
  if (bytes < flatModel::kHeaderSize) return -1;
  const int32_t n = get<int32_t>(flat, flatModel::kPathLengthOffset);
  if (n < 0 || static_cast<uint64_t>(n) > bytes - flatModel::kHeaderSize) return -1;
  return n;
}

uint64_t heldFlatSize(const void* flat, uint64_t bytes) {
  const int64_t n = flatPathLength(flat, bytes);
  return n < 0 ? bytes : flatModel::kHeaderSize + static_cast<uint64_t>(n);
}

// The alert for a model that cannot be reopened, with the reason's text.
void alertCannotOpen(const char* reason) { alert(1, msg::kCouldNotOpenModel, reason); }

// A flat record that does not hold together (from a damaged project): the
// sequence goes on without a model, and the user is told.
void alertDamagedRecord() {
  char text[kMessageTextSize];
  messageText(msg::kIncorrectFormat, text);
  // The message ends with a full stop of its own; the alert adds one.
  if (std::size_t len = std::strlen(text); len > 0 && text[len - 1] == '.') text[len - 1] = '\0';
  alertCannotOpen(text);
}

void unflatten(EffectCall& call, void* live, const void* flat, uint64_t bytes) {
  using namespace flatModel;
  auto& r = *static_cast<ModelSequenceRecord*>(live);
  if (bytes < kHeaderSize) {
    alertDamagedRecord();
    return;
  }
  const int32_t seconds = get<int32_t>(flat, kSecondsOffset);
  const uint32_t ticks = get<uint32_t>(flat, kTicksOffset);

  // Take the model back from the cache when this sequence parked it.
  bool cached = false;
  ModelGlobalRecord& global = globalOf(call);
  for (int32_t i = 0; i < global.cache.count; ++i) {
    ModelCacheEntry& e = global.cache.items[i];
    if (e.stampSeconds == seconds && e.stampTicks == static_cast<int32_t>(ticks)) {
      releaseObject(r.model);
      r.model = e.model;
      if (e.transform) {
        releaseObject(r.modelTransform);
        r.modelTransform = e.transform;
      }
      global.cache.remove(i, 1);
      cached = true;
      break;
    }
  }

  r.modelScale = get<float>(flat, kScaleOffset);
  for (int i = 0; i < 3; ++i) r.centre[i] = get<float>(flat, kCentreOffset + 4 * i);
  // The record's own stamps come back, unless another sequence of the
  // process holds them, live or parked: then it keeps the new ones it got.
  bool taken = liveStamps().count({seconds, ticks}) != 0 || (seconds == 0 && ticks == 0);
  for (int32_t i = 0; i < global.cache.count && !taken; ++i) {
    const ModelCacheEntry& e = global.cache.items[i];
    taken = e.stampSeconds == seconds && e.stampTicks == static_cast<int32_t>(ticks);
  }
  if (cached || !taken) {
    liveStamps().erase({r.stampSeconds, r.stampTicks});
    r.stampSeconds = seconds;
    r.stampTicks = ticks;
    liveStamps().emplace(seconds, ticks);
  }

  const int64_t n = flatPathLength(flat, bytes);
  if (n < 0) {
    alertDamagedRecord();
    return;
  }
  if (n == 0) return;
  r.path.assign(static_cast<const char*>(flat) + kHeaderSize, static_cast<int32_t>(n));
  if (cached) return;
  try {
    loadModel(r, r.path);
    // A record that names a model it never measured (a project's "model"
    // entry) has scale 0: measure it as the Import button does.
    if (!(r.modelScale > 0)) measureModel(r);
  } catch (ErrData e) {
    // Say what happened to which file, in words, never as a bare code.
    alertCannotOpen(*modelProblem() ? modelProblem() : systemMessageText(e.code));
    r.path.empty();
  }
}

// Global setdown empties the cache. The parked references are released too:
// the scene library keeps objects alive past its shutdown, so leaving them
// would leak every parked model.
void globalSetdown(EffectCall&, void* globalRecord) {
  auto& global = *static_cast<ModelGlobalRecord*>(globalRecord);
  for (ModelCacheEntry& e : global.cache) {
    releaseObject(e.model);
    releaseObject(e.transform);
  }
  global.cache.clear();
}

ControlsPanel* panelOf(EffectCall& call) {
  auto* r = liveRecord(call);
  return r ? r->panel : nullptr;
}
using Events = PanelEvents<panelOf>;

// Publishes the model, when one is loaded, placed by the current parameters.
void contribute(EffectCall& call, SharedSceneBlock& block) {
  ModelSequenceRecord* r = liveRecord(call);
  if (!r || !r->model) return;
  updateModelPlacement(call, *r);
  Q3Group_AddObject(block.displayGroup, r->model);
}

constexpr PluginDefinition kDefinition{
    .eventStyle = EventStyle::ClickThenDrag,
    .aboutTitle = "Vask File Object\n3D Effects Plugin",
    .resources = plugins::kObjectResources,
    .globalRecordSize = sizeof(ModelGlobalRecord),
    .globalSetdown = globalSetdown,
    .declareParams = declareMeshfileParams,
    .liveRecordSize = sizeof(ModelSequenceRecord),
    .initLiveRecord = initRecord,
    .destroyLiveRecord = destroyRecord,
    .flatSize = flatSize,
    .fillFlat = fillFlat,
    .heldFlatSize = heldFlatSize,
    .unflatten = unflatten,
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
