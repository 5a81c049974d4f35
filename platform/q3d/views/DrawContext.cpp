#include "platform/q3d/views/DrawContext.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/q3d/core/Boundary.h"
#include "platform/q3d/raster/Renderer.h"
#include "platform/q3d/views/Checks.h"

namespace q3d {
namespace {

using views::bitsOf;
using views::finite;
using views::isBoolean;
using views::refuse;

bool isEndian(const TQ3Endian& value) { return bitsOf(value) <= kQ3EndianLittle; }

bool inUnitRange(float value) { return value >= 0 && value <= 1; }

// Pane coordinates in whole pixels: min rounds down, max up, both cut to
// [0, limit].
TQ3Uns32 paneEdge(float value, TQ3Uns32 limit, bool roundUp) {
    const double edge = roundUp ? std::ceil(double(value)) : std::floor(double(value));
    return TQ3Uns32(std::clamp(edge, 0.0, double(limit)));
}

}  // namespace

bool DrawContext::check(const TQ3DrawContextData& d) {
    const TQ3ColorARGB& c = d.clearImageColor;
    if (bitsOf(d.clearImageMethod) > kQ3ClearMethodWithColor || !inUnitRange(c.a) || !inUnitRange(c.r) ||
        !inUnitRange(c.g) || !inUnitRange(c.b) || !isBoolean(d.paneState) || !isBoolean(d.maskState) ||
        !isBoolean(d.doubleBufferState)) {
        return refuse(kQ3ErrorParameterOutOfRange);
    }
    if (!finite(d.pane.min) || !finite(d.pane.max) || d.pane.min.x > d.pane.max.x || d.pane.min.y > d.pane.max.y) {
        return refuse(kQ3ErrorParameterOutOfRange);
    }
    if (d.maskState == kQ3True) return refuse(kQ3ErrorUnsupportedFunctionality);
    return true;
}

bool DrawContext::setData(const TQ3DrawContextData& data) {
    if (!check(data)) return false;
    data_ = data;
    return true;
}

bool PixmapDrawContext::checkPixmap(const TQ3Pixmap& p) {
    const TQ3Uns32 type = bitsOf(p.pixelType);
    if (p.pixelSize != 32 || (type != kQ3PixelTypeRGB32 && type != kQ3PixelTypeARGB32)) {
        return refuse(kQ3ErrorUnsupportedPixelDepth);
    }
    if (!isEndian(p.bitOrder) || !isEndian(p.byteOrder) || p.width > raster::Renderer::kMaxTargetSide ||
        p.height > raster::Renderer::kMaxTargetSide) {
        return refuse(kQ3ErrorParameterOutOfRange);
    }
    if (p.rowBytes < p.width * 4) return refuse(kQ3ErrorInvalidParameter);
    if (p.image == nullptr && p.width != 0 && p.height != 0) return refuse(kQ3ErrorNULLParameter);
    return true;
}

bool PixmapDrawContext::check(const TQ3PixmapDrawContextData& d) {
    return DrawContext::check(d.drawContextData) && checkPixmap(d.pixmap);
}

bool PixmapDrawContext::setPixmap(const TQ3Pixmap& pixmap) {
    if (!checkPixmap(pixmap)) return false;
    pixmap_ = pixmap;
    return true;
}

TQ3Pixmap PixmapDrawContext::target() const {
    TQ3Pixmap t = pixmap_;
    if (data().paneState != kQ3True || t.image == nullptr) return t;
    const TQ3Area& pane = data().pane;
    const TQ3Uns32 x0 = paneEdge(pane.min.x, t.width, false);
    const TQ3Uns32 y0 = paneEdge(pane.min.y, t.height, false);
    const TQ3Uns32 x1 = std::max(x0, paneEdge(pane.max.x, t.width, true));
    const TQ3Uns32 y1 = std::max(y0, paneEdge(pane.max.y, t.height, true));
    t.width = x1 - x0;
    t.height = y1 - y0;
    if (t.width == 0 || t.height == 0) {
        t.width = t.height = 0;
        return t;
    }
    t.image = static_cast<unsigned char*>(pixmap_.image) + std::size_t(y0) * t.rowBytes + std::size_t(x0) * 4;
    return t;
}

}  // namespace q3d

using q3d::DrawContext;
using q3d::PixmapDrawContext;

namespace {

template <class T, class Arg, class Body>
TQ3Status withContext(TQ3DrawContextObject drawContext, Arg* arg, Body&& body) noexcept {
    T* c = q3d::resolveAs<T>(drawContext);
    if (c == nullptr || !q3d::views::notNull(arg)) return kQ3Failure;
    return body(*c, *arg) ? kQ3Success : kQ3Failure;
}

// A setter of one field of the common data: copy, change, check, store.
template <class Change>
TQ3Status changeData(TQ3DrawContextObject drawContext, Change&& change) noexcept {
    DrawContext* c = q3d::resolveAs<DrawContext>(drawContext);
    if (c == nullptr) return kQ3Failure;
    TQ3DrawContextData data = c->data();
    change(data);
    return c->setData(data) ? kQ3Success : kQ3Failure;
}

}  // namespace

