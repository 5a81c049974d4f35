// Readers for what changes how geometry looks or where it goes: attribute
// sets and their elements, attribute set lists, transforms, shaders,
// textures and styles.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/q3d/core/DoubleMath.h"
#include "platform/q3d/io/Readers.h"
#include "platform/q3d/storage/MemoryStorage.h"
#include "platform/q3d/transforms/FileTransforms.h"
#include "platform/q3d/views/Styles.h"

namespace q3d::io {
namespace {

constexpr Keyword kPacking[] = {{"Include", 0}, {"Exclude", 1}};
constexpr Keyword kBoundary[] = {{"Wrap", 0}, {"Clamp", 1}};
constexpr Keyword kAxes[] = {{"X", 0}, {"Y", 1}, {"Z", 2}, {"XAxis", 0}, {"YAxis", 1}, {"ZAxis", 2}};
constexpr Keyword kBackfacing[] = {{"Both", 0}, {"Remove", 1}, {"Flip", 2}};
constexpr Keyword kInterpolation[] = {{"None", 0}, {"Vertex", 1}, {"Pixel", 2}};
constexpr Keyword kFill[] = {{"Filled", 0}, {"Edges", 1}, {"Points", 2}};
constexpr Keyword kSubdivision[] = {{"Constant", 0}, {"WorldSpace", 1}, {"ScreenSpace", 2}};
constexpr Keyword kPixelTypes[] = {{"RGB32", 0}, {"ARGB32", 1}, {"RGB16", 2}, {"ARGB16", 3}, {"RGB16_565", 4},
                                   {"RGB24", 5}};
constexpr Keyword kEndian[] = {{"BigEndian", 0}, {"LittleEndian", 1}, {"Big", 0}, {"Little", 1}};

TQ3ColorRGB color(Source& src) {
    TQ3ColorRGB c;
    c.r = src.f32(), c.g = src.f32(), c.b = src.f32();
    return c;
}
TQ3Vector3D vector(Source& src) {
    TQ3Vector3D v;
    v.x = src.f32(), v.y = src.f32(), v.z = src.f32();
    return v;
}

TQ3Matrix4x4 identity() {
    TQ3Matrix4x4 m{};
    for (int i = 0; i < 4; ++i) m.value[i][i] = 1;
    return m;
}

// a · b for row-vector matrices.
TQ3Matrix4x4 translation(double x, double y, double z) {
    TQ3Matrix4x4 m = identity();
    m.value[3][0] = float(x), m.value[3][1] = float(y), m.value[3][2] = float(z);
    return m;
}

// Rotation by `angle` radians about the unit axis k through the origin, in
// the row-vector form: a point turns counter-clockwise seen from +k.
TQ3Matrix4x4 rotation(double kx, double ky, double kz, double angle) {
    const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    TQ3Matrix4x4 m = identity();
    const double r[3][3] = {{c + t * kx * kx, t * kx * ky + s * kz, t * kx * kz - s * ky},
                            {t * kx * ky - s * kz, c + t * ky * ky, t * ky * kz + s * kx},
                            {t * kx * kz + s * ky, t * ky * kz - s * kx, c + t * kz * kz}};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) m.value[i][j] = float(r[i][j]);
    }
    return m;
}

TQ3Matrix4x4 axisRotation(Reading& r, TQ3Uns32 axis, double angle) {
    if (axis > 2) r.bad("turns about an axis that is not X, Y or Z");
    return rotation(axis == 0, axis == 1, axis == 2, angle);
}

template <TQ3ObjectType kType>
Ref<Object> transform(const TQ3Matrix4x4& m) {
    return own(std::make_unique<FileTransform<kType>>(m));
}

// A value past the last of its enumeration takes the default, with a
// warning: the model still reads. The value is checked as the number it was
// in the file, before it ever becomes the enumeration.
template <class StyleType, class Value>
Ref<Object> style(TQ3Uns32 value, TQ3Uns32 last, Value fallback) {
    if (value > last) postWarning(kQ3WarningParameterOutOfRange);
    return own(std::make_unique<StyleType>(value > last ? fallback : static_cast<Value>(value)));
}

// Enumerations of a pixmap, checked as the numbers they were in the file.
TQ3PixelType pixelTypeOf(Reading& r, TQ3Uns32 value) {
    if (value > kQ3PixelTypeRGB24) r.bad("has a pixel type the library does not know");
    return static_cast<TQ3PixelType>(value);
}
TQ3Endian endianOf(Reading& r, TQ3Uns32 value) {
    if (value > kQ3EndianLittle) r.bad("has a byte or bit order that is neither big nor little");
    return static_cast<TQ3Endian>(value);
}

}  // namespace

