#include "platform/q3d/views/Camera.h"

#include <cmath>

#include "platform/q3d/core/Boundary.h"
#include "platform/q3d/core/DoubleMath.h"
#include "platform/q3d/views/Checks.h"

namespace q3d {
namespace {

using views::finite;
using views::refuse;

D3 sub(const TQ3Point3D& a, const TQ3Point3D& b) { return d3(a) - d3(b); }

bool checkPlacement(const TQ3CameraPlacement& p) noexcept {
    if (!finite(p.cameraLocation) || !finite(p.pointOfInterest) || !finite(p.upVector)) {
        return refuse(kQ3ErrorInvalidCameraValues);
    }
    const D3 sight = sub(p.pointOfInterest, p.cameraLocation);
    const D3 up{p.upVector.x, p.upVector.y, p.upVector.z};
    const double sightLength = length(sight);
    const double upLength = length(up);
    // An up vector along the line of sight leaves the camera free to roll.
    if (!(sightLength > 0) || !(upLength > 0) || !(length(cross(up, sight)) > 1e-6 * sightLength * upLength)) {
        return refuse(kQ3ErrorInvalidCameraValues);
    }
    return true;
}

bool checkRange(const TQ3CameraRange& r, bool perspective) noexcept {
    if (!finite(r.hither) || !finite(r.yon)) return refuse(kQ3ErrorInvalidCameraValues);
    // A perspective projection divides by the distance: the near plane must
    // lie in front of the eye.
    if (!(r.hither < r.yon) || (perspective && !(r.hither > 0))) return refuse(kQ3ErrorParameterOutOfRange);
    return true;
}

bool checkViewPort(const TQ3CameraViewPort& v) noexcept {
    if (!finite(v.origin) || !finite(v.width) || !finite(v.height)) return refuse(kQ3ErrorInvalidCameraValues);
    if (!(v.width > 0) || !(v.height > 0)) return refuse(kQ3ErrorParameterOutOfRange);
    return true;
}

bool checkCommon(const TQ3CameraData& d, bool perspective) noexcept {
    return checkPlacement(d.placement) && checkRange(d.range, perspective) && checkViewPort(d.viewPort);
}

bool checkBox(float left, float top, float right, float bottom) noexcept {
    if (!finite(left) || !finite(top) || !finite(right) || !finite(bottom)) {
        return refuse(kQ3ErrorInvalidCameraValues);
    }
    if (left == right || top == bottom) return refuse(kQ3ErrorParameterOutOfRange);
    return true;
}

bool checkFieldOfView(float fov) noexcept {
    if (!finite(fov)) return refuse(kQ3ErrorInvalidCameraValues);
    if (!(fov > 0) || !(fov < 3.14159265f)) return refuse(kQ3ErrorParameterOutOfRange);
    return true;
}

bool checkAspect(float aspect) noexcept {
    if (!finite(aspect)) return refuse(kQ3ErrorInvalidCameraValues);
    if (!(aspect > 0)) return refuse(kQ3ErrorParameterOutOfRange);
    return true;
}

}  // namespace

bool Camera::setData(const TQ3CameraData& data) {
    if (!checkPlacement(data.placement) || !acceptsRange(data.range) || !checkViewPort(data.viewPort)) return false;
    data_ = data;
    return true;
}

bool Camera::setPlacement(const TQ3CameraPlacement& placement) {
    if (!checkPlacement(placement)) return false;
    data_.placement = placement;
    return true;
}

bool Camera::setRange(const TQ3CameraRange& range) {
    if (!acceptsRange(range)) return false;
    data_.range = range;
    return true;
}

bool Camera::setViewPort(const TQ3CameraViewPort& viewPort) {
    if (!checkViewPort(viewPort)) return false;
    data_.viewPort = viewPort;
    return true;
}

TQ3Matrix4x4 Camera::worldToView() const {
    const TQ3CameraPlacement& p = data_.placement;
    // The camera's axes in world coordinates: +Z points back at the eye.
    D3 back = sub(p.cameraLocation, p.pointOfInterest);
    back = back * (1.0 / length(back));
    D3 right = cross({p.upVector.x, p.upVector.y, p.upVector.z}, back);
    right = right * (1.0 / length(right));
    const D3 up = cross(back, right);
    const D3 eye{p.cameraLocation.x, p.cameraLocation.y, p.cameraLocation.z};
    const D3 axes[3] = {right, up, back};
    TQ3Matrix4x4 m{};
    for (int column = 0; column < 3; ++column) {
        m.value[0][column] = float(axes[column].x);
        m.value[1][column] = float(axes[column].y);
        m.value[2][column] = float(axes[column].z);
        m.value[3][column] = float(-dot(eye, axes[column]));
    }
    m.value[3][3] = 1;
    return m;
}

raster::Camera Camera::rasterBase() const {
    raster::Camera c;
    c.worldToView = worldToView();
    c.hither = data_.range.hither;
    c.yon = data_.range.yon;
    c.viewPort.origin = data_.viewPort.origin;
    c.viewPort.width = data_.viewPort.width;
    c.viewPort.height = data_.viewPort.height;
    return c;
}

OrthographicCamera::OrthographicCamera(const TQ3OrthographicCameraData& data)
    : Camera(data.cameraData), left_(data.left), top_(data.top), right_(data.right), bottom_(data.bottom) {}

bool OrthographicCamera::check(const TQ3OrthographicCameraData& d) {
    return checkCommon(d.cameraData, false) && checkBox(d.left, d.top, d.right, d.bottom);
}

TQ3OrthographicCameraData OrthographicCamera::fullData() const { return {data(), left_, top_, right_, bottom_}; }

bool OrthographicCamera::setFullData(const TQ3OrthographicCameraData& d) {
    if (!check(d)) return false;
    setData(d.cameraData);
    left_ = d.left, top_ = d.top, right_ = d.right, bottom_ = d.bottom;
    return true;
}

bool OrthographicCamera::acceptsRange(const TQ3CameraRange& range) const { return checkRange(range, false); }

raster::Camera OrthographicCamera::toRaster() const {
    raster::Camera c = rasterBase();
    c.kind = raster::ProjectionKind::Orthographic;
    c.left = left_, c.top = top_, c.right = right_, c.bottom = bottom_;
    return c;
}

ViewAngleAspectCamera::ViewAngleAspectCamera(const TQ3ViewAngleAspectCameraData& data)
    : Camera(data.cameraData), fov_(data.fov), aspect_(data.aspectRatioXToY) {}

bool ViewAngleAspectCamera::check(const TQ3ViewAngleAspectCameraData& d) {
    return checkCommon(d.cameraData, true) && checkFieldOfView(d.fov) && checkAspect(d.aspectRatioXToY);
}

TQ3ViewAngleAspectCameraData ViewAngleAspectCamera::fullData() const { return {data(), fov_, aspect_}; }

bool ViewAngleAspectCamera::setFullData(const TQ3ViewAngleAspectCameraData& d) {
    if (!check(d)) return false;
    setData(d.cameraData);
    fov_ = d.fov;
    aspect_ = d.aspectRatioXToY;
    return true;
}

bool ViewAngleAspectCamera::setFieldOfView(float fov) {
    if (!checkFieldOfView(fov)) return false;
    fov_ = fov;
    return true;
}

bool ViewAngleAspectCamera::setAspectRatio(float aspect) {
    if (!checkAspect(aspect)) return false;
    aspect_ = aspect;
    return true;
}

bool ViewAngleAspectCamera::acceptsRange(const TQ3CameraRange& range) const { return checkRange(range, true); }

raster::Camera ViewAngleAspectCamera::toRaster() const {
    raster::Camera c = rasterBase();
    c.kind = raster::ProjectionKind::Perspective;
    c.fieldOfView = fov_;
    c.aspectRatio = aspect_;
    return c;
}

}  // namespace q3d

