// What a view's submitted content has set so far in a pass: the state that
// the next geometry is drawn with. Saved and restored whole by push and pop.
#pragma once

#include "platform/q3d/QD3DStyle.h"
#include "platform/q3d/raster/Lights.h"
#include "platform/q3d/sets/AttributeSet.h"
#include "platform/q3d/views/Checks.h"

namespace q3d {

class TextureShader;

// The surface attributes that flow from attribute sets to the geometry
// after them (and from a geometry's own set to its vertices).
struct SurfaceAttributes {
    TQ3ColorRGB diffuse{1, 1, 1};
    TQ3ColorRGB specular{0.5f, 0.5f, 0.5f};
    float specularControl = 4;
    float ambientCoefficient = 1;

    // Takes over every value the set holds.
    void merge(const AttributeSet& set) {
        if (const TQ3ColorRGB* c = set.diffuseColor(); c != nullptr && set.has(kQ3AttributeTypeDiffuseColor)) {
            diffuse = *c;
        }
        if (const TQ3ColorRGB* c = set.specularColor(); c != nullptr && set.has(kQ3AttributeTypeSpecularColor)) {
            specular = *c;
        }
        if (const float* v = set.specularControl(); v != nullptr && set.has(kQ3AttributeTypeSpecularControl)) {
            specularControl = *v;
        }
        if (const float* v = set.ambientCoefficient(); v != nullptr && set.has(kQ3AttributeTypeAmbientCoefficient)) {
            ambientCoefficient = *v;
        }
    }
};

struct ViewState {
    TQ3Matrix4x4 localToWorld = views::identityMatrix();
    TQ3FillStyle fill = kQ3FillStyleFilled;
    TQ3BackfacingStyle backfacing = kQ3BackfacingStyleBoth;
    TQ3InterpolationStyle interpolation = kQ3InterpolationStyleVertex;
    TQ3SubdivisionStyleData subdivision{kQ3SubdivisionMethodConstant, 20, 20};
    raster::Illumination illumination = raster::Illumination::Lambert;
    // The texture shader in effect, or nullptr. Kept alive by the group being
    // traversed or, when submitted on its own, by the pass.
    const TextureShader* textureShader = nullptr;
    SurfaceAttributes surface;
};

}  // namespace q3d
