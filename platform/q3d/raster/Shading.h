// Per-draw lighting state and the four-lane evaluation of the lighting model
// documented in Lights.h. Internal to the renderer.
#pragma once

#include "platform/q3d/raster/Camera.h"
#include "platform/q3d/raster/Lights.h"
#include "platform/q3d/raster/Projection.h"
#include "platform/q3d/raster/SimdMath.h"

#include <span>
#include <vector>

namespace q3d::raster::detail {

// A light reduced to what the per-vertex loop needs, in world space.
struct PreparedLight {
    LightKind kind = LightKind::Directional;
    Attenuation attenuation = Attenuation::None;
    FallOff fallOff = FallOff::None;
    float radiance[3] = {0, 0, 0};  // brightness × colour
    // Directional: unit vector towards the light. Spot: unit beam axis.
    float direction[3] = {0, 0, 0};
    float location[3] = {0, 0, 0};
    float cosHot = 1.0f;    // cos θh
    float cosOuter = 1.0f;  // cos θo
    float hotAngle = 0.0f;
    float inverseBand = 0.0f;  // 1 / (θo − θh), 0 for a hard edge
};

// What Shading::prepare makes of the lights and the material.
struct ShadingModel {
    bool lit = false;
    bool phong = false;
    bool localViewer = true;
    float ambient[3] = {0, 0, 0};
    // Local viewer: the eye in world space. Otherwise the unit vector towards
    // the camera.
    float eye[3] = {0, 0, 0};
    float exponent = 0.0f;
    // The exponent when it is a whole number up to 255 (the usual case),
    // raised by repeated squaring; −1 otherwise.
    int wholeExponent = -1;
    std::vector<PreparedLight> lights;
};

class Shading {
public:
    // Prepares `lights` for `material` seen through a camera whose world-to-
    // view matrix is `worldToView`. Lights that are off, black or not finite
    // are dropped.
    void prepare(std::span<const Light> lights, const Material& material, const Mat4& worldToView,
                 ProjectionKind kind);

    bool lit() const { return model_.lit; }
    bool phong() const { return model_.phong; }
    const ShadingModel& model() const { return model_; }

    // Inputs per lane: world position P, unit (or zero) world normal N.
    // Outputs: D = ka × ambient + diffuse sum, S = specular sum (before the
    // specular colour).
    void shade(const simd::F P[3], const simd::F N[3], simd::F D[3], simd::F S[3]) const;

private:
    ShadingModel model_;
};

}  // namespace q3d::raster::detail
