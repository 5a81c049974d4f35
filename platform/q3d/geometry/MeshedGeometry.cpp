#include "platform/q3d/geometry/MeshedGeometry.h"

#include <algorithm>
#include <cmath>

#include "platform/q3d/core/Boundary.h"
#include "platform/q3d/shaders/Shaders.h"

namespace q3d {

MeshedGeometry::MeshedGeometry(ShapeMesh mesh) : mesh_(std::move(mesh)) {
    localBounds_.isEmpty = kQ3True;
    for (const TQ3Point3D& p : mesh_.points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) continue;
        if (localBounds_.isEmpty) {
            localBounds_ = {p, p, kQ3False};
            continue;
        }
        localBounds_.min = {std::min(localBounds_.min.x, p.x), std::min(localBounds_.min.y, p.y),
                            std::min(localBounds_.min.z, p.z)};
        localBounds_.max = {std::max(localBounds_.max.x, p.x), std::max(localBounds_.max.y, p.y),
                            std::max(localBounds_.max.z, p.z)};
    }
}

void MeshedGeometry::setTextureShader(Ref<TextureShader> texture) { texture_ = std::move(texture); }

}  // namespace q3d

TQ3Status Q3TriMesh_GetCounts(TQ3GeometryObject triMesh, TQ3TriMeshCounts* counts) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    auto* resolved = q3d::resolveAs<q3d::FileShape<kQ3GeometryTypeTriMesh>>(triMesh);
    if (resolved == nullptr) return kQ3Failure;
    if (counts == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    *counts = resolved->counts;
    return kQ3Success;
}
