#include "platform/q3d/views/View.h"

#include <cmath>
#include <utility>
#include <vector>

#include "platform/q3d/QD3DStyle.h"
#include "platform/q3d/core/Boundary.h"
#include "platform/q3d/core/DoubleMath.h"
#include "platform/q3d/core/Ref.h"
#include "platform/q3d/geometry/Geometry.h"
#include "platform/q3d/groups/Group.h"
#include "platform/q3d/lights/Lights.h"
#include "platform/q3d/raster/Camera.h"
#include "platform/q3d/shaders/Shaders.h"
#include "platform/q3d/transforms/MatrixTransform.h"
#include "platform/q3d/views/Camera.h"
#include "platform/q3d/views/DrawContext.h"
#include "platform/q3d/views/GeometryPass.h"
#include "platform/q3d/views/InteractiveRenderer.h"
#include "platform/q3d/views/Styles.h"

namespace q3d {
namespace {

using views::refuse;

enum class Pass { None, Rendering, Bounding };

// a · b for row-vector matrices: b applies after a.
raster::Light toRaster(const Light& light) {
    raster::Light r;
    const TQ3LightData& common = light.lightData();
    r.isOn = common.isOn == kQ3True;
    r.brightness = common.brightness;
    r.color = common.color;
    if (const auto* directional = dynamic_cast<const DirectionalLight*>(&light)) {
        r.kind = raster::LightKind::Directional;
        r.direction = directional->data().direction;
    } else if (const auto* point = dynamic_cast<const PointLight*>(&light)) {
        r.kind = raster::LightKind::Point;
        r.location = point->data().location;
        r.attenuation = static_cast<raster::Attenuation>(point->data().attenuation);
    } else if (const auto* spot = dynamic_cast<const SpotLight*>(&light)) {
        const TQ3SpotLightData& d = spot->data();
        r.kind = raster::LightKind::Spot;
        r.location = d.location;
        r.direction = d.direction;
        r.attenuation = static_cast<raster::Attenuation>(d.attenuation);
        r.hotAngle = d.hotAngle;
        r.outerAngle = d.outerAngle;
        r.fallOff = static_cast<raster::FallOff>(d.fallOff);
    } else {
        r.kind = raster::LightKind::Ambient;
    }
    return r;
}

// Pixels per world unit of the picture (at unit distance for a perspective
// camera), for screen-space subdivision.
views::ScreenScale screenScale(const raster::Camera& c, const TQ3Pixmap& target) {
    views::ScreenScale scale;
    scale.known = true;
    scale.worldToView = c.worldToView;
    const double kx = target.width / double(c.viewPort.width);
    const double ky = target.height / double(c.viewPort.height);
    if (c.kind == raster::ProjectionKind::Perspective) {
        scale.perspective = true;
        const double s = 1.0 / std::tan(0.5 * c.fieldOfView);
        const double aspect = c.aspectRatio;
        scale.pixelsPerUnit = std::min(kx * (aspect >= 1 ? s / aspect : s), ky * (aspect >= 1 ? s : s * aspect));
    } else {
        scale.pixelsPerUnit =
            std::min(kx * 2 / std::fabs(double(c.right) - c.left), ky * 2 / std::fabs(double(c.top) - c.bottom));
    }
    return scale;
}

}  // namespace

struct View::Impl {
    Ref<Camera> camera;
    Ref<Group> lightGroup;
    Ref<InteractiveRenderer> renderer;
    Ref<PixmapDrawContext> drawContext;

    Pass pass = Pass::None;
    TQ3ComputeBounds boundsMode = kQ3ComputeBoundsExact;
    // states[0] is what the pass started with; back() is in effect.
    std::vector<ViewState> states;
    // Shaders submitted on their own stay alive until the pass ends, since
    // the state refers to them.
    std::vector<Ref<TextureShader>> keepAlive;
    views::ScreenScale scale;
    views::BoundsBox bounds;
    views::GeometryPass geometry;
    std::vector<raster::Light> lights;
    struct Frame {
        const OwnedReferences* members;
        OwnedReferences::const_iterator next;
    };
    std::vector<Frame> frames;

