#include "platform/q3d/sets/AttributeSet.h"

#include <cstring>
#include <unordered_map>

#include "platform/q3d/core/Boundary.h"
#include "platform/q3d/core/LibraryState.h"

namespace q3d {

struct AttributeSet::RareValues {
    TQ3Param2D shadingUV;
    float ambientCoefficient;
    TQ3ColorRGB diffuseColor;
    TQ3ColorRGB specularColor;
    float specularControl;
    TQ3ColorRGB transparencyColor;
    TQ3Tangent2D surfaceTangent;
    TQ3Switch highlightState;
};

static_assert(sizeof(AttributeSet) <= 32, "one set per grid vertex: keep two to a cache line");

namespace {

std::size_t valueBytes(TQ3AttributeType type) {
    switch (type) {
        case kQ3AttributeTypeSurfaceUV:
        case kQ3AttributeTypeShadingUV: return sizeof(TQ3Param2D);
        case kQ3AttributeTypeNormal: return sizeof(TQ3Vector3D);
        case kQ3AttributeTypeAmbientCoefficient:
        case kQ3AttributeTypeSpecularControl: return sizeof(float);
        case kQ3AttributeTypeDiffuseColor:
        case kQ3AttributeTypeSpecularColor:
        case kQ3AttributeTypeTransparencyColor: return sizeof(TQ3ColorRGB);
        case kQ3AttributeTypeSurfaceTangent: return sizeof(TQ3Tangent2D);
        case kQ3AttributeTypeHighlightState: return sizeof(TQ3Switch);
        default: return 0;
    }
}

using RareTable = std::unordered_map<const AttributeSet*, AttributeSet::RareValues>;

// Kept past static destructors (sets may go from them at exit).
RareTable& rareTable() { return q3d::libraryState<RareTable>(); }

}  // namespace

AttributeSet::~AttributeSet() {
    if (mask_ & kHasRareValues) rareTable().erase(this);
}

const AttributeSet::RareValues* AttributeSet::rareValues() const {
    if (!(mask_ & kHasRareValues)) return nullptr;
    return &rareTable().find(this)->second;
}

const void* AttributeSet::rareValue(TQ3AttributeType type) const {
    const RareValues* rare = rareValues();
    if (rare == nullptr) return nullptr;
    switch (type) {
        case kQ3AttributeTypeShadingUV: return &rare->shadingUV;
        case kQ3AttributeTypeAmbientCoefficient: return &rare->ambientCoefficient;
        case kQ3AttributeTypeDiffuseColor: return &rare->diffuseColor;
        case kQ3AttributeTypeSpecularColor: return &rare->specularColor;
        case kQ3AttributeTypeSpecularControl: return &rare->specularControl;
        case kQ3AttributeTypeTransparencyColor: return &rare->transparencyColor;
        case kQ3AttributeTypeSurfaceTangent: return &rare->surfaceTangent;
        case kQ3AttributeTypeHighlightState: return &rare->highlightState;
        default: return nullptr;
    }
}

#define Q3D_RARE_GETTER(Type, name, code) \
    const Type* AttributeSet::name() const { return has(code) ? &rareValues()->name : nullptr; }
Q3D_RARE_GETTER(TQ3ColorRGB, diffuseColor, kQ3AttributeTypeDiffuseColor)
Q3D_RARE_GETTER(TQ3ColorRGB, specularColor, kQ3AttributeTypeSpecularColor)
Q3D_RARE_GETTER(TQ3ColorRGB, transparencyColor, kQ3AttributeTypeTransparencyColor)
Q3D_RARE_GETTER(float, specularControl, kQ3AttributeTypeSpecularControl)
Q3D_RARE_GETTER(float, ambientCoefficient, kQ3AttributeTypeAmbientCoefficient)
Q3D_RARE_GETTER(TQ3Param2D, shadingUV, kQ3AttributeTypeShadingUV)
Q3D_RARE_GETTER(TQ3Tangent2D, surfaceTangent, kQ3AttributeTypeSurfaceTangent)
Q3D_RARE_GETTER(TQ3Switch, highlightState, kQ3AttributeTypeHighlightState)
#undef Q3D_RARE_GETTER

TQ3Error AttributeSet::add(TQ3AttributeType type, const void* data) {
    switch (type) {
        case kQ3AttributeTypeNormal: {
            TQ3Vector3D normal;
            std::memcpy(&normal, data, sizeof normal);
            setNormal(normal);
            return kQ3ErrorNone;
        }
        case kQ3AttributeTypeSurfaceUV: {
            TQ3Param2D uv;
            std::memcpy(&uv, data, sizeof uv);
            setSurfaceUV(uv);
            return kQ3ErrorNone;
        }
        case kQ3AttributeTypeHighlightState: {
            // Read as an integer: a C caller may put any bits in an enum.
            TQ3Uns32 value;
            std::memcpy(&value, data, sizeof value);
            if (value != kQ3Off && value != kQ3On) return kQ3ErrorParameterOutOfRange;
            break;
        }
        default:
            if (!isSupported(type)) return kQ3ErrorAttributeInvalidType;
            break;
    }
    if (!(mask_ & kHasRareValues)) {
        rareTable().emplace(this, RareValues{});
        mask_ |= kHasRareValues;
    }
    std::memcpy(const_cast<void*>(rareValue(type)), data, valueBytes(type));
    mask_ |= bit(type);
    return kQ3ErrorNone;
}

bool AttributeSet::get(TQ3AttributeType type, void* data) const {
    if (!has(type)) return false;
    const void* value = type == kQ3AttributeTypeNormal      ? static_cast<const void*>(&normal_)
                        : type == kQ3AttributeTypeSurfaceUV ? static_cast<const void*>(&surfaceUV_)
                                                            : rareValue(type);
    std::memcpy(data, value, valueBytes(type));
    return true;
}

}  // namespace q3d