bool readAttributeInto(Source& src, TQ3ObjectType code, AttributeSet& set) {
    TQ3Error error = kQ3ErrorNone;
    switch (code) {
        case kDiffuseColor:
        case kSpecularColor:
        case kTransparencyColor: {
            const TQ3ColorRGB c = color(src);
            const TQ3AttributeType type = code == kDiffuseColor    ? kQ3AttributeTypeDiffuseColor
                                          : code == kSpecularColor ? kQ3AttributeTypeSpecularColor
                                                                   : kQ3AttributeTypeTransparencyColor;
            error = set.add(type, &c);
            break;
        }
        case kAmbientCoefficient:
        case kSpecularControl: {
            const float v = src.f32();
            error = set.add(code == kAmbientCoefficient ? kQ3AttributeTypeAmbientCoefficient
                                                        : kQ3AttributeTypeSpecularControl,
                            &v);
            break;
        }
        case kSurfaceUV:
        case kShadingUV: {
            TQ3Param2D uv;
            uv.u = src.f32(), uv.v = src.f32();
            error = set.add(code == kSurfaceUV ? kQ3AttributeTypeSurfaceUV : kQ3AttributeTypeShadingUV, &uv);
            break;
        }
        case kNormal: {
            const TQ3Vector3D n = vector(src);
            error = set.add(kQ3AttributeTypeNormal, &n);
            break;
        }
        case kSurfaceTangent: {
            TQ3Tangent2D t;
            t.uTangent = vector(src), t.vTangent = vector(src);
            error = set.add(kQ3AttributeTypeSurfaceTangent, &t);
            break;
        }
        case kHighlightState: {
            const TQ3Switch on = src.boolean() ? kQ3On : kQ3Off;
            error = set.add(kQ3AttributeTypeHighlightState, &on);
            break;
        }
        default:
            return false;
    }
    if (error != kQ3ErrorNone) postWarning(kQ3WarningInconsistentData);
    src.leave();
    return true;
}

AttributeSet* asSet(Ref<Object>& object) { return object ? objectAs<AttributeSet>(*object) : nullptr; }

Ref<Object> readAttributeSet(Reading& r) {
    Ref<Object> result = own(std::make_unique<AttributeSet>());
    AttributeSet& set = *objectAs<AttributeSet>(*result);
    r.src.leave();
    readChildren(
        r, [&](const ObjectHead& child) { return readAttributeInto(r.src, child.code, set); },
        [&](Ref<Object>& object) {
            if (AttributeSet* nested = asSet(object)) {
                for (int type = 1; type < kQ3AttributeTypeNumTypes; ++type) {
                    alignas(8) unsigned char value[32];
                    if (nested->get(TQ3AttributeType(type), value)) set.add(TQ3AttributeType(type), value);
                }
                return true;
            }
            if (auto* shader = objectAs<TextureShader>(*object)) {
                r.ctx.setTextures[&set] = Ref<TextureShader>::share(shader);
                r.ctx.setKeepers[&set] = Ref<Object>::share(result.get());
                return true;
            }
            return false;
        });
    if (isCapSet(r.head.code)) {
        r.ctx.capOf[&set] = r.head.code;
        r.ctx.setKeepers[&set] = Ref<Object>::share(result.get());
    }
    return result;
}

bool isCapSet(TQ3ObjectType code) {
    return code == kTopCapSet || code == kBottomCapSet || code == kFaceCapSet || code == kInteriorCapSet;
}

bool SetSlots::special(Reading& r, const ObjectHead& head) {
    if (head.code != kVertexSetList && head.code != kFaceSetList && head.code != kGeometrySetList) return false;
    std::vector<Ref<AttributeSet>>& list = head.code == kVertexSetList ? vertex : face;
    const std::size_t expected = head.code == kVertexSetList ? vertexCount_ : faceCount_;
    const TQ3Uns32 count = r.src.u32();
    const TQ3Uns32 packing = r.src.keyword(kPacking);
    const TQ3Uns32 listed = r.src.u32();
    if (count != expected || packing > 1) {
        fail(kQ3ErrorInvalidMetafileSubObject, r.what() + " has an attribute set list for " + std::to_string(count) +
                                                   " elements, not " + std::to_string(expected));
    }
    r.checkCount(listed, 1, 4, "listed elements");
    std::vector<std::uint32_t> indices(listed);
    r.src.unsignedValues(indices.data(), listed, 4);
    r.src.leave();
    std::vector<bool> named(count, false);
    for (std::uint32_t i : indices) {
        if (i >= count) fail(kQ3ErrorInvalidMetafileSubObject, r.what() + " lists an element past its last");
        named[i] = true;
    }
    targets_.clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        if (named[i] == (packing == 0)) targets_.push_back(i);
    }
    list.clear();
    list.resize(count);
    nextTarget_ = 0;
    open_ = targets_.empty() ? nullptr : &list;
    return true;
}

