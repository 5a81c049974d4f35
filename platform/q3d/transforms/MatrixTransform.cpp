#include "platform/q3d/transforms/MatrixTransform.h"

#include "platform/q3d/QD3DTransform.h"
#include "platform/q3d/core/Boundary.h"

using q3d::MatrixTransform;

TQ3TransformObject Q3MatrixTransform_New(const TQ3Matrix4x4* matrix) {
    if (!q3d::mayCreate(__func__)) return nullptr;
    if (matrix == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return nullptr;
    }
    return q3d::guarded<TQ3Object>(
        nullptr, [&] { return q3d::adopt(std::make_unique<MatrixTransform>(*matrix)); });
}

TQ3Status Q3MatrixTransform_Set(TQ3TransformObject transform, const TQ3Matrix4x4* matrix) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    auto* t = q3d::resolveAs<MatrixTransform>(transform);
    if (t == nullptr) return kQ3Failure;
    if (matrix == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    t->setMatrix(*matrix);
    return kQ3Success;
}

TQ3Status Q3MatrixTransform_Get(TQ3TransformObject transform, TQ3Matrix4x4* matrix) {
    auto* t = q3d::resolveAs<MatrixTransform>(transform);
    if (t == nullptr) return kQ3Failure;
    if (matrix == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    *matrix = t->matrix();
    return kQ3Success;
}

TQ3Matrix4x4* Q3Matrix4x4_SetIdentity(TQ3Matrix4x4* matrix) {
    if (matrix == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return nullptr;
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) matrix->value[r][c] = r == c ? 1.0f : 0.0f;
    return matrix;
}
