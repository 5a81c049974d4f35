// Shaders: the C++ side of the shader calls of QD3DShader.h.
#pragma once

#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/core/Ref.h"
#include "platform/q3d/textures/PixmapTexture.h"

namespace q3d {

class Shader : public Shape {
public:
    static constexpr ClassInfo kClass{kQ3ShapeTypeShader, &Shape::kClass};
};

// How lights shade the surfaces after it; the kind is the leaf type.
class IlluminationShader : public Shader {
public:
    static constexpr ClassInfo kClass{kQ3ShaderTypeIllumination, &Shader::kClass};
};

class PhongIllumination final : public IlluminationShader {
public:
    static constexpr ClassInfo kClass{kQ3IlluminationTypePhong, &IlluminationShader::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
};

class LambertIllumination final : public IlluminationShader {
public:
    static constexpr ClassInfo kClass{kQ3IlluminationTypeLambert, &IlluminationShader::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
};

class NullIllumination final : public IlluminationShader {
public:
    static constexpr ClassInfo kClass{kQ3IlluminationTypeNULL, &IlluminationShader::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
};

class SurfaceShader : public Shader {
public:
    static constexpr ClassInfo kClass{kQ3ShaderTypeSurface, &Shader::kClass};
};

// Lays its texture over the surfaces after it, by their surface UVs.
class TextureShader final : public SurfaceShader {
public:
    static constexpr ClassInfo kClass{kQ3SurfaceShaderTypeTexture, &SurfaceShader::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

    // Precondition: texture is live. Takes a reference.
    explicit TextureShader(Texture& texture) : texture_(Ref<Texture>::share(&texture)) {}

    // Never nullptr.
    Texture* texture() const { return texture_.get(); }
    // Takes a reference to `texture` and drops the old one. Precondition:
    // texture is live.
    void setTexture(Texture& texture) { texture_ = Ref<Texture>::share(&texture); }

    // What lies past the texture's edges along u and v (a file's shader
    // data): kQ3ShaderUVBoundaryWrap repeats it, kQ3ShaderUVBoundaryClamp
    // extends its border.
    TQ3ShaderUVBoundary uBoundary = kQ3ShaderUVBoundaryWrap;
    TQ3ShaderUVBoundary vBoundary = kQ3ShaderUVBoundaryWrap;

private:
    Ref<Texture> texture_;
};

}  // namespace q3d
