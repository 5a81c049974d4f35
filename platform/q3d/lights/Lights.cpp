#include "platform/q3d/lights/Lights.h"

#include <cmath>
#include <cstring>

#include "platform/q3d/core/Boundary.h"

namespace q3d {
namespace {

// Enumerations are read as integers: a C caller may put any bits there.
template <class Enum>
TQ3Uns32 bitsOf(const Enum& value) {
    static_assert(sizeof(Enum) == sizeof(TQ3Uns32));
    TQ3Uns32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

bool refuse(TQ3Error error) noexcept {
    postError(error);
    return false;
}

bool finite(float value) { return std::isfinite(value); }
bool finite(const TQ3ColorRGB& c) { return finite(c.r) && finite(c.g) && finite(c.b); }
bool finite(const TQ3Point3D& p) { return finite(p.x) && finite(p.y) && finite(p.z); }
bool finite(const TQ3Vector3D& v) { return finite(v.x) && finite(v.y) && finite(v.z); }

bool isBoolean(const TQ3Boolean& value) { return bitsOf(value) <= kQ3True; }

bool checkDirection(const TQ3Vector3D& direction) noexcept {
    if (!finite(direction)) return refuse(kQ3ErrorParameterOutOfRange);
    if (direction.x == 0 && direction.y == 0 && direction.z == 0) return refuse(kQ3ErrorVector3DZeroLength);
    return true;
}

bool checkShadowsAndAttenuation(const TQ3Boolean& castsShadows, const TQ3AttenuationType& attenuation) {
    if (!isBoolean(castsShadows) || bitsOf(attenuation) > kQ3AttenuationTypeInverseDistanceSquared) {
        return refuse(kQ3ErrorParameterOutOfRange);
    }
    return true;
}

}  // namespace

bool checkLightData(const TQ3LightData& data) noexcept {
    if (!isBoolean(data.isOn) || !finite(data.brightness) || !finite(data.color)) {
        return refuse(kQ3ErrorParameterOutOfRange);
    }
    if (data.brightness > 1) postNotice(kQ3NoticeBrightnessGreaterThanOne);
    return true;
}

bool checkLightData(const TQ3DirectionalLightData& data) noexcept {
    if (!isBoolean(data.castsShadows)) return refuse(kQ3ErrorParameterOutOfRange);
    return checkDirection(data.direction) && checkLightData(data.lightData);
}

bool checkLightData(const TQ3PointLightData& data) noexcept {
    if (!checkShadowsAndAttenuation(data.castsShadows, data.attenuation)) return false;
    if (!finite(data.location)) return refuse(kQ3ErrorParameterOutOfRange);
    return checkLightData(data.lightData);
}

bool checkLightData(const TQ3SpotLightData& data) noexcept {
    if (!checkShadowsAndAttenuation(data.castsShadows, data.attenuation)) return false;
    if (!finite(data.location) || !finite(data.hotAngle) || !finite(data.outerAngle) || data.hotAngle < 0 ||
        data.outerAngle < 0 || bitsOf(data.fallOff) > kQ3FallOffTypeCosine) {
        return refuse(kQ3ErrorParameterOutOfRange);
    }
    return checkDirection(data.direction) && checkLightData(data.lightData);
}

namespace {

bool checkNotNull(const void* pointer) noexcept {
    if (pointer != nullptr) return true;
    postError(kQ3ErrorNULLParameter);
    return false;
}

template <class L, class Data>
TQ3LightObject newLight(const char* function, const Data* data) noexcept {
    if (!mayCreate(function) || !checkNotNull(data) || !checkLightData(*data)) return nullptr;
    return guarded<TQ3Object>(nullptr, [&] { return adopt(std::make_unique<L>(*data)); });
}

template <class L, class Data>
TQ3Status getLight(const char* function, TQ3LightObject light, Data* data) noexcept {
    if (failPoint(function)) return kQ3Failure;
    const L* resolved = resolveAs<L>(light);
    if (resolved == nullptr || !checkNotNull(data)) return kQ3Failure;
    *data = resolved->data();
    return kQ3Success;
}

template <class L, class Data>
TQ3Status setLight(const char* function, TQ3LightObject light, const Data* data) noexcept {
    if (failPoint(function)) return kQ3Failure;
    L* resolved = resolveAs<L>(light);
    if (resolved == nullptr || !checkNotNull(data)) return kQ3Failure;
    return resolved->setData(*data) ? kQ3Success : kQ3Failure;
}

}  // namespace
}  // namespace q3d

using q3d::AmbientLight;
using q3d::DirectionalLight;
using q3d::PointLight;
using q3d::SpotLight;

TQ3ObjectType Q3Light_GetType(TQ3LightObject light) {
    const auto* resolved = q3d::resolveAs<q3d::Light>(light);
    return resolved != nullptr ? resolved->leafType() : kQ3ObjectTypeInvalid;
}

TQ3Status Q3Light_GetData(TQ3LightObject light, TQ3LightData* lightData) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    const auto* resolved = q3d::resolveAs<q3d::Light>(light);
    if (resolved == nullptr || !q3d::checkNotNull(lightData)) return kQ3Failure;
    *lightData = resolved->lightData();
    return kQ3Success;
}

