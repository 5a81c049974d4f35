#include "plugins/shapemesh/MeshObject.h"

#include <utility>

#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DSet.h"
#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/QD3DTransform.h"
#include "plugins/shapemesh/HeightGrid.h"
#include "plugins/shapemesh/LayerImage.h"
#include "plugins/shapemesh/LayerTexture.h"
#include "scene/PlacementParams.h"
#include "scene/Q3Check.h"
#include "scene/builders/ObjectRef.h"
#include "scene/math/Placement.h"
#include "shell/ParamTables.h"

namespace vask {
namespace {

// The surface shader, transform and attribute set are each stored only once
// they are in the group, so a build that failed halfway leaves one of them
// missing.
bool isComplete(const ObjectSequenceRecord& r) {
  return r.surfaceShader && r.objectTransform && r.objectAttributes;
}

bool needsRebuild(const ObjectSequenceRecord& r, const LayerImage& heights, const GridSettings& s) {
  return heights.width != r.gridWidth || heights.height != r.gridHeight ||
         s.smooth != r.smoothAtBuild || s.textured != r.texturedAtBuild || !isComplete(r) ||
         // A layer that had no pixels at the build and has them now, at the
         // same size: without this its relief would never appear.
         (hasGrid(heights) && !r.grid);
}

// Adds `object` to the group, then stores it in `slot` (which must be empty).
void addAndStore(TQ3GroupObject group, ObjectRef object, TQ3Object& slot) {
  q3Check(Q3Group_AddObject(group, object.get()));
  slot = object.release();
}

void buildObject(ObjectSequenceRecord& r, const LayerImage& heights, const LayerImage& texture,
                 const GridSettings& s) {
  // The transform and attribute set of an earlier group are replaced by new
  // ones; they go first, so that a build failing before their turn leaves
  // the group visibly incomplete.
  releaseObject(r.objectAttributes);
  releaseObject(r.objectTransform);

  r.objectGroup = q3Check(Q3OrderedDisplayGroup_New());
  {
    ObjectRef illumination(q3Check(Q3PhongIllumination_New()));
    q3Check(Q3Group_AddObject(r.objectGroup, illumination.get()));
  }
  buildGrid(r.objectGroup, r.grid, heights, s);
  r.gridWidth = heights.width;
  r.gridHeight = heights.height;
  r.smoothAtBuild = s.smooth;
  r.texturedAtBuild = s.textured;

  ObjectRef shader(s.textured ? makeTextureShader(r, texture) : q3Check(Q3PhongIllumination_New()));
  addAndStore(r.objectGroup, std::move(shader), r.surfaceShader);

  TQ3Matrix4x4 identity;
  Q3Matrix4x4_SetIdentity(&identity);
  addAndStore(r.objectGroup, ObjectRef(q3Check(Q3MatrixTransform_New(&identity))), r.objectTransform);
  addAndStore(r.objectGroup, ObjectRef(q3Check(Q3AttributeSet_New())), r.objectAttributes);
}

}  // namespace

void updateMeshObject(EffectCall& call, ObjectSequenceRecord& r) {
  using namespace shapemesh;
  CheckedOutLayer heightLayer(call, kHeightField);
  CheckedOutLayer textureLayer(call, kTexture);
  const LayerImage heights = readLayer(heightLayer.world());
  const LayerImage texture = readLayer(textureLayer.world());
  GridSettings settings;
  settings.heightFrom = heightFromPopup(call.param(kHeightFrom).u.pd.value);
  settings.invert = call.param(kInvert).u.bd.value != 0;
  settings.smooth = call.param(kSmooth).u.bd.value != 0;
  settings.textured = texture.hasPixels();

  if (r.objectGroup && needsRebuild(r, heights, settings)) {
    releaseObject(r.objectGroup);
    releaseObject(r.surfaceShader);
    releaseObject(r.grid);
  }
  if (r.objectGroup) {
    refillGrid(r.grid, heights, settings);
    if (settings.textured) refreshTexture(r, texture);
  } else {
    buildObject(r, heights, texture, settings);
  }

  const PF_Pixel color = call.param(kColor).u.cd.value;
  const TQ3ColorRGB diffuse{color.red / 255.0f, color.green / 255.0f, color.blue / 255.0f};
  q3Check(Q3AttributeSet_Add(r.objectAttributes, kQ3AttributeTypeDiffuseColor, &diffuse));

  textureLayer.checkin();
  heightLayer.checkin();

  static_assert(shapemesh::kZScale == shapemesh::kLeftRight + 8, "placementParams reads one run");
  const TQ3Matrix4x4 placement = toQ3(placementMatrix(placementParams(call, shapemesh::kLeftRight)));
  q3Check(Q3MatrixTransform_Set(r.objectTransform, &placement));
}

}  // namespace vask
