// What a model file holds that the library does not draw: lights, cameras,
// view hints, strings, and types it does not know. Kept as an object so a
// reader sees everything in file order; its leaf type is the file's own
// code (kQ3ShapeTypeUnknown when a text name has none).
#pragma once

#include "platform/q3d/core/Object.h"

namespace q3d {

class UnknownObject final : public Shape {
public:
    static constexpr ClassInfo kClass{kQ3ShapeTypeUnknown, &Shape::kClass};
    explicit UnknownObject(TQ3ObjectType code)
        : info_{code != 0 && code != kQ3ShapeTypeUnknown ? ClassInfo{code, &kClass} : kClass} {}
    const ClassInfo& classInfo() const override { return info_; }
    bool isDrawable() const override { return false; }

private:
    ClassInfo info_;
};

}  // namespace q3d