    void finishPass() noexcept {
        if (pass == Pass::Rendering) {
            renderer->engine().endFrame();
            renderer->setBusy(false);
        }
        pass = Pass::None;
        states.clear();
        keepAlive.clear();
        frames.clear();
    }
};

View::View() : impl_(std::make_unique<Impl>()) {}

View::~View() { cancel(); }

bool View::setCamera(Camera& camera) {
    if (impl_->pass != Pass::None) return refuse(kQ3ErrorViewIsStarted);
    impl_->camera = Ref<Camera>::share(&camera);
    return true;
}

bool View::setLightGroup(Group* lightGroup) {
    if (impl_->pass != Pass::None) return refuse(kQ3ErrorViewIsStarted);
    impl_->lightGroup = Ref<Group>::share(lightGroup);
    return true;
}

bool View::setRenderer(InteractiveRenderer& renderer) {
    if (impl_->pass != Pass::None) return refuse(kQ3ErrorViewIsStarted);
    impl_->renderer = Ref<InteractiveRenderer>::share(&renderer);
    return true;
}

bool View::setDrawContext(PixmapDrawContext& drawContext) {
    if (impl_->pass != Pass::None) return refuse(kQ3ErrorViewIsStarted);
    impl_->drawContext = Ref<PixmapDrawContext>::share(&drawContext);
    return true;
}

Object* View::camera() const { return impl_->camera.get(); }
Object* View::lightGroup() const { return impl_->lightGroup.get(); }
Object* View::renderer() const { return impl_->renderer.get(); }
Object* View::drawContext() const { return impl_->drawContext.get(); }

bool View::startRendering() {
    Impl& d = *impl_;
    if (d.pass != Pass::None) return refuse(kQ3ErrorViewIsStarted);
    if (!d.camera) return refuse(kQ3ErrorCameraNotSet);
    if (!d.renderer) return refuse(kQ3ErrorRendererNotSet);
    if (!d.drawContext) return refuse(kQ3ErrorDrawContextNotSet);
    if (d.renderer->busy()) return refuse(kQ3ErrorRenderingIsActive);
    const raster::Camera camera = d.camera->toRaster();
    if (!raster::isValid(camera)) return refuse(kQ3ErrorInvalidCameraValues);

    d.lights.clear();
    if (d.lightGroup) {
        for (const Object* member : d.lightGroup->members()) {
            if (const auto* light = dynamic_cast<const Light*>(member)) d.lights.push_back(toRaster(*light));
        }
    }
    d.states.assign(1, ViewState{});
    raster::Renderer& engine = d.renderer->engine();
    const TQ3Pixmap target = d.drawContext->target();
    if (!engine.beginFrame(target, d.drawContext->clearColor())) return refuse(kQ3ErrorBadDrawContext);
    engine.setCamera(camera);
    engine.setLights(d.lights);
    d.scale = screenScale(camera, target);
    d.renderer->setBusy(true);
    d.pass = Pass::Rendering;
    return true;
}

TQ3ViewStatus View::endRendering() {
    if (impl_->pass != Pass::Rendering) {
        postError(kQ3ErrorRenderingNotStarted);
        return kQ3ViewStatusError;
    }
    // Every draw is finished when its call returns: one traversal is enough.
    impl_->finishPass();
    return kQ3ViewStatusDone;
}

bool View::startBounding(const TQ3ComputeBounds& mode) {
    Impl& d = *impl_;
    if (views::bitsOf(mode) > kQ3ComputeBoundsApproximate) return refuse(kQ3ErrorParameterOutOfRange);
    if (d.pass != Pass::None) return refuse(kQ3ErrorViewIsStarted);
    d.states.assign(1, ViewState{});
    d.bounds = views::BoundsBox{};
    d.boundsMode = mode;
    d.scale = views::ScreenScale{};
    d.pass = Pass::Bounding;
    return true;
}

TQ3ViewStatus View::endBounding(TQ3BoundingBox* result) {
    Impl& d = *impl_;
    if (d.pass != Pass::Bounding) {
        postError(kQ3ErrorBoundsNotStarted);
        return kQ3ViewStatusError;
    }
    const TQ3BoundingBox box = d.bounds.result();
    d.finishPass();
    if (result == nullptr) {
        postError(kQ3ErrorNULLParameter);
        return kQ3ViewStatusError;
    }
    *result = box;
    return kQ3ViewStatusDone;
}

void View::cancel() noexcept { impl_->finishPass(); }

bool View::requirePass() { return impl_->pass != Pass::None || refuse(kQ3ErrorViewNotStarted); }

ViewState& View::current() { return impl_->states.back(); }

bool View::push() {
    if (!requirePass()) return false;
    const ViewState saved = current();
    impl_->states.push_back(saved);
    return true;
}

bool View::pop() {
    if (!requirePass()) return false;
    if (impl_->states.size() <= 1) return refuse(kQ3ErrorNothingToPop);
    impl_->states.pop_back();
    return true;
}

bool View::submitMatrix(const TQ3Matrix4x4& matrix) {
    if (!requirePass()) return false;
    ViewState& state = current();
    // The latest transform acts on the geometry first.
    state.localToWorld = matrixProduct(matrix, state.localToWorld);
    return true;
}

bool View::submit(Object& object) {
    if (!requirePass()) return false;
    if (auto* group = objectAs<DisplayGroup>(object)) return submitGroup(*group);
    return submitMember(object, true);
}

bool View::submitGroup(DisplayGroup& group) {
    // Iterative, so that deep nesting cannot exhaust the stack; every group
    // level has its own saved state, dropped when the level ends.
    Impl& d = *impl_;
    const std::size_t baseDepth = d.states.size();
    struct Restore {
        Impl& d;
        std::size_t depth;
        bool armed = true;
        ~Restore() {
            if (armed) {
                d.states.resize(depth);
                d.frames.clear();
            }
        }
    } restore{d, baseDepth};

    d.frames.clear();
    push();
    d.frames.push_back({&group.members(), group.members().begin()});
    while (!d.frames.empty()) {
        Impl::Frame& frame = d.frames.back();
        if (frame.next == frame.members->end()) {
            d.frames.pop_back();
            d.states.pop_back();
            continue;
        }
        Object& member = **frame.next;
        ++frame.next;
        if (auto* nested = objectAs<DisplayGroup>(member)) {
            push();
            d.frames.push_back({&nested->members(), nested->members().begin()});
            continue;
        }
        if (!submitMember(member, false)) return false;
    }
    restore.armed = false;
    return true;
}

bool View::submitMember(Object& object, bool immediate) {
    Impl& d = *impl_;
    ViewState& state = current();
    if (auto* geometry = objectAs<Geometry>(object)) {
        TQ3Error error;
        if (d.pass == Pass::Rendering) {
            error = d.geometry.draw(d.renderer->engine(), *geometry, state, d.scale);
        } else {
            error = d.geometry.bound(*geometry, state, d.boundsMode, d.bounds);
        }
        return error == kQ3ErrorNone || refuse(error);
    }
    if (auto* transform = objectAs<MatrixTransform>(object)) {
        state.localToWorld = matrixProduct(transform->matrix(), state.localToWorld);
        return true;
    }
    if (auto* style = objectAs<Style>(object)) {
        style->apply(state);
        return true;
    }
    if (auto* set = objectAs<AttributeSet>(object)) {
        state.surface.merge(*set);
        return true;
    }
    if (auto* textureShader = objectAs<TextureShader>(object)) {
        if (immediate) d.keepAlive.push_back(Ref<TextureShader>::share(textureShader));
        state.textureShader = textureShader;
        return true;
    }
    if (object.isType(kQ3ShaderTypeIllumination)) {
        switch (object.leafType()) {
            case kQ3IlluminationTypePhong:
                state.illumination = raster::Illumination::Phong;
                break;
            case kQ3IlluminationTypeLambert:
                state.illumination = raster::Illumination::Lambert;
                break;
            default:
                state.illumination = raster::Illumination::Null;
                break;
        }
        return true;
    }
    // The view's lights and camera are its own; the ones a scene carries are
    // not drawn.
    if (object.isType(kQ3ShapeTypeLight) || object.isType(kQ3ShapeTypeCamera)) return true;
    return refuse(kQ3ErrorInvalidObjectType);
}

}  // namespace q3d

