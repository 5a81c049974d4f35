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

using namespace simd;

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

// x^n for x > 0 and whole n >= 0, 0 for x <= 0 (as simd::pow).
F powWhole(F x, int n) {
    F result = set1(1.0f);
    F square = x;
    for (; n > 0; n >>= 1) {
        if (n & 1) {
            result = result * square;
        }
        square = square * square;
    }
    return band(result, gt(x, zero()));
}

// (e^(−4t) − e^(−4)) / (1 − e^(−4)) with e^(−4t) = 2^(−4 t log2 e).
F exponentialFallOff(F t) {
    const float e4 = 0.018315639f;
    return (exp2(t * set1(-5.77078016f)) - set1(e4)) * set1(1.0f / (1.0f - e4));
}

}  // namespace

void Shading::prepare(std::span<const Light> lights, const Material& material, const Mat4& worldToView,
                      ProjectionKind kind) {
    lights_.clear();
    lit_ = material.illumination != Illumination::Null;
    phong_ = material.illumination == Illumination::Phong;
    ambient_[0] = ambient_[1] = ambient_[2] = 0.0f;
    exponent_ = std::isfinite(material.specularControl) ? std::max(material.specularControl, 0.0f) : 0.0f;
    wholeExponent_ = exponent_ <= 255.0f && exponent_ == std::floor(exponent_) ? int(exponent_) : -1;
    float ka = std::isfinite(material.ambientCoefficient) ? material.ambientCoefficient : 0.0f;

    // The eye (or the direction towards an orthographic camera) in world space.
    localViewer_ = kind == ProjectionKind::Perspective;
    Mat4 viewToWorld;
    if (!invert(worldToView, viewToWorld)) {
        viewToWorld = identity4();
    }
    if (localViewer_) {
        for (int i = 0; i < 3; ++i) {
            eye_[i] = static_cast<float>(viewToWorld.m[3][i]);
        }
    } else if (!unit(viewToWorld.m[2][0], viewToWorld.m[2][1], viewToWorld.m[2][2], eye_)) {
        eye_[0] = eye_[1] = 0.0f;
        eye_[2] = 1.0f;
    }

    if (!lit_) {
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
                    ambient_[i] += ka * p.radiance[i];
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
        lights_.push_back(p);
    }
}

void Shading::shade(const F P[3], const F N[3], F D[3], F S[3]) const {
    for (int i = 0; i < 3; ++i) {
        D[i] = set1(ambient_[i]);
        S[i] = zero();
    }
    if (lights_.empty()) {
        return;
    }
    const F one = set1(1.0f);
    F V[3] = {zero(), zero(), zero()};
    if (phong_) {
        if (localViewer_) {
            for (int i = 0; i < 3; ++i) {
                V[i] = set1(eye_[i]) - P[i];
            }
            F length = sqrt(V[0] * V[0] + V[1] * V[1] + V[2] * V[2]);
            F inv = one / max(length, set1(1e-20f));
            for (F& v : V) {
                v = v * inv;
            }
        } else {
            for (int i = 0; i < 3; ++i) {
                V[i] = set1(eye_[i]);
            }
        }
    }
    for (const PreparedLight& light : lights_) {
        F L[3];
        F weight = one;  // attenuation × spot factor
        if (light.kind == LightKind::Directional) {
            for (int i = 0; i < 3; ++i) {
                L[i] = set1(light.direction[i]);
            }
        } else {
            for (int i = 0; i < 3; ++i) {
                L[i] = set1(light.location[i]) - P[i];
            }
            F distance = max(sqrt(L[0] * L[0] + L[1] * L[1] + L[2] * L[2]), set1(1e-3f));
            F inv = one / distance;
            for (F& l : L) {
                l = l * inv;
            }
            if (light.attenuation == Attenuation::InverseDistance) {
                weight = inv;
            } else if (light.attenuation == Attenuation::InverseDistanceSquared) {
                weight = inv * inv;
            }
            if (light.kind == LightKind::Spot) {
                // Cosine of the angle between the beam axis and the ray from
                // the light to P (which is −L).
                F cosAngle = zero() - (L[0] * set1(light.direction[0]) + L[1] * set1(light.direction[1]) +
                                       L[2] * set1(light.direction[2]));
                F inHot = ge(cosAngle, set1(light.cosHot));
                F inOuter = ge(cosAngle, set1(light.cosOuter));
                F factor = one;
                if (light.inverseBand > 0.0f && light.fallOff != FallOff::None &&
                    any(_mm_andnot_ps(inHot, inOuter))) {
                    F t = clamp01((acos(cosAngle) - set1(light.hotAngle)) * set1(light.inverseBand));
                    switch (light.fallOff) {
                        case FallOff::Linear: factor = one - t; break;
                        case FallOff::Exponential: factor = exponentialFallOff(t); break;
                        case FallOff::Cosine: factor = set1(0.5f) * (one + cosPi(t)); break;
                        case FallOff::None: break;
                    }
                }
                F spot = select(inHot, one, band(inOuter, factor));
                weight = weight * spot;
            }
        }
        F nDotL = N[0] * L[0] + N[1] * L[1] + N[2] * L[2];
        F diffuse = weight * max(nDotL, zero());
        for (int i = 0; i < 3; ++i) {
            D[i] = D[i] + set1(light.radiance[i]) * diffuse;
        }
        if (phong_) {
            F H[3];
            for (int i = 0; i < 3; ++i) {
                H[i] = L[i] + V[i];
            }
            F length = max(sqrt(H[0] * H[0] + H[1] * H[1] + H[2] * H[2]), set1(1e-20f));
            F nDotH = (N[0] * H[0] + N[1] * H[1] + N[2] * H[2]) / length;
            F highlight = wholeExponent_ >= 0 ? powWhole(nDotH, wholeExponent_) : pow(nDotH, set1(exponent_));
            F specular = band(gt(nDotL, zero()), weight * highlight);
            for (int i = 0; i < 3; ++i) {
                S[i] = S[i] + set1(light.radiance[i]) * specular;
            }
        }
    }
}

}  // namespace q3d::raster::detail
