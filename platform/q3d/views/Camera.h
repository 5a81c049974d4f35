// Cameras: the C++ side of QD3DCamera.h. A camera keeps its records as
// given (after checking them) and turns them into the rasteriser's camera
// at the start of each rendering pass.
#pragma once

#include "platform/q3d/QD3DCamera.h"
#include "platform/q3d/core/Object.h"
#include "platform/q3d/raster/Camera.h"

namespace q3d {

class Camera : public Shape {
public:
    static constexpr ClassInfo kClass{kQ3ShapeTypeCamera, &Shape::kClass};

    const TQ3CameraData& data() const { return data_; }

    // Each replaces its part when it passes the checks of QD3DCamera.h;
    // otherwise posts the error and returns false, the camera unchanged.
    bool setData(const TQ3CameraData& data);
    bool setPlacement(const TQ3CameraPlacement& placement);
    bool setRange(const TQ3CameraRange& range);
    bool setViewPort(const TQ3CameraViewPort& viewPort);

    // World to the camera's own coordinates (eye at the origin looking down
    // −Z, +Y up), from the placement.
    TQ3Matrix4x4 worldToView() const;

    // Everything the rasteriser needs to project through this camera.
    virtual raster::Camera toRaster() const = 0;

protected:
    // Precondition of construction: the data passed the checks.
    explicit Camera(const TQ3CameraData& data) : data_(data) {}
    // Whether the kind accepts the range; posts the error when not.
    virtual bool acceptsRange(const TQ3CameraRange& range) const = 0;
    raster::Camera rasterBase() const;

private:
    TQ3CameraData data_;
};

class OrthographicCamera final : public Camera {
public:
    static constexpr ClassInfo kClass{kQ3CameraTypeOrthographic, &Camera::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

    // Precondition: check(data).
    explicit OrthographicCamera(const TQ3OrthographicCameraData& data);
    static bool check(const TQ3OrthographicCameraData& data);

    TQ3OrthographicCameraData fullData() const;
    bool setFullData(const TQ3OrthographicCameraData& data);
    raster::Camera toRaster() const override;

protected:
    bool acceptsRange(const TQ3CameraRange& range) const override;

private:
    float left_, top_, right_, bottom_;
};

class ViewAngleAspectCamera final : public Camera {
public:
    static constexpr ClassInfo kClass{kQ3CameraTypeViewAngleAspect, &Camera::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

    // Precondition: check(data).
    explicit ViewAngleAspectCamera(const TQ3ViewAngleAspectCameraData& data);
    static bool check(const TQ3ViewAngleAspectCameraData& data);

    TQ3ViewAngleAspectCameraData fullData() const;
    bool setFullData(const TQ3ViewAngleAspectCameraData& data);
    float fieldOfView() const { return fov_; }
    float aspectRatio() const { return aspect_; }
    bool setFieldOfView(float fov);
    bool setAspectRatio(float aspect);
    raster::Camera toRaster() const override;

protected:
    bool acceptsRange(const TQ3CameraRange& range) const override;

private:
    float fov_;
    float aspect_;
};

}  // namespace q3d