bool SetSlots::attach(Reading& r, Ref<Object>& object) {
    if (AttributeSet* set = asSet(object)) {
        if (const auto cap = r.ctx.capOf.find(set); cap != r.ctx.capOf.end()) {
            Ref<AttributeSet>& slot = cap->second == kTopCapSet      ? top
                                      : cap->second == kBottomCapSet ? bottom
                                      : cap->second == kFaceCapSet   ? faceCap
                                                                     : interior;
            slot = Ref<AttributeSet>::share(set);
            return true;
        }
        if (open_ != nullptr) {
            (*open_)[targets_[nextTarget_++]] = Ref<AttributeSet>::share(set);
            if (nextTarget_ == targets_.size()) open_ = nullptr;
            return true;
        }
        geometry = Ref<AttributeSet>::share(set);
        if (const auto found = r.ctx.setTextures.find(set); found != r.ctx.setTextures.end()) {
            texture = Ref<TextureShader>::share(found->second.get());
        }
        return true;
    }
    if (auto* shader = objectAs<TextureShader>(*object)) {
        texture = Ref<TextureShader>::share(shader);
        return true;
    }
    return false;
}

bool isTransform(TQ3ObjectType code) {
    switch (code) {
        case kQ3TransformTypeMatrix:
        case kQ3TransformTypeTranslate:
        case kQ3TransformTypeScale:
        case kQ3TransformTypeRotate:
        case kQ3TransformTypeRotateAboutPoint:
        case kQ3TransformTypeRotateAboutAxis:
        case kQ3TransformTypeQuaternion:
            return true;
        default:
            return false;
    }
}

Ref<Object> readTransform(Reading& r) {
    Source& src = r.src;
    Ref<Object> result;
    switch (r.head.code) {
        case kQ3TransformTypeMatrix: {
            TQ3Matrix4x4 m;
            src.floats(&m.value[0][0], 16);
            result = own(std::make_unique<MatrixTransform>(m));
            break;
        }
        case kQ3TransformTypeTranslate: {
            const TQ3Vector3D t = vector(src);
            result = transform<kQ3TransformTypeTranslate>(translation(t.x, t.y, t.z));
            break;
        }
        case kQ3TransformTypeScale: {
            const TQ3Vector3D s = vector(src);
            TQ3Matrix4x4 m = identity();
            m.value[0][0] = s.x, m.value[1][1] = s.y, m.value[2][2] = s.z;
            result = transform<kQ3TransformTypeScale>(m);
            break;
        }
        case kQ3TransformTypeRotate: {
            const TQ3Uns32 axis = src.keyword(kAxes);
            result = transform<kQ3TransformTypeRotate>(axisRotation(r, axis, src.f32()));
            break;
        }
        case kQ3TransformTypeRotateAboutPoint: {
            const TQ3Uns32 axis = src.keyword(kAxes);
            const float angle = src.f32();
            const TQ3Vector3D p = vector(src);
            result = transform<kQ3TransformTypeRotateAboutPoint>(
                matrixProduct(matrixProduct(translation(-p.x, -p.y, -p.z), axisRotation(r, axis, angle)), translation(p.x, p.y, p.z)));
            break;
        }
        case kQ3TransformTypeRotateAboutAxis: {
            const TQ3Vector3D p = vector(src), k = vector(src);
            const float angle = src.f32();
            const double length = std::sqrt(double(k.x) * k.x + double(k.y) * k.y + double(k.z) * k.z);
            TQ3Matrix4x4 turn = identity();
            if (length > 0 && std::isfinite(length)) {
                turn = rotation(k.x / length, k.y / length, k.z / length, angle);
            } else {
                postWarning(kQ3WarningParameterOutOfRange);
            }
            result = transform<kQ3TransformTypeRotateAboutAxis>(
                matrixProduct(matrixProduct(translation(-p.x, -p.y, -p.z), turn), translation(p.x, p.y, p.z)));
            break;
        }
        default: {  // quaternion w, x, y, z
            double q[4];
            for (double& v : q) v = src.f32();
            const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
            TQ3Matrix4x4 m = identity();
            if (n > 0 && std::isfinite(n)) {
                const double w = q[0] / n, x = q[1] / n, y = q[2] / n, z = q[3] / n;
                // The transpose of the column-vector rotation, for row vectors.
                const double c[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y)},
                                        {2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x)},
                                        {2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y)}};
                for (int i = 0; i < 3; ++i) {
                    for (int j = 0; j < 3; ++j) m.value[i][j] = float(c[i][j]);
                }
            } else {
                postWarning(kQ3WarningQuaternionEntriesAreZero);
            }
            result = transform<kQ3TransformTypeQuaternion>(m);
            break;
        }
    }
    src.leave();
    readChildren(r, [](const ObjectHead&) { return false; }, [](Ref<Object>&) { return false; });
    return result;
}

