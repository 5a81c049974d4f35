#include "platform/q3d/views/InteractiveRenderer.h"

#include "platform/q3d/core/Boundary.h"
#include "platform/q3d/views/Checks.h"

namespace q3d {

static_assert(kQ3InteractiveRendererMaxThreads == raster::Renderer::kMaxThreads);

bool InteractiveRenderer::setThreadCount(TQ3Uns32 threadCount) {
    if (threadCount == 0 || threadCount > kQ3InteractiveRendererMaxThreads) {
        return views::refuse(kQ3ErrorParameterOutOfRange);
    }
    if (busy_) return views::refuse(kQ3ErrorRenderingIsActive);
    if (threadCount != threadCount_) {
        // The workers of the old count stop now; the new ones start with the
        // next pass, so a caller that never renders starts no thread.
        engine_.reset();
        threadCount_ = threadCount;
    }
    return true;
}

raster::Renderer& InteractiveRenderer::engine() {
    if (!engine_) engine_ = std::make_unique<raster::Renderer>(threadCount_);
    return *engine_;
}

}  // namespace q3d

using q3d::InteractiveRenderer;

TQ3RendererObject Q3Renderer_NewFromType(TQ3ObjectType rendererObjectType) {
    if (!q3d::mayCreate(__func__)) return nullptr;
    if (rendererObjectType != kQ3RendererTypeInteractive) {
        q3d::postError(kQ3ErrorInvalidObjectClass);
        return nullptr;
    }
    return q3d::guarded<TQ3Object>(nullptr, [] { return q3d::adopt(std::make_unique<InteractiveRenderer>()); });
}

TQ3ObjectType Q3Renderer_GetType(TQ3RendererObject renderer) {
    const q3d::Renderer* r = q3d::resolveAs<q3d::Renderer>(renderer);
    return r == nullptr ? kQ3ObjectTypeInvalid : r->leafType();
}

TQ3Status Q3InteractiveRenderer_SetThreadCount(TQ3RendererObject renderer, TQ3Uns32 threadCount) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    InteractiveRenderer* r = q3d::resolveAs<InteractiveRenderer>(renderer);
    return r != nullptr && r->setThreadCount(threadCount) ? kQ3Success : kQ3Failure;
}

TQ3Status Q3InteractiveRenderer_GetThreadCount(TQ3RendererObject renderer, TQ3Uns32* threadCount) {
    InteractiveRenderer* r = q3d::resolveAs<InteractiveRenderer>(renderer);
    if (r == nullptr || !q3d::views::notNull(threadCount)) return kQ3Failure;
    *threadCount = r->threadCount();
    return kQ3Success;
}
