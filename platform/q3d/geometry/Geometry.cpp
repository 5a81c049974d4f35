#include "platform/q3d/geometry/Geometry.h"

#include "platform/q3d/QD3DGeometry.h"

namespace q3d {

bool checkSets(std::span<const TQ3AttributeSet> handles) noexcept {
    for (TQ3AttributeSet handle : handles) {
        if (handle != nullptr && resolveAs<AttributeSet>(handle) == nullptr) return false;
    }
    return true;
}

void retainSets(std::span<const TQ3AttributeSet> handles) noexcept {
    for (TQ3AttributeSet handle : handles) {
        if (handle != nullptr) retain(*heldSet(handle));
    }
}

void releaseSets(std::span<const TQ3AttributeSet> handles) noexcept {
    for (TQ3AttributeSet handle : handles) {
        if (handle != nullptr) release(*heldSet(handle));
    }
}

bool disposeSets(std::span<TQ3AttributeSet> handles) noexcept {
    bool allLive = true;
    for (TQ3AttributeSet& handle : handles) {
        if (handle == nullptr) continue;
        allLive = disposeQuietly(handle) && allLive;
        handle = nullptr;
    }
    if (!allLive) postError(kQ3ErrorInvalidObject);
    return allLive;
}

}  // namespace q3d

TQ3ObjectType Q3Geometry_GetType(TQ3GeometryObject geometry) {
    const auto* resolved = q3d::resolveAs<q3d::Geometry>(geometry);
    return resolved != nullptr ? resolved->leafType() : kQ3ObjectTypeInvalid;
}
