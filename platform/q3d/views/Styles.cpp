#include "platform/q3d/views/Styles.h"

#include "platform/q3d/core/Boundary.h"

namespace q3d {

using views::bitsOf;
using views::finite;
using views::refuse;

bool checkStyle(const TQ3FillStyle& value) {
    return bitsOf(value) <= kQ3FillStylePoints || refuse(kQ3ErrorParameterOutOfRange);
}

bool checkStyle(const TQ3BackfacingStyle& value) {
    return bitsOf(value) <= kQ3BackfacingStyleFlip || refuse(kQ3ErrorParameterOutOfRange);
}

bool checkStyle(const TQ3InterpolationStyle& value) {
    return bitsOf(value) <= kQ3InterpolationStylePixel || refuse(kQ3ErrorParameterOutOfRange);
}

bool checkStyle(const TQ3SubdivisionStyleData& value) {
    if (bitsOf(value.method) > kQ3SubdivisionMethodScreenSpace || !finite(value.c1) || !(value.c1 > 0)) {
        return refuse(kQ3ErrorParameterOutOfRange);
    }
    // c2 counts only for the constant method; the others ignore it.
    if (value.method == kQ3SubdivisionMethodConstant && (!finite(value.c2) || !(value.c2 > 0))) {
        return refuse(kQ3ErrorParameterOutOfRange);
    }
    return true;
}

}  // namespace q3d

namespace {

template <class StyleT, class Value>
TQ3StyleObject newStyle(const char* function, const Value& value) noexcept {
    if (!q3d::mayCreate(function) || !q3d::checkStyle(value)) return nullptr;
    return q3d::guarded<TQ3Object>(nullptr, [&] { return q3d::adopt(std::make_unique<StyleT>(value)); });
}

template <class StyleT, class Value>
TQ3Status getStyle(TQ3StyleObject style, Value* out) noexcept {
    StyleT* s = q3d::resolveAs<StyleT>(style);
    if (s == nullptr || !q3d::views::notNull(out)) return kQ3Failure;
    *out = s->value();
    return kQ3Success;
}

template <class StyleT, class Value>
TQ3Status setStyle(const char* function, TQ3StyleObject style, const Value& value) noexcept {
    if (q3d::failPoint(function)) return kQ3Failure;
    StyleT* s = q3d::resolveAs<StyleT>(style);
    return s != nullptr && s->setValue(value) ? kQ3Success : kQ3Failure;
}

}  // namespace

TQ3ObjectType Q3Style_GetType(TQ3StyleObject style) {
    const q3d::Style* s = q3d::resolveAs<q3d::Style>(style);
    return s == nullptr ? kQ3ObjectTypeInvalid : s->leafType();
}

TQ3StyleObject Q3FillStyle_New(TQ3FillStyle fillStyle) { return newStyle<q3d::FillStyle>(__func__, fillStyle); }
TQ3Status Q3FillStyle_Get(TQ3StyleObject fillObject, TQ3FillStyle* fillStyle) {
    return getStyle<q3d::FillStyle>(fillObject, fillStyle);
}
TQ3Status Q3FillStyle_Set(TQ3StyleObject fillObject, TQ3FillStyle fillStyle) {
    return setStyle<q3d::FillStyle>(__func__, fillObject, fillStyle);
}

TQ3StyleObject Q3BackfacingStyle_New(TQ3BackfacingStyle backfacingStyle) {
    return newStyle<q3d::BackfacingStyle>(__func__, backfacingStyle);
}
TQ3Status Q3BackfacingStyle_Get(TQ3StyleObject backfacingObject, TQ3BackfacingStyle* backfacingStyle) {
    return getStyle<q3d::BackfacingStyle>(backfacingObject, backfacingStyle);
}
TQ3Status Q3BackfacingStyle_Set(TQ3StyleObject backfacingObject, TQ3BackfacingStyle backfacingStyle) {
    return setStyle<q3d::BackfacingStyle>(__func__, backfacingObject, backfacingStyle);
}

TQ3StyleObject Q3InterpolationStyle_New(TQ3InterpolationStyle interpolationStyle) {
    return newStyle<q3d::InterpolationStyle>(__func__, interpolationStyle);
}
TQ3Status Q3InterpolationStyle_Get(TQ3StyleObject interpolationObject, TQ3InterpolationStyle* interpolationStyle) {
    return getStyle<q3d::InterpolationStyle>(interpolationObject, interpolationStyle);
}
TQ3Status Q3InterpolationStyle_Set(TQ3StyleObject interpolationObject, TQ3InterpolationStyle interpolationStyle) {
    return setStyle<q3d::InterpolationStyle>(__func__, interpolationObject, interpolationStyle);
}

TQ3StyleObject Q3SubdivisionStyle_New(const TQ3SubdivisionStyleData* data) {
    if (data == nullptr) {
        // The seam and the initialisation come first, as in every creation.
        if (q3d::mayCreate(__func__)) q3d::postError(kQ3ErrorNULLParameter);
        return nullptr;
    }
    return newStyle<q3d::SubdivisionStyle>(__func__, *data);
}
TQ3Status Q3SubdivisionStyle_GetData(TQ3StyleObject subdiv, TQ3SubdivisionStyleData* data) {
    return getStyle<q3d::SubdivisionStyle>(subdiv, data);
}
TQ3Status Q3SubdivisionStyle_SetData(TQ3StyleObject subdiv, const TQ3SubdivisionStyleData* data) {
    if (data == nullptr) {
        if (!q3d::failPoint(__func__)) q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    return setStyle<q3d::SubdivisionStyle>(__func__, subdiv, *data);
}