using q3d::Camera;
using q3d::OrthographicCamera;
using q3d::ViewAngleAspectCamera;

namespace {

// The getters' and setters' common shape: resolve, check the pointer, act.
template <class T, class Arg, class Body>
TQ3Status withCamera(TQ3CameraObject camera, Arg* arg, Body&& body) noexcept {
    T* c = q3d::resolveAs<T>(camera);
    if (c == nullptr || !q3d::views::notNull(arg)) return kQ3Failure;
    return body(*c, *arg) ? kQ3Success : kQ3Failure;
}

}  // namespace

TQ3ObjectType Q3Camera_GetType(TQ3CameraObject camera) {
    const Camera* c = q3d::resolveAs<Camera>(camera);
    return c == nullptr ? kQ3ObjectTypeInvalid : c->leafType();
}

TQ3Status Q3Camera_GetData(TQ3CameraObject camera, TQ3CameraData* cameraData) {
    return withCamera<Camera>(camera, cameraData, [](Camera& c, TQ3CameraData& out) {
        out = c.data();
        return true;
    });
}

TQ3Status Q3Camera_SetData(TQ3CameraObject camera, const TQ3CameraData* cameraData) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    return withCamera<Camera>(camera, cameraData, [](Camera& c, const TQ3CameraData& in) { return c.setData(in); });
}

TQ3Status Q3Camera_GetPlacement(TQ3CameraObject camera, TQ3CameraPlacement* placement) {
    return withCamera<Camera>(camera, placement, [](Camera& c, TQ3CameraPlacement& out) {
        out = c.data().placement;
        return true;
    });
}

TQ3Status Q3Camera_SetPlacement(TQ3CameraObject camera, const TQ3CameraPlacement* placement) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    return withCamera<Camera>(camera, placement,
                              [](Camera& c, const TQ3CameraPlacement& in) { return c.setPlacement(in); });
}

TQ3Status Q3Camera_GetRange(TQ3CameraObject camera, TQ3CameraRange* range) {
    return withCamera<Camera>(camera, range, [](Camera& c, TQ3CameraRange& out) {
        out = c.data().range;
        return true;
    });
}

