#include "plugins/meshfile/ModelPlacement.h"

#include <algorithm>
#include <cmath>

#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DTransform.h"
#include "platform/q3d/QD3DView.h"
#include "scene/PlacementParams.h"
#include "scene/Q3Check.h"
#include "scene/math/Placement.h"
#include "shell/ParamTables.h"

namespace vask {
namespace {

struct ViewOwner {
  TQ3ViewObject view = nullptr;
  ~ViewOwner() { releaseObject(view); }
};

}  // namespace

void measureModel(ModelSequenceRecord& record) {
  TQ3Matrix4x4 identity;
  Q3Matrix4x4_SetIdentity(&identity);
  q3Check(Q3MatrixTransform_Set(record.modelTransform, &identity));

  ViewOwner owner{q3Check(Q3View_New())};
  q3Check(Q3View_StartBoundingBox(owner.view, kQ3ComputeBoundsApproximate));
  TQ3BoundingBox box{};
  TQ3ViewStatus status;
  do {
    if (record.model &&
        (Q3MatrixTransform_Submit(&identity, owner.view) != kQ3Success ||
         Q3DisplayGroup_Submit(record.model, owner.view) != kQ3Success)) {
      const TQ3Error error = Q3Error_Get(nullptr);
      Q3View_EndBoundingBox(owner.view, &box);
      throw ErrData::quickDraw(error != kQ3ErrorNone ? error : kQ3ErrorBoundingLoopFailed);
    }
    status = Q3View_EndBoundingBox(owner.view, &box);
  } while (status == kQ3ViewStatusRetraverse);
  if (status == kQ3ViewStatusError) raiseQ3Error();

  float lo[3] = {1.0e27f, 1.0e27f, 1.0e27f}, hi[3] = {-1.0e27f, -1.0e27f, -1.0e27f};
  if (!box.isEmpty) {
    lo[0] = box.min.x, lo[1] = box.min.y, lo[2] = box.min.z;
    hi[0] = box.max.x, hi[1] = box.max.y, hi[2] = box.max.z;
  }
  double extent = 0;
  for (int i = 0; i < 3; ++i) {
    record.centre[i] = (lo[i] + hi[i]) * 0.5f;
    extent = std::max(extent, std::fabs(static_cast<double>(hi[i]) - static_cast<double>(lo[i])));
  }
  record.modelScale = extent > 0 ? static_cast<float>(1.0 / extent) : 1.0f;
}

void updateModelPlacement(EffectCall& call, ModelSequenceRecord& record) {
  static_assert(meshfile::kZScale == meshfile::kLeftRight + 8, "placementParams reads one run");
  const PlacementValues v = placementParams(call, meshfile::kLeftRight);
  const Vec3 centre{record.centre[0], record.centre[1], record.centre[2]};
  const TQ3Matrix4x4 m = toQ3(modelPlacementMatrix(v, centre, record.modelScale));
  q3Check(Q3MatrixTransform_Set(record.modelTransform, &m));
}

}  // namespace vask