using q3d::View;

namespace {

// The entry points' common shape: the seam, the view, then the body, with
// no exception reaching the caller.
template <class Body>
TQ3Status withView(const char* function, TQ3ViewObject view, Body&& body) noexcept {
    if (q3d::failPoint(function)) return kQ3Failure;
    return q3d::guarded<TQ3Status>(kQ3Failure, [&]() -> TQ3Status {
        View* v = q3d::resolveAs<View>(view);
        if (v == nullptr) return kQ3Failure;
        return body(*v) ? kQ3Success : kQ3Failure;
    });
}

template <class T, class Setter>
TQ3Status attach(const char* function, TQ3ViewObject view, TQ3Object object, Setter&& setter) noexcept {
    return withView(function, view, [&](View& v) {
        T* typed = q3d::resolveAs<T>(object);
        return typed != nullptr && setter(v, *typed);
    });
}

TQ3Status getAttached(TQ3ViewObject view, TQ3Object* out, q3d::Object* (View::*getter)() const) noexcept {
    View* v = q3d::resolveAs<View>(view);
    if (v == nullptr || !q3d::views::notNull(out)) return kQ3Failure;
    q3d::Object* object = (v->*getter)();
    if (object != nullptr) q3d::retain(*object);
    *out = object != nullptr ? q3d::handleOf(*object) : nullptr;
    return kQ3Success;
}

template <class T>
TQ3Status submitAs(const char* function, TQ3Object object, TQ3ViewObject view) noexcept {
    return withView(function, view, [&](View& v) {
        T* typed = q3d::resolveAs<T>(object);
        return typed != nullptr && v.submit(*typed);
    });
}

template <class Value>
TQ3Status submitStyleValue(const char* function, const Value& value, TQ3ViewObject view) noexcept {
    return withView(function, view, [&](View& v) {
        return q3d::checkStyle(value) && v.submitStyle([&](q3d::ViewState& state) { q3d::applyStyle(value, state); });
    });
}

}  // namespace