TQ3ObjectType Q3DrawContext_GetType(TQ3DrawContextObject drawContext) {
    const DrawContext* c = q3d::resolveAs<DrawContext>(drawContext);
    return c == nullptr ? kQ3ObjectTypeInvalid : c->leafType();
}

TQ3DrawContextObject Q3PixmapDrawContext_New(const TQ3PixmapDrawContextData* contextData) {
    if (!q3d::mayCreate(__func__) || !q3d::views::notNull(contextData)) return nullptr;
    if (!PixmapDrawContext::check(*contextData)) return nullptr;
    return q3d::guarded<TQ3Object>(nullptr,
                                   [&] { return q3d::adopt(std::make_unique<PixmapDrawContext>(*contextData)); });
}

TQ3Status Q3PixmapDrawContext_SetPixmap(TQ3DrawContextObject drawContext, const TQ3Pixmap* pixmap) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    return withContext<PixmapDrawContext>(drawContext, pixmap,
                                          [](PixmapDrawContext& c, const TQ3Pixmap& in) { return c.setPixmap(in); });
}

TQ3Status Q3PixmapDrawContext_GetPixmap(TQ3DrawContextObject drawContext, TQ3Pixmap* pixmap) {
    return withContext<PixmapDrawContext>(drawContext, pixmap, [](PixmapDrawContext& c, TQ3Pixmap& out) {
        out = c.pixmap();
        return true;
    });
}

TQ3Status Q3DrawContext_GetData(TQ3DrawContextObject drawContext, TQ3DrawContextData* contextData) {
    return withContext<DrawContext>(drawContext, contextData, [](DrawContext& c, TQ3DrawContextData& out) {
        out = c.data();
        return true;
    });
}

TQ3Status Q3DrawContext_SetData(TQ3DrawContextObject drawContext, const TQ3DrawContextData* contextData) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    return withContext<DrawContext>(drawContext, contextData,
                                    [](DrawContext& c, const TQ3DrawContextData& in) { return c.setData(in); });
}

TQ3Status Q3DrawContext_GetClearImageColor(TQ3DrawContextObject drawContext, TQ3ColorARGB* color) {
    return withContext<DrawContext>(drawContext, color, [](DrawContext& c, TQ3ColorARGB& out) {
        out = c.data().clearImageColor;
        return true;
    });
}

TQ3Status Q3DrawContext_SetClearImageColor(TQ3DrawContextObject drawContext, const TQ3ColorARGB* color) {
    if (q3d::failPoint(__func__) || !q3d::views::notNull(color)) return kQ3Failure;
    return changeData(drawContext, [&](TQ3DrawContextData& d) { d.clearImageColor = *color; });
}

TQ3Status Q3DrawContext_GetClearImageMethod(TQ3DrawContextObject drawContext, TQ3DrawContextClearImageMethod* method) {
    return withContext<DrawContext>(drawContext, method, [](DrawContext& c, TQ3DrawContextClearImageMethod& out) {
        out = c.data().clearImageMethod;
        return true;
    });
}

TQ3Status Q3DrawContext_SetClearImageMethod(TQ3DrawContextObject drawContext, TQ3DrawContextClearImageMethod method) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    // Copied as bits: the check, not the copy, judges the value.
    return changeData(drawContext, [&](TQ3DrawContextData& d) { std::memcpy(&d.clearImageMethod, &method, sizeof method); });
}

TQ3Status Q3DrawContext_GetPane(TQ3DrawContextObject drawContext, TQ3Area* pane) {
    return withContext<DrawContext>(drawContext, pane, [](DrawContext& c, TQ3Area& out) {
        out = c.data().pane;
        return true;
    });
}

TQ3Status Q3DrawContext_SetPane(TQ3DrawContextObject drawContext, const TQ3Area* pane) {
    if (q3d::failPoint(__func__) || !q3d::views::notNull(pane)) return kQ3Failure;
    return changeData(drawContext, [&](TQ3DrawContextData& d) { d.pane = *pane; });
}

TQ3Status Q3DrawContext_GetPaneState(TQ3DrawContextObject drawContext, TQ3Boolean* state) {
    return withContext<DrawContext>(drawContext, state, [](DrawContext& c, TQ3Boolean& out) {
        out = c.data().paneState;
        return true;
    });
}

TQ3Status Q3DrawContext_SetPaneState(TQ3DrawContextObject drawContext, TQ3Boolean state) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    return changeData(drawContext, [&](TQ3DrawContextData& d) { std::memcpy(&d.paneState, &state, sizeof state); });
}