TQ3Status Q3Camera_SetRange(TQ3CameraObject camera, const TQ3CameraRange* range) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    return withCamera<Camera>(camera, range, [](Camera& c, const TQ3CameraRange& in) { return c.setRange(in); });
}

TQ3Status Q3Camera_GetViewPort(TQ3CameraObject camera, TQ3CameraViewPort* viewPort) {
    return withCamera<Camera>(camera, viewPort, [](Camera& c, TQ3CameraViewPort& out) {
        out = c.data().viewPort;
        return true;
    });
}

TQ3Status Q3Camera_SetViewPort(TQ3CameraObject camera, const TQ3CameraViewPort* viewPort) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    return withCamera<Camera>(camera, viewPort,
                              [](Camera& c, const TQ3CameraViewPort& in) { return c.setViewPort(in); });
}

TQ3Status Q3Camera_GetWorldToView(TQ3CameraObject camera, TQ3Matrix4x4* worldToView) {
    return withCamera<Camera>(camera, worldToView, [](Camera& c, TQ3Matrix4x4& out) {
        out = c.worldToView();
        return true;
    });
}

TQ3CameraObject Q3OrthographicCamera_New(const TQ3OrthographicCameraData* orthographicData) {
    if (!q3d::mayCreate(__func__) || !q3d::views::notNull(orthographicData)) return nullptr;
    if (!OrthographicCamera::check(*orthographicData)) return nullptr;
    return q3d::guarded<TQ3Object>(nullptr,
                                   [&] { return q3d::adopt(std::make_unique<OrthographicCamera>(*orthographicData)); });
}

TQ3Status Q3OrthographicCamera_GetData(TQ3CameraObject camera, TQ3OrthographicCameraData* cameraData) {
    return withCamera<OrthographicCamera>(camera, cameraData,
                                          [](OrthographicCamera& c, TQ3OrthographicCameraData& out) {
                                              out = c.fullData();
                                              return true;
                                          });
}

TQ3Status Q3OrthographicCamera_SetData(TQ3CameraObject camera, const TQ3OrthographicCameraData* cameraData) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    return withCamera<OrthographicCamera>(
        camera, cameraData,
        [](OrthographicCamera& c, const TQ3OrthographicCameraData& in) { return c.setFullData(in); });
}

TQ3CameraObject Q3ViewAngleAspectCamera_New(const TQ3ViewAngleAspectCameraData* cameraData) {
    if (!q3d::mayCreate(__func__) || !q3d::views::notNull(cameraData)) return nullptr;
    if (!ViewAngleAspectCamera::check(*cameraData)) return nullptr;
    return q3d::guarded<TQ3Object>(nullptr,
                                   [&] { return q3d::adopt(std::make_unique<ViewAngleAspectCamera>(*cameraData)); });
}

TQ3Status Q3ViewAngleAspectCamera_GetData(TQ3CameraObject camera, TQ3ViewAngleAspectCameraData* cameraData) {
    return withCamera<ViewAngleAspectCamera>(camera, cameraData,
                                             [](ViewAngleAspectCamera& c, TQ3ViewAngleAspectCameraData& out) {
                                                 out = c.fullData();
                                                 return true;
                                             });
}

TQ3Status Q3ViewAngleAspectCamera_SetData(TQ3CameraObject camera, const TQ3ViewAngleAspectCameraData* cameraData) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    return withCamera<ViewAngleAspectCamera>(
        camera, cameraData,
        [](ViewAngleAspectCamera& c, const TQ3ViewAngleAspectCameraData& in) { return c.setFullData(in); });
}

TQ3Status Q3ViewAngleAspectCamera_SetFOV(TQ3CameraObject camera, TQ3Float32 fov) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    ViewAngleAspectCamera* c = q3d::resolveAs<ViewAngleAspectCamera>(camera);
    return c != nullptr && c->setFieldOfView(fov) ? kQ3Success : kQ3Failure;
}

TQ3Status Q3ViewAngleAspectCamera_GetFOV(TQ3CameraObject camera, TQ3Float32* fov) {
    return withCamera<ViewAngleAspectCamera>(camera, fov, [](ViewAngleAspectCamera& c, TQ3Float32& out) {
        out = c.fieldOfView();
        return true;
    });
}

TQ3Status Q3ViewAngleAspectCamera_SetAspectRatio(TQ3CameraObject camera, TQ3Float32 aspectRatioXToY) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    ViewAngleAspectCamera* c = q3d::resolveAs<ViewAngleAspectCamera>(camera);
    return c != nullptr && c->setAspectRatio(aspectRatioXToY) ? kQ3Success : kQ3Failure;
}

TQ3Status Q3ViewAngleAspectCamera_GetAspectRatio(TQ3CameraObject camera, TQ3Float32* aspectRatioXToY) {
    return withCamera<ViewAngleAspectCamera>(camera, aspectRatioXToY, [](ViewAngleAspectCamera& c, TQ3Float32& out) {
        out = c.aspectRatio();
        return true;
    });
}
