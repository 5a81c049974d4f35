// Draw contexts: the C++ side of QD3DDrawContext.h.
#pragma once

#include "platform/q3d/QD3DDrawContext.h"
#include "platform/q3d/core/Object.h"

namespace q3d {

class DrawContext : public SharedObject {
public:
    static constexpr ClassInfo kClass{kQ3SharedTypeDrawContext, &SharedObject::kClass};

    const TQ3DrawContextData& data() const { return data_; }
    // Replaces the common data when it passes the checks of
    // QD3DDrawContext.h; otherwise posts the error and returns false.
    bool setData(const TQ3DrawContextData& data);
    static bool check(const TQ3DrawContextData& data);

    // The clear colour for the renderer, or nullptr when the method does not
    // clear.
    const TQ3ColorARGB* clearColor() const {
        return data_.clearImageMethod == kQ3ClearMethodWithColor ? &data_.clearImageColor : nullptr;
    }

protected:
    // Precondition: check(data).
    explicit DrawContext(const TQ3DrawContextData& data) : data_(data) {}

private:
    TQ3DrawContextData data_;
};

class PixmapDrawContext final : public DrawContext {
public:
    static constexpr ClassInfo kClass{kQ3DrawContextTypePixmap, &DrawContext::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

    // Precondition: check(data).
    explicit PixmapDrawContext(const TQ3PixmapDrawContextData& data)
        : DrawContext(data.drawContextData), pixmap_(data.pixmap) {}
    static bool check(const TQ3PixmapDrawContextData& data);
    static bool checkPixmap(const TQ3Pixmap& pixmap);

    const TQ3Pixmap& pixmap() const { return pixmap_; }
    bool setPixmap(const TQ3Pixmap& pixmap);

    // What a pass draws into: the pixmap, or the part of it under the pane
    // when the pane is on (possibly empty).
    TQ3Pixmap target() const;

private:
    TQ3Pixmap pixmap_;
};

}  // namespace q3d
