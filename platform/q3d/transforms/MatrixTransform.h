// Matrix transforms: a 4×4 row-vector matrix applied to what follows.
#pragma once

#include "platform/q3d/core/Object.h"

namespace q3d {

class Transform : public Shape {
public:
    static constexpr ClassInfo kClass{kQ3ShapeTypeTransform, &Shape::kClass};
};

class MatrixTransform : public Transform {
public:
    static constexpr ClassInfo kClass{kQ3TransformTypeMatrix, &Transform::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

    explicit MatrixTransform(const TQ3Matrix4x4& matrix) : matrix_(matrix) {}

    const TQ3Matrix4x4& matrix() const { return matrix_; }
    void setMatrix(const TQ3Matrix4x4& matrix) { matrix_ = matrix; }

private:
    TQ3Matrix4x4 matrix_;
};

}  // namespace q3d