TQ3ViewObject Q3View_New(void) { return q3d::createObject<View>(__func__); }

TQ3Status Q3View_SetCamera(TQ3ViewObject view, TQ3CameraObject camera) {
    return attach<q3d::Camera>(__func__, view, camera, [](View& v, q3d::Camera& c) { return v.setCamera(c); });
}

TQ3Status Q3View_SetRenderer(TQ3ViewObject view, TQ3RendererObject renderer) {
    return attach<q3d::InteractiveRenderer>(__func__, view, renderer,
                                            [](View& v, q3d::InteractiveRenderer& r) { return v.setRenderer(r); });
}

TQ3Status Q3View_SetDrawContext(TQ3ViewObject view, TQ3DrawContextObject drawContext) {
    return attach<q3d::PixmapDrawContext>(__func__, view, drawContext,
                                          [](View& v, q3d::PixmapDrawContext& c) { return v.setDrawContext(c); });
}

TQ3Status Q3View_SetLightGroup(TQ3ViewObject view, TQ3GroupObject lightGroup) {
    return withView(__func__, view, [&](View& v) {
        if (lightGroup == nullptr) return v.setLightGroup(nullptr);
        q3d::LightGroup* group = q3d::resolveAs<q3d::LightGroup>(lightGroup);
        return group != nullptr && v.setLightGroup(group);
    });
}

TQ3Status Q3View_GetCamera(TQ3ViewObject view, TQ3CameraObject* camera) {
    return getAttached(view, camera, &View::camera);
}
TQ3Status Q3View_GetLightGroup(TQ3ViewObject view, TQ3GroupObject* lightGroup) {
    return getAttached(view, lightGroup, &View::lightGroup);
}
TQ3Status Q3View_GetRenderer(TQ3ViewObject view, TQ3RendererObject* renderer) {
    return getAttached(view, renderer, &View::renderer);
}
TQ3Status Q3View_GetDrawContext(TQ3ViewObject view, TQ3DrawContextObject* drawContext) {
    return getAttached(view, drawContext, &View::drawContext);
}

