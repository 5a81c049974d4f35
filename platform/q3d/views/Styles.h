// Styles: the C++ side of QD3DStyle.h. Each style object holds one value
// and writes it into a view's state when submitted.
#pragma once

#include "platform/q3d/QD3DStyle.h"
#include "platform/q3d/core/Object.h"
#include "platform/q3d/views/ViewState.h"

namespace q3d {

class Style : public Shape {
public:
    static constexpr ClassInfo kClass{kQ3ShapeTypeStyle, &Shape::kClass};
    virtual void apply(ViewState& state) const = 0;
};

// Whether each value is one the style accepts; posts
// kQ3ErrorParameterOutOfRange when not.
bool checkStyle(const TQ3FillStyle& value);
bool checkStyle(const TQ3BackfacingStyle& value);
bool checkStyle(const TQ3InterpolationStyle& value);
bool checkStyle(const TQ3SubdivisionStyleData& value);

inline void applyStyle(const TQ3FillStyle& value, ViewState& state) { state.fill = value; }
inline void applyStyle(const TQ3BackfacingStyle& value, ViewState& state) { state.backfacing = value; }
inline void applyStyle(const TQ3InterpolationStyle& value, ViewState& state) { state.interpolation = value; }
inline void applyStyle(const TQ3SubdivisionStyleData& value, ViewState& state) { state.subdivision = value; }

// A style of one kind whose value is Value.
template <class Value, TQ3ObjectType kType>
class StyleOf final : public Style {
public:
    static constexpr ClassInfo kClass{kType, &Style::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

    // Precondition: checkStyle(value).
    explicit StyleOf(const Value& value) : value_(value) {}

    const Value& value() const { return value_; }
    bool setValue(const Value& value) {
        if (!checkStyle(value)) return false;
        value_ = value;
        return true;
    }
    void apply(ViewState& state) const override { applyStyle(value_, state); }

private:
    Value value_;
};

// A style of a kind the renderer has no use for (orientation, highlight,
// anti-aliasing, shadows, picking), kept so that a model's content reads
// back whole.
template <TQ3ObjectType kType>
class InertStyle final : public Style {
public:
    static constexpr ClassInfo kClass{kType, &Style::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
    void apply(ViewState&) const override {}
};

using FillStyle = StyleOf<TQ3FillStyle, kQ3StyleTypeFill>;
using BackfacingStyle = StyleOf<TQ3BackfacingStyle, kQ3StyleTypeBackfacing>;
using InterpolationStyle = StyleOf<TQ3InterpolationStyle, kQ3StyleTypeInterpolation>;
using SubdivisionStyle = StyleOf<TQ3SubdivisionStyleData, kQ3StyleTypeSubdivision>;

}  // namespace q3d
