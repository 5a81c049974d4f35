#include "platform/q3d/shaders/Shaders.h"

#include "platform/q3d/core/Boundary.h"

using q3d::Texture;
using q3d::TextureShader;

namespace {

// The texture behind a handle, or nullptr with an error posted.
Texture* textureOf(TQ3TextureObject texture) noexcept {
    return q3d::resolveAs<Texture>(texture);
}

}  // namespace

TQ3ShaderObject Q3PhongIllumination_New(void) { return q3d::createObject<q3d::PhongIllumination>(__func__); }
TQ3ShaderObject Q3LambertIllumination_New(void) { return q3d::createObject<q3d::LambertIllumination>(__func__); }
TQ3ShaderObject Q3NULLIllumination_New(void) { return q3d::createObject<q3d::NullIllumination>(__func__); }

TQ3ShaderObject Q3TextureShader_New(TQ3TextureObject texture) {
    if (!q3d::mayCreate(__func__)) return nullptr;
    Texture* resolved = textureOf(texture);
    if (resolved == nullptr) return nullptr;
    return q3d::guarded<TQ3Object>(nullptr, [&] { return q3d::adopt(std::make_unique<TextureShader>(*resolved)); });
}

TQ3Status Q3TextureShader_GetTexture(TQ3ShaderObject shader, TQ3TextureObject* texture) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    const auto* resolved = q3d::resolveAs<TextureShader>(shader);
    if (resolved == nullptr) return kQ3Failure;
    if (texture == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    q3d::retain(*resolved->texture());
    *texture = q3d::handleOf(*resolved->texture());
    return kQ3Success;
}

TQ3Status Q3TextureShader_SetTexture(TQ3ShaderObject shader, TQ3TextureObject texture) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    auto* resolved = q3d::resolveAs<TextureShader>(shader);
    if (resolved == nullptr) return kQ3Failure;
    Texture* newTexture = textureOf(texture);
    if (newTexture == nullptr) return kQ3Failure;
    resolved->setTexture(*newTexture);
    return kQ3Success;
}
