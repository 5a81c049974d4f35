// Attribute sets: the C++ side of QD3DSet.h.
//
// A grid may carry one set per vertex, so a set is small and fixed in
// layout: a mask of the types it holds and the two values a vertex usually
// has, normal and surface UV, inline. That is 32 bytes, two sets to a cache
// line, plus the reference count the pool keeps apart. The rarer values
// (colours, shading coefficients, ...) sit in a side table, reached only
// when the mask says a set has one; sets with them are few (one per object
// rather than per vertex) in the scenes we make.
//
// Readers (the renderer) test has() and read the typed accessors directly;
// no virtual call, and no lookup for the inline values.
#pragma once

#include <cstdint>

#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DSet.h"
#include "platform/q3d/core/Object.h"

namespace q3d {

class AttributeSet final : public SharedObject {
public:
    static constexpr ClassInfo kSetClass{kQ3SharedTypeSet, &SharedObject::kClass};
    static constexpr ClassInfo kClass{kQ3SetTypeAttribute, &kSetClass};
    static constexpr FastKind kFastKind = FastKind::kAttributeSet;
    const ClassInfo& classInfo() const override { return kClass; }

    AttributeSet() : SharedObject(kFastKind) {}
    ~AttributeSet() override;
    // A set submitted on its own applies to everything after it.
    bool isDrawable() const override { return true; }

    // Bit (1 << type) for every type held.
    TQ3Uns32 mask() const { return mask_ & kTypeBits; }
    bool has(TQ3AttributeType type) const { return isSupported(type) && (mask_ & bit(type)) != 0; }

    // The inline values. Precondition: has(their type), else unspecified.
    const TQ3Vector3D& normal() const { return normal_; }
    const TQ3Param2D& surfaceUV() const { return surfaceUV_; }

    // The rarer values, or nullptr when the set lacks them. Valid until the
    // set changes or goes.
    const TQ3ColorRGB* diffuseColor() const;
    const TQ3ColorRGB* specularColor() const;
    const TQ3ColorRGB* transparencyColor() const;
    const float* specularControl() const;
    const float* ambientCoefficient() const;
    const TQ3Param2D* shadingUV() const;
    const TQ3Tangent2D* surfaceTangent() const;
    const TQ3Switch* highlightState() const;

    void setNormal(const TQ3Vector3D& normal) {
        normal_ = normal;
        mask_ |= bit(kQ3AttributeTypeNormal);
    }
    void setSurfaceUV(const TQ3Param2D& uv) {
        surfaceUV_ = uv;
        mask_ |= bit(kQ3AttributeTypeSurfaceUV);
    }

    // Copies the value of `type` from `data` (the value type QD3DSet.h names).
    // Returns kQ3ErrorNone, or the error to post with the set unchanged
    // (unsupported type, switch out of range). Throws std::bad_alloc.
    TQ3Error add(TQ3AttributeType type, const void* data);
    // Copies the value of `type` to `data`; false when the set lacks it.
    bool get(TQ3AttributeType type, void* data) const;
    void clear(TQ3AttributeType type) {
        if (has(type)) mask_ = static_cast<std::uint16_t>(mask_ & ~bit(type));
    }
    void empty() { mask_ &= kHasRareValues; }

    static constexpr std::uint16_t bit(TQ3AttributeType type) { return static_cast<std::uint16_t>(1u << type); }
    static constexpr bool isSupported(TQ3AttributeType type) {
        return type > kQ3AttributeTypeNone && type < kQ3AttributeTypeNumTypes;
    }

    // The side table's record; defined where the table lives.
    struct RareValues;

private:
    static constexpr std::uint16_t kTypeBits = (1u << kQ3AttributeTypeNumTypes) - 2;
    // The side table has an entry for this set (bit 0: type 0 is no type).
    static constexpr std::uint16_t kHasRareValues = 1;

    const RareValues* rareValues() const;
    // The value's place in the side table; nullptr for the inline types.
    const void* rareValue(TQ3AttributeType type) const;

    std::uint16_t mask_ = 0;  // packs into the base's padding
    TQ3Vector3D normal_;
    TQ3Param2D surfaceUV_;
};

}  // namespace q3d