TQ3Status Q3Light_SetData(TQ3LightObject light, const TQ3LightData* lightData) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    auto* resolved = q3d::resolveAs<q3d::Light>(light);
    if (resolved == nullptr || !q3d::checkNotNull(lightData)) return kQ3Failure;
    return resolved->setLightData(*lightData) ? kQ3Success : kQ3Failure;
}

TQ3LightObject Q3AmbientLight_New(const TQ3LightData* lightData) {
    return q3d::newLight<AmbientLight>(__func__, lightData);
}
TQ3Status Q3AmbientLight_GetData(TQ3LightObject light, TQ3LightData* lightData) {
    return q3d::getLight<AmbientLight>(__func__, light, lightData);
}
TQ3Status Q3AmbientLight_SetData(TQ3LightObject light, const TQ3LightData* lightData) {
    return q3d::setLight<AmbientLight>(__func__, light, lightData);
}

TQ3LightObject Q3DirectionalLight_New(const TQ3DirectionalLightData* directionalLightData) {
    return q3d::newLight<DirectionalLight>(__func__, directionalLightData);
}
TQ3Status Q3DirectionalLight_GetData(TQ3LightObject light, TQ3DirectionalLightData* directionalLightData) {
    return q3d::getLight<DirectionalLight>(__func__, light, directionalLightData);
}
TQ3Status Q3DirectionalLight_SetData(TQ3LightObject light, const TQ3DirectionalLightData* directionalLightData) {
    return q3d::setLight<DirectionalLight>(__func__, light, directionalLightData);
}

TQ3LightObject Q3PointLight_New(const TQ3PointLightData* pointLightData) {
    return q3d::newLight<PointLight>(__func__, pointLightData);
}
TQ3Status Q3PointLight_GetData(TQ3LightObject light, TQ3PointLightData* pointLightData) {
    return q3d::getLight<PointLight>(__func__, light, pointLightData);
}
TQ3Status Q3PointLight_SetData(TQ3LightObject light, const TQ3PointLightData* pointLightData) {
    return q3d::setLight<PointLight>(__func__, light, pointLightData);
}

TQ3LightObject Q3SpotLight_New(const TQ3SpotLightData* spotLightData) {
    return q3d::newLight<SpotLight>(__func__, spotLightData);
}
TQ3Status Q3SpotLight_GetData(TQ3LightObject light, TQ3SpotLightData* spotLightData) {
    return q3d::getLight<SpotLight>(__func__, light, spotLightData);
}
TQ3Status Q3SpotLight_SetData(TQ3LightObject light, const TQ3SpotLightData* spotLightData) {
    return q3d::setLight<SpotLight>(__func__, light, spotLightData);
}
