// Views: the C++ side of QD3DView.h — what is attached to a view, the pass
// that runs in it, and the traversal of submitted content.
#pragma once

#include <memory>

#include "platform/q3d/QD3DView.h"
#include "platform/q3d/core/Object.h"
#include "platform/q3d/views/ViewState.h"

namespace q3d {

class Camera;
class DisplayGroup;
class Group;
class InteractiveRenderer;
class PixmapDrawContext;

class View final : public Object {
public:
    // A view is not shared: its type chain starts at the top.
    static constexpr ClassInfo kClass{kQ3ObjectTypeView, nullptr};
    const ClassInfo& classInfo() const override { return kClass; }

    View();
    // Abandons a pass that still runs, freeing its renderer.
    ~View() override;

    // Attachments; each setter takes a reference and releases the old one.
    // Refused while a pass runs (kQ3ErrorViewIsStarted). Getters return the
    // view's own reference (nullptr for none).
    bool setCamera(Camera& camera);
    bool setLightGroup(Group* lightGroup);
    bool setRenderer(InteractiveRenderer& renderer);
    bool setDrawContext(PixmapDrawContext& drawContext);
    Object* camera() const;
    Object* lightGroup() const;
    Object* renderer() const;
    Object* drawContext() const;

    // Passes (QD3DView.h). Each posts its error and returns false,
    // kQ3ViewStatusError or does nothing as the header says.
    bool startRendering();
    TQ3ViewStatus endRendering();
    // `mode` is read as its bits before it is checked: a C caller may pass
    // any value.
    bool startBounding(const TQ3ComputeBounds& mode);
    TQ3ViewStatus endBounding(TQ3BoundingBox* result);
    void cancel() noexcept;

    // Submits, valid inside a pass (else kQ3ErrorViewNotStarted). Throw
    // std::bad_alloc; the view's state is then as before the call.
    bool push();
    bool pop();
    bool submit(Object& object);
    bool submitMatrix(const TQ3Matrix4x4& matrix);
    // A style value without an object: `apply` writes it into the state.
    template <class Apply>
    bool submitStyle(Apply&& apply);

private:
    struct Impl;
    bool requirePass();
    ViewState& current();
    bool submitGroup(DisplayGroup& group);
    bool submitMember(Object& object, bool immediate);

    std::unique_ptr<Impl> impl_;
};

template <class Apply>
bool View::submitStyle(Apply&& apply) {
    if (!requirePass()) return false;
    apply(current());
    return true;
}

}  // namespace q3d
