// The transforms of model files (translate, scale, rotations, quaternion):
// each keeps the matrix its values give and acts as a matrix transform, with
// the file's kind as its leaf type.
#pragma once

#include "platform/q3d/transforms/MatrixTransform.h"

namespace q3d {

template <TQ3ObjectType kType>
class FileTransform final : public MatrixTransform {
public:
    static constexpr ClassInfo kClass{kType, &Transform::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
    using MatrixTransform::MatrixTransform;
};

}  // namespace q3d
