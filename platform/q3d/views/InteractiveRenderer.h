// Renderers: the C++ side of QD3DRenderer.h. The interactive renderer owns
// the software rasteriser (raster/Renderer.h) that draws a view's passes.
#pragma once

#include <memory>

#include "platform/q3d/QD3DRenderer.h"
#include "platform/q3d/core/Object.h"
#include "platform/q3d/raster/Renderer.h"

namespace q3d {

class Renderer : public SharedObject {
public:
    static constexpr ClassInfo kClass{kQ3SharedTypeRenderer, &SharedObject::kClass};
};

class InteractiveRenderer final : public Renderer {
public:
    static constexpr ClassInfo kClass{kQ3RendererTypeInteractive, &Renderer::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

    unsigned threadCount() const { return threadCount_; }
    // Posts the error of QD3DRenderer.h and returns false for a count out of
    // range or while a pass runs.
    bool setThreadCount(TQ3Uns32 threadCount);

    // The rasteriser, made on first use with the current thread count.
    // Throws std::bad_alloc or std::system_error (no thread) with nothing
    // changed.
    raster::Renderer& engine();

    // Set by the view whose pass the renderer is serving.
    bool busy() const { return busy_; }
    void setBusy(bool busy) { busy_ = busy; }

private:
    std::unique_ptr<raster::Renderer> engine_;
    unsigned threadCount_ = 1;
    bool busy_ = false;
};

}  // namespace q3d
