#include "platform/q3d/access/SceneAccess.h"

#include <algorithm>

namespace q3d {

void gatherVertexAttributes(std::span<AttributeSet* const> sets, std::size_t vertexCount, VertexAttributes& out) {
    out.types.assign(vertexCount, 0);
    out.anyTypes = 0;
    if (sets.empty()) {
        out.normals.clear();
        out.surfaceUVs.clear();
        out.diffuseColors.clear();
        return;
    }
    const std::size_t count = std::min(vertexCount, sets.size());
    TQ3Uns32 any = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (sets[i] != nullptr) any |= sets[i]->mask();
    }
    out.anyTypes = any;
    // Only the arrays some vertex needs; zero where a vertex lacks the value.
    const auto size = [&](auto& values, TQ3AttributeType type) {
        values.clear();
        if (any & AttributeSet::bit(type)) values.resize(vertexCount);
    };
    size(out.normals, kQ3AttributeTypeNormal);
    size(out.surfaceUVs, kQ3AttributeTypeSurfaceUV);
    size(out.diffuseColors, kQ3AttributeTypeDiffuseColor);
    const bool normals = !out.normals.empty();
    const bool uvs = !out.surfaceUVs.empty();
    const bool colours = !out.diffuseColors.empty();
    for (std::size_t i = 0; i < count; ++i) {
        const AttributeSet* set = sets[i];
        if (set == nullptr) continue;
        const auto types = static_cast<std::uint16_t>(set->mask());
        out.types[i] = types;
        if (normals && (types & AttributeSet::bit(kQ3AttributeTypeNormal))) out.normals[i] = set->normal();
        if (uvs && (types & AttributeSet::bit(kQ3AttributeTypeSurfaceUV))) out.surfaceUVs[i] = set->surfaceUV();
        if (colours && (types & AttributeSet::bit(kQ3AttributeTypeDiffuseColor))) {
            out.diffuseColors[i] = *set->diffuseColor();
        }
    }
}

}  // namespace q3d