using q3d::AttributeSet;

namespace {

// The set behind a handle, or nullptr with an error posted.
AttributeSet* setOf(TQ3AttributeSet set) noexcept { return q3d::resolveAs<AttributeSet>(set); }

bool checkType(TQ3AttributeType type) noexcept {
    if (AttributeSet::isSupported(type)) return true;
    q3d::postError(kQ3ErrorAttributeInvalidType);
    return false;
}

}  // namespace

TQ3AttributeSet Q3AttributeSet_New(void) { return q3d::createObject<AttributeSet>(__func__); }

TQ3Status Q3AttributeSet_Add(TQ3AttributeSet attributeSet, TQ3AttributeType type, const void* data) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    // A grid build adds a UV and a normal to every vertex's set, a refill a
    // normal, millions of calls a frame: those are checked and done inline,
    // the rest below.
    if ((type == kQ3AttributeTypeNormal || type == kQ3AttributeTypeSurfaceUV) && data != nullptr &&
        q3d::pool::findLiveCount(attributeSet) != nullptr) {
        auto* object = reinterpret_cast<q3d::Object*>(attributeSet);
        if (object->fastKind() == AttributeSet::kFastKind) {
            auto* set = static_cast<AttributeSet*>(object);
            if (type == kQ3AttributeTypeNormal) {
                TQ3Vector3D normal;
                std::memcpy(&normal, data, sizeof normal);
                set->setNormal(normal);
            } else {
                TQ3Param2D uv;
                std::memcpy(&uv, data, sizeof uv);
                set->setSurfaceUV(uv);
            }
            return kQ3Success;
        }
    }
    AttributeSet* set = setOf(attributeSet);
    if (set == nullptr) return kQ3Failure;
    if (data == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    return q3d::guarded(kQ3Failure, [&] {
        const TQ3Error error = set->add(type, data);
        if (error == kQ3ErrorNone) return kQ3Success;
        q3d::postError(error);
        return kQ3Failure;
    });
}

TQ3Boolean Q3AttributeSet_Contains(TQ3AttributeSet attributeSet, TQ3AttributeType type) {
    const AttributeSet* set = setOf(attributeSet);
    if (set == nullptr || !checkType(type)) return kQ3False;
    return set->has(type) ? kQ3True : kQ3False;
}

TQ3Status Q3AttributeSet_Get(TQ3AttributeSet attributeSet, TQ3AttributeType type, void* data) {
    const AttributeSet* set = setOf(attributeSet);
    if (set == nullptr || !checkType(type)) return kQ3Failure;
    if (data == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    if (!set->get(type, data)) {
        q3d::postError(kQ3ErrorAttributeNotContained);
        return kQ3Failure;
    }
    return kQ3Success;
}

TQ3Status Q3AttributeSet_Clear(TQ3AttributeSet attributeSet, TQ3AttributeType type) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    AttributeSet* set = setOf(attributeSet);
    if (set == nullptr || !checkType(type)) return kQ3Failure;
    set->clear(type);
    return kQ3Success;
}

TQ3Status Q3AttributeSet_Empty(TQ3AttributeSet attributeSet) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    AttributeSet* set = setOf(attributeSet);
    if (set == nullptr) return kQ3Failure;
    set->empty();
    return kQ3Success;
}

TQ3Status Q3AttributeSet_GetNextAttributeType(TQ3AttributeSet attributeSet, TQ3AttributeType* type) {
    const AttributeSet* set = setOf(attributeSet);
    if (set == nullptr) return kQ3Failure;
    if (type == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    if (*type != kQ3AttributeTypeNone && !checkType(*type)) return kQ3Failure;
    TQ3AttributeType next = *type + 1;
    while (next < kQ3AttributeTypeNumTypes && !set->has(next)) ++next;
    *type = next < kQ3AttributeTypeNumTypes ? next : kQ3AttributeTypeNone;
    return kQ3Success;
}