bool isShader(TQ3ObjectType code) {
    return code == kQ3IlluminationTypePhong || code == kQ3IlluminationTypeLambert ||
           code == kQ3IlluminationTypeNULL || code == kQ3SurfaceShaderTypeTexture;
}

Ref<Object> readShader(Reading& r) {
    r.src.leave();
    switch (r.head.code) {
        case kQ3IlluminationTypePhong:
            readChildren(r, [](const ObjectHead&) { return false; }, [](Ref<Object>&) { return false; });
            return own(std::make_unique<PhongIllumination>());
        case kQ3IlluminationTypeLambert:
            readChildren(r, [](const ObjectHead&) { return false; }, [](Ref<Object>&) { return false; });
            return own(std::make_unique<LambertIllumination>());
        case kQ3IlluminationTypeNULL:
            readChildren(r, [](const ObjectHead&) { return false; }, [](Ref<Object>&) { return false; });
            return own(std::make_unique<NullIllumination>());
        default:
            break;
    }
    Ref<Texture> texture;
    TQ3Uns32 u = 0, v = 0;
    readChildren(
        r,
        [&](const ObjectHead& child) {
            if (child.code == kShaderData) {
                if (r.src.moreData()) u = r.src.keyword(kBoundary);
                if (r.src.moreData()) v = r.src.keyword(kBoundary);
                r.src.leave();
                return true;
            }
            if (child.code == kShaderTransform) {
                r.src.leave();
                return true;
            }
            return false;
        },
        [&](Ref<Object>& object) {
            auto* found = objectAs<Texture>(*object);
            if (found == nullptr) return false;
            texture = Ref<Texture>::share(found);
            return true;
        });
    if (!texture) {
        postWarning(kQ3WarningInvalidMetafileObject);
        return {};
    }
    Ref<Object> result = own(std::make_unique<TextureShader>(*texture.get()));
    auto& shader = *objectAs<TextureShader>(*result);
    shader.uBoundary = u == 1 ? kQ3ShaderUVBoundaryClamp : kQ3ShaderUVBoundaryWrap;
    shader.vBoundary = v == 1 ? kQ3ShaderUVBoundaryClamp : kQ3ShaderUVBoundaryWrap;
    return result;
}

bool isTexture(TQ3ObjectType code) { return code == kQ3TextureTypePixmap || code == kMipmapTexture; }

Ref<Object> readTexture(Reading& r) {
    Source& src = r.src;
    TQ3StoragePixmap pixmap{};
    if (r.head.code == kQ3TextureTypePixmap) {
        pixmap.width = src.u32();
        pixmap.height = src.u32();
        pixmap.rowBytes = src.u32();
        pixmap.pixelSize = src.u32();
        pixmap.pixelType = pixelTypeOf(r, src.keyword(kPixelTypes));
        pixmap.bitOrder = endianOf(r, src.keyword(kEndian));
        pixmap.byteOrder = endianOf(r, src.keyword(kEndian));
    } else {
        const bool levels = src.boolean();
        pixmap.pixelType = pixelTypeOf(r, src.keyword(kPixelTypes));
        pixmap.bitOrder = endianOf(r, src.keyword(kEndian));
        pixmap.byteOrder = endianOf(r, src.keyword(kEndian));
        pixmap.width = src.u32();
        pixmap.height = src.u32();
        pixmap.rowBytes = src.u32();
        src.u32();  // the offset of the first level
        if (levels) postWarning(kQ3WarningFunctionalityNotSupported);  // only the first level is read
        static constexpr TQ3Uns32 kSizes[] = {32, 32, 16, 16, 16, 24};
        pixmap.pixelSize = kSizes[pixmap.pixelType];
    }
    const std::uint64_t bytes = std::uint64_t(pixmap.rowBytes) * pixmap.height;
    if (pixmap.width == 0 || pixmap.height == 0 || pixmap.pixelSize == 0 ||
        std::uint64_t(pixmap.rowBytes) * 8 < std::uint64_t(pixmap.width) * pixmap.pixelSize) {
        r.bad("has a picture whose size or row length does not hold together");
    }
    r.checkCount(bytes, 1, 1, "bytes of pixels");
    std::vector<unsigned char> pixels(bytes);
    src.raw(pixels.data(), pixels.size());
    src.leave();
    readChildren(r, [](const ObjectHead&) { return false; }, [](Ref<Object>&) { return false; });

    auto storage = std::make_unique<MemoryStorage>();
    storage->setCopy(pixels.data(), TQ3Uns32(pixels.size()));
    Ref<Object> keep = own(std::move(storage));
    pixmap.image = keep.handle();
    auto texture = std::make_unique<PixmapTexture>();
    if (!texture->assign(pixmap)) {
        clearPostedCodes();
        r.bad("has a picture of a kind that cannot be drawn");
    }
    return own(std::move(texture));
}