TQ3Status Q3View_StartRendering(TQ3ViewObject view) {
    return withView(__func__, view, [](View& v) { return v.startRendering(); });
}

TQ3ViewStatus Q3View_EndRendering(TQ3ViewObject view) {
    if (q3d::failPoint(__func__)) return kQ3ViewStatusError;
    View* v = q3d::resolveAs<View>(view);
    return v == nullptr ? kQ3ViewStatusError : v->endRendering();
}

TQ3Status Q3View_Cancel(TQ3ViewObject view) {
    return withView(__func__, view, [](View& v) {
        v.cancel();
        return true;
    });
}

TQ3Status Q3View_StartBoundingBox(TQ3ViewObject view, TQ3ComputeBounds computeBounds) {
    return withView(__func__, view, [&](View& v) { return v.startBounding(computeBounds); });
}

TQ3ViewStatus Q3View_EndBoundingBox(TQ3ViewObject view, TQ3BoundingBox* result) {
    if (q3d::failPoint(__func__)) return kQ3ViewStatusError;
    View* v = q3d::resolveAs<View>(view);
    return v == nullptr ? kQ3ViewStatusError : v->endBounding(result);
}

TQ3Status Q3Push_Submit(TQ3ViewObject view) {
    return withView(__func__, view, [](View& v) { return v.push(); });
}

TQ3Status Q3Pop_Submit(TQ3ViewObject view) {
    return withView(__func__, view, [](View& v) { return v.pop(); });
}

TQ3Status Q3Object_Submit(TQ3Object object, TQ3ViewObject view) {
    return withView(__func__, view, [&](View& v) {
        q3d::Object* o = q3d::resolve(object);
        return o != nullptr && v.submit(*o);
    });
}

TQ3Status Q3Geometry_Submit(TQ3GeometryObject geometry, TQ3ViewObject view) {
    return submitAs<q3d::Geometry>(__func__, geometry, view);
}

TQ3Status Q3Shader_Submit(TQ3ShaderObject shader, TQ3ViewObject view) {
    return submitAs<q3d::Shader>(__func__, shader, view);
}

TQ3Status Q3AttributeSet_Submit(TQ3AttributeSet attributeSet, TQ3ViewObject view) {
    return submitAs<q3d::AttributeSet>(__func__, attributeSet, view);
}

TQ3Status Q3Transform_Submit(TQ3TransformObject transform, TQ3ViewObject view) {
    return submitAs<q3d::Transform>(__func__, transform, view);
}

TQ3Status Q3DisplayGroup_Submit(TQ3GroupObject group, TQ3ViewObject view) {
    return submitAs<q3d::DisplayGroup>(__func__, group, view);
}

TQ3Status Q3Style_Submit(TQ3StyleObject style, TQ3ViewObject view) {
    return submitAs<q3d::Style>(__func__, style, view);
}

TQ3Status Q3MatrixTransform_Submit(const TQ3Matrix4x4* matrix, TQ3ViewObject view) {
    return withView(__func__, view, [&](View& v) { return q3d::views::notNull(matrix) && v.submitMatrix(*matrix); });
}

TQ3Status Q3FillStyle_Submit(TQ3FillStyle fillStyle, TQ3ViewObject view) {
    return submitStyleValue(__func__, fillStyle, view);
}
TQ3Status Q3BackfacingStyle_Submit(TQ3BackfacingStyle backfacingStyle, TQ3ViewObject view) {
    return submitStyleValue(__func__, backfacingStyle, view);
}
TQ3Status Q3InterpolationStyle_Submit(TQ3InterpolationStyle interpolationStyle, TQ3ViewObject view) {
    return submitStyleValue(__func__, interpolationStyle, view);
}
TQ3Status Q3SubdivisionStyle_Submit(const TQ3SubdivisionStyleData* data, TQ3ViewObject view) {
    return withView(__func__, view, [&](View& v) {
        return q3d::views::notNull(data) && q3d::checkStyle(*data) &&
               v.submitStyle([&](q3d::ViewState& state) { q3d::applyStyle(*data, state); });
    });
}
