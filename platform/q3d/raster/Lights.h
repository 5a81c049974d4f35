// Lights and surface materials of the software rasteriser, and the lighting
// model it evaluates once per vertex (Gouraud shading).
//
// Lighting happens in world space. For a surface point P with unit normal N,
// diffuse colour Cd (the material's, a vertex's, or a texture's), specular
// colour Cs and specular exponent n (Material::specularControl), every light
// that is on contributes its radiance E = brightness × colour:
//
//   ambient      A += E
//   directional  l = −direction (normalised); att = 1; spot = 1
//   point        l = (location − P) / d with d = |location − P|; att below; spot = 1
//   spot         as point, times the spot factor below
//
//   diffuse      D += E × att × spot × max(0, N · l)
//   specular     S += E × att × spot × max(0, N · h)^n    when N · l > 0
//                with h = normalise(l + v), v the unit vector from P to the
//                eye (orthographic cameras: towards the camera along its axis)
//
// and the colour is, clamped to [0, 1] per channel at the end:
//
//   Illumination::Null     Cd
//   Illumination::Lambert  Cd × (ka × A + D)
//   Illumination::Phong    Cd × (ka × A + D) + Cs × S
//
// with ka = Material::ambientCoefficient.
//
// Attenuation (QuickDraw 3D's kinds): None: att = 1; InverseDistance:
// att = 1 / d; InverseDistanceSquared: att = 1 / d². Distances below 1e-3
// count as 1e-3, so a light inside a surface saturates instead of dividing
// by zero.
//
// Spot factor, with θ the angle between the spot's direction and the ray
// from the light to P, θh = hotAngle and θo = outerAngle (half-angles in
// radians, θh ≤ θo ≤ π; a larger hot angle counts as θo) and
// t = (θ − θh) / (θo − θh):
//
//   θ ≤ θh: 1        θ > θo: 0 (hard cut)        θh < θ ≤ θo by fall-off:
//   None         1
//   Linear       1 − t
//   Exponential  (e^(−4t) − e^(−4)) / (1 − e^(−4))    (1 at the hot edge, 0 at the outer)
//   Cosine       (1 + cos(π t)) / 2                    (smooth at both edges)
//
// Two-sided surfaces (Backfacing::Flip) light their back faces with −N.
#pragma once

#include "platform/q3d/QD3D.h"

#include <cstdint>
#include <iosfwd>

namespace q3d::raster {

enum class LightKind : uint8_t { Ambient, Directional, Point, Spot };

// Values as QuickDraw 3D's TQ3AttenuationType.
enum class Attenuation : uint8_t { None = 0, InverseDistance = 1, InverseDistanceSquared = 2 };

// Values as QuickDraw 3D's TQ3FallOffType.
enum class FallOff : uint8_t { None = 0, Linear = 1, Exponential = 2, Cosine = 3 };

// One light in world space. Fields a kind does not use are ignored.
struct Light {
    LightKind kind = LightKind::Ambient;
    bool isOn = true;
    float brightness = 1.0f;
    TQ3ColorRGB color{1.0f, 1.0f, 1.0f};
    // Directional: the direction the light travels (QuickDraw 3D's headlight
    // is (0, 0, −1)). Spot: the axis of the beam. Need not be unit length; a
    // zero or non-finite direction turns the light off.
    TQ3Vector3D direction{0.0f, 0.0f, -1.0f};
    // Point and spot.
    TQ3Point3D location{0.0f, 0.0f, 0.0f};
    Attenuation attenuation = Attenuation::None;
    // Spot: half-angles in radians.
    float hotAngle = 0.0f;
    float outerAngle = 0.0f;
    FallOff fallOff = FallOff::None;
};

enum class Illumination : uint8_t { Null, Lambert, Phong };

struct Material {
    Illumination illumination = Illumination::Null;
    TQ3ColorRGB diffuseColor{1.0f, 1.0f, 1.0f};
    TQ3ColorRGB specularColor{1.0f, 1.0f, 1.0f};
    // Phong exponent, >= 0 (negative or non-finite values count as 0).
    float specularControl = 4.0f;
    float ambientCoefficient = 1.0f;
};

std::ostream& operator<<(std::ostream& out, LightKind kind);
std::ostream& operator<<(std::ostream& out, const Light& light);

}  // namespace q3d::raster
