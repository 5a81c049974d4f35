#include "platform/q3d/raster/Shading.h"

#include <algorithm>
#include <cmath>
#include <ostream>

namespace q3d::raster {

std::ostream& operator<<(std::ostream& out, LightKind kind) {
    switch (kind) {
        case LightKind::Ambient: return out << "ambient";
        case LightKind::Directional: return out << "directional";
        case LightKind::Point: return out << "point";
        case LightKind::Spot: return out << "spot";
    }
    return out << "light(" << static_cast<int>(kind) << ")";
}

std::ostream& operator<<(std::ostream& out, const Light& light) {
    out << "Light{" << light.kind << (light.isOn ? "" : " off") << " brightness=" << light.brightness
        << " color=(" << light.color.r << ", " << light.color.g << ", " << light.color.b << ")";
    if (light.kind == LightKind::Directional || light.kind == LightKind::Spot) {
        out << " direction=(" << light.direction.x << ", " << light.direction.y << ", "
            << light.direction.z << ")";
    }
    if (light.kind == LightKind::Point || light.kind == LightKind::Spot) {
        out << " location=(" << light.location.x << ", " << light.location.y << ", "
            << light.location.z << ") attenuation=" << static_cast<int>(light.attenuation);
    }
    if (light.kind == LightKind::Spot) {
        out << " hot=" << light.hotAngle << " outer=" << light.outerAngle
            << " fallOff=" << static_cast<int>(light.fallOff);
    }
    return out << "}";
}

}  // namespace q3d::raster

namespace q3d::raster::detail {

namespace {

bool finite3(float a, float b, float c) { return std::isfinite(a) && std::isfinite(b) && std::isfinite(c); }

// Normalises (x, y, z) into out; false for a zero or non-finite vector.
bool unit(double x, double y, double z, float out[3]) {
    double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 1e-30) || !std::isfinite(length)) {
        return false;
    }
    out[0] = static_cast<float>(x / length);
    out[1] = static_cast<float>(y / length);
    out[2] = static_cast<float>(z / length);
    return true;
}

}  // namespace

void Shading::prepare(std::span<const Light> lights, const Material& material, const Mat4& worldToView,
                      ProjectionKind kind) {
    model_.lights.clear();
    model_.lit = material.illumination != Illumination::Null;
    model_.phong = material.illumination == Illumination::Phong;
    model_.ambient[0] = model_.ambient[1] = model_.ambient[2] = 0.0f;
    model_.exponent = std::isfinite(material.specularControl) ? std::max(material.specularControl, 0.0f) : 0.0f;
    model_.wholeExponent =
        model_.exponent <= 255.0f && model_.exponent == std::floor(model_.exponent) ? int(model_.exponent) : -1;
    float ka = std::isfinite(material.ambientCoefficient) ? material.ambientCoefficient : 0.0f;

    // The eye (or the direction towards an orthographic camera) in world space.
    model_.localViewer = kind == ProjectionKind::Perspective;
    Mat4 viewToWorld;
    if (!invert(worldToView, viewToWorld)) {
        viewToWorld = identity4();
    }
    if (model_.localViewer) {
        for (int i = 0; i < 3; ++i) {
            model_.eye[i] = static_cast<float>(viewToWorld.m[3][i]);
        }
    } else if (!unit(viewToWorld.m[2][0], viewToWorld.m[2][1], viewToWorld.m[2][2], model_.eye)) {
        model_.eye[0] = model_.eye[1] = 0.0f;
        model_.eye[2] = 1.0f;
    }

    if (!model_.lit) {
        return;
    }
    for (const Light& light : lights) {
        if (!light.isOn || !std::isfinite(light.brightness) ||
            !finite3(light.color.r, light.color.g, light.color.b)) {
            continue;
        }
        PreparedLight p;
        p.kind = light.kind;
        p.attenuation = light.attenuation;
        p.fallOff = light.fallOff;
        p.radiance[0] = light.brightness * light.color.r;
        p.radiance[1] = light.brightness * light.color.g;
        p.radiance[2] = light.brightness * light.color.b;
        if (p.radiance[0] == 0.0f && p.radiance[1] == 0.0f && p.radiance[2] == 0.0f) {
            continue;
        }
        switch (light.kind) {
            case LightKind::Ambient:
                for (int i = 0; i < 3; ++i) {
                    model_.ambient[i] += ka * p.radiance[i];
                }
                continue;
            case LightKind::Directional:
                if (!unit(-light.direction.x, -light.direction.y, -light.direction.z, p.direction)) {
                    continue;
                }
                break;
            case LightKind::Spot: {
                if (!unit(light.direction.x, light.direction.y, light.direction.z, p.direction)) {
                    continue;
                }
                const double pi = 3.14159265358979;
                double outer = std::isfinite(light.outerAngle) ? std::clamp<double>(light.outerAngle, 0.0, pi) : 0.0;
                double hot = std::isfinite(light.hotAngle) ? std::clamp<double>(light.hotAngle, 0.0, outer) : 0.0;
                p.cosHot = static_cast<float>(std::cos(hot));
                p.cosOuter = static_cast<float>(std::cos(outer));
                p.hotAngle = static_cast<float>(hot);
                p.inverseBand = outer - hot > 1e-6 ? static_cast<float>(1.0 / (outer - hot)) : 0.0f;
                [[fallthrough]];
            }
            case LightKind::Point:
                if (!finite3(light.location.x, light.location.y, light.location.z)) {
                    continue;
                }
                p.location[0] = light.location.x;
                p.location[1] = light.location.y;
                p.location[2] = light.location.z;
                break;
            default:
                continue;
        }
        model_.lights.push_back(p);
    }
}

}  // namespace q3d::raster::detail