bool isStyle(TQ3ObjectType code) {
    switch (code) {
        case kQ3StyleTypeBackfacing:
        case kQ3StyleTypeInterpolation:
        case kQ3StyleTypeFill:
        case kQ3StyleTypeSubdivision:
        case kQ3StyleTypeOrientation:
        case kQ3StyleTypeHighlight:
        case kQ3StyleTypeAntiAlias:
        case kQ3StyleTypePickID:
        case kQ3StyleTypePickParts:
        case kQ3StyleTypeReceiveShadows:
        case kQ3StyleTypeCastShadows:
        case kWireframeStyle:
            return true;
        default:
            return false;
    }
}

Ref<Object> readStyle(Reading& r) {
    Source& src = r.src;
    Ref<Object> result;
    switch (r.head.code) {
        case kQ3StyleTypeBackfacing:
            result = style<BackfacingStyle>(src.keyword(kBackfacing), 2, kQ3BackfacingStyleBoth);
            break;
        case kQ3StyleTypeInterpolation:
            result = style<InterpolationStyle>(src.keyword(kInterpolation), 2, kQ3InterpolationStyleVertex);
            break;
        case kQ3StyleTypeFill:
            result = style<FillStyle>(src.keyword(kFill), 2, kQ3FillStyleFilled);
            break;
        case kQ3StyleTypeSubdivision: {
            const TQ3Uns32 method = src.keyword(kSubdivision);
            float c1, c2 = 0;
            if (method == 0) {
                c1 = float(src.u32());
                c2 = float(src.u32());
            } else {
                c1 = src.f32();
            }
            TQ3SubdivisionStyleData d{kQ3SubdivisionMethodConstant, 20, 20};
            if (method <= 2 && std::isfinite(c1) && c1 > 0 && (method != 0 || c2 > 0)) {
                d = {static_cast<TQ3SubdivisionMethod>(method), c1, c2};
            } else {
                postWarning(kQ3WarningParameterOutOfRange);
            }
            result = own(std::make_unique<SubdivisionStyle>(d));
            break;
        }
        case kQ3StyleTypeOrientation:
            result = own(std::make_unique<InertStyle<kQ3StyleTypeOrientation>>());
            break;
        case kQ3StyleTypeHighlight:
            result = own(std::make_unique<InertStyle<kQ3StyleTypeHighlight>>());
            break;
        case kQ3StyleTypeAntiAlias:
            result = own(std::make_unique<InertStyle<kQ3StyleTypeAntiAlias>>());
            break;
        case kQ3StyleTypePickID:
            result = own(std::make_unique<InertStyle<kQ3StyleTypePickID>>());
            break;
        case kQ3StyleTypePickParts:
            result = own(std::make_unique<InertStyle<kQ3StyleTypePickParts>>());
            break;
        case kQ3StyleTypeReceiveShadows:
            result = own(std::make_unique<InertStyle<kQ3StyleTypeReceiveShadows>>());
            break;
        case kQ3StyleTypeCastShadows:
            result = own(std::make_unique<InertStyle<kQ3StyleTypeCastShadows>>());
            break;
        default:
            result = own(std::make_unique<InertStyle<kWireframeStyle>>());
            break;
    }
    src.leave();
    readChildren(r, [](const ObjectHead&) { return false; }, [](Ref<Object>&) { return false; });
    return result;
}

}  // namespace q3d::io
