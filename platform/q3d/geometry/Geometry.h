// Geometry: the C++ side of QD3DGeometry.h, and the handling of the
// attribute-set references that geometry records carry.
#pragma once

#include <span>

#include "platform/q3d/core/Object.h"
#include "platform/q3d/sets/AttributeSet.h"

namespace q3d {

class Geometry : public Shape {
public:
    static constexpr ClassInfo kClass{kQ3ShapeTypeGeometry, &Shape::kClass};
};

// The set behind a handle that a geometry has validated and holds a
// reference to. Precondition: handle is nullptr or such a set.
inline AttributeSet* heldSet(TQ3AttributeSet handle) {
    return static_cast<AttributeSet*>(reinterpret_cast<Object*>(handle));
}

// Whether every handle is nullptr or a live attribute set; otherwise posts
// kQ3ErrorInvalidObject or kQ3ErrorInvalidObjectType and returns false.
bool checkSets(std::span<const TQ3AttributeSet> handles) noexcept;

// Adds or drops one reference for every non-null handle. Precondition: each
// is live (checked, or held).
void retainSets(std::span<const TQ3AttributeSet> handles) noexcept;
void releaseSets(std::span<const TQ3AttributeSet> handles) noexcept;

// What _EmptyData does with a caller's record: drops the reference behind
// every non-null handle and sets it to nullptr. A handle that is not a live
// object is skipped with kQ3ErrorInvalidObject posted, and the result is
// then false.
bool disposeSets(std::span<TQ3AttributeSet> handles) noexcept;

}  // namespace q3d
