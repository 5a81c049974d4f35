#include "platform/q3d/io/TypeNames.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <unordered_map>

namespace q3d::io {
namespace {

struct Entry {
    std::string_view name;
    TQ3ObjectType code;
};

constexpr TQ3ObjectType c4(const char (&s)[5]) { return Q3_OBJECT_TYPE(s[0], s[1], s[2], s[3]); }

// Several names of one code: the first is the one written back.
constexpr Entry kEntries[] = {
    {"3DMetafile", kHeader},
    {"TableOfContents", kTableOfContents},
    {"Reference", kReference},
    {"Container", kContainer},
    {"BeginGroup", kBeginGroup},
    {"EndGroup", kEndGroup},
    {"Type", kTypeDeclaration},
    {"DisplayGroupState", kDisplayGroupState},
    {"Group", kQ3ShapeTypeGroup},
    {"DisplayGroup", kQ3GroupTypeDisplay},
    {"OrderedDisplayGroup", kQ3DisplayGroupTypeOrdered},
    {"LightGroup", kQ3GroupTypeLight},
    {"InfoGroup", kQ3GroupTypeInfo},
    {"IOProxyDisplayGroup", kQ3DisplayGroupTypeIOProxy},
    {"TriMesh", kQ3GeometryTypeTriMesh},
    {"Mesh", kQ3GeometryTypeMesh},
    {"Polygon", kQ3GeometryTypePolygon},
    {"GeneralPolygon", kQ3GeometryTypeGeneralPolygon},
    {"GeneralPolygonHint", kPolygonHint},
    {"Triangle", kQ3GeometryTypeTriangle},
    {"TriGrid", kQ3GeometryTypeTriGrid},
    {"PolyLine", kQ3GeometryTypePolyLine},
    {"Line", kQ3GeometryTypeLine},
    {"Point", kQ3GeometryTypePoint},
    {"Marker", kQ3GeometryTypeMarker},
    {"PixmapMarker", kQ3GeometryTypePixmapMarker},
    {"Box", kQ3GeometryTypeBox},
    {"Ellipsoid", kQ3GeometryTypeEllipsoid},
    {"Cylinder", kQ3GeometryTypeCylinder},
    {"Cone", kQ3GeometryTypeCone},
    {"Disk", kQ3GeometryTypeDisk},
    {"Torus", kQ3GeometryTypeTorus},
    {"NURBCurve", kQ3GeometryTypeNURBCurve},
    {"NURBPatch", kQ3GeometryTypeNURBPatch},
    {"Caps", kCaps},
    {"TopCapAttributeSet", kTopCapSet},
    {"BottomCapAttributeSet", kBottomCapSet},
    {"FaceCapAttributeSet", kFaceCapSet},
    {"InteriorCapAttributeSet", kInteriorCapSet},
    {"AttributeSet", kQ3SetTypeAttribute},
    {"AttributeArray", kAttributeArray},
    {"VertexAttributeSetList", kVertexSetList},
    {"FaceAttributeSetList", kFaceSetList},
    {"GeometryAttributeSetList", kGeometrySetList},
    {"DiffuseColor", kDiffuseColor},
    {"SpecularColor", kSpecularColor},
    {"TransparencyColor", kTransparencyColor},
    {"AmbientCoefficient", kAmbientCoefficient},
    {"SpecularControl", kSpecularControl},
    {"SurfaceUV", kSurfaceUV},
    {"ShadingUV", kShadingUV},
    {"Normal", kNormal},
    {"SurfaceTangent", kSurfaceTangent},
    {"HighlightState", kHighlightState},
    {"Translate", kQ3TransformTypeTranslate},
    {"Scale", kQ3TransformTypeScale},
    {"Rotate", kQ3TransformTypeRotate},
    {"RotateAboutPoint", kQ3TransformTypeRotateAboutPoint},
    {"RotateAboutAxis", kQ3TransformTypeRotateAboutAxis},
    {"Quaternion", kQ3TransformTypeQuaternion},
    {"Matrix", kQ3TransformTypeMatrix},
    {"PhongIllumination", kQ3IlluminationTypePhong},
    {"LambertIllumination", kQ3IlluminationTypeLambert},
    {"NULLIllumination", kQ3IlluminationTypeNULL},
    {"TextureShader", kQ3SurfaceShaderTypeTexture},
    {"Shader", kShaderData},
    {"ShaderUVTransform", kShaderTransform},
    {"PixmapTexture", kQ3TextureTypePixmap},
    {"MipmapTexture", kMipmapTexture},
    {"Backfacing", kQ3StyleTypeBackfacing},
    {"BackfacingStyle", kQ3StyleTypeBackfacing},
    {"Interpolation", kQ3StyleTypeInterpolation},
    {"InterpolationStyle", kQ3StyleTypeInterpolation},
    {"Fill", kQ3StyleTypeFill},
    {"FillStyle", kQ3StyleTypeFill},
    {"Subdivision", kQ3StyleTypeSubdivision},
    {"SubdivisionStyle", kQ3StyleTypeSubdivision},
    {"OrientationStyle", kQ3StyleTypeOrientation},
    {"Orientation", kQ3StyleTypeOrientation},
    {"HighlightStyle", kQ3StyleTypeHighlight},
    {"Highlight", kQ3StyleTypeHighlight},
    {"AntiAliasStyle", kQ3StyleTypeAntiAlias},
    {"PickIDStyle", kQ3StyleTypePickID},
    {"PickPartsStyle", kQ3StyleTypePickParts},
    {"ReceiveShadowsStyle", kQ3StyleTypeReceiveShadows},
    {"CastShadowsStyle", kQ3StyleTypeCastShadows},
    {"WireframeStyle", kWireframeStyle},
    {"Light", c4("lght")},
    {"AmbientLight", kQ3LightTypeAmbient},
    {"DirectionalLight", kQ3LightTypeDirectional},
    {"PointLight", kQ3LightTypePoint},
    {"SpotLight", kQ3LightTypeSpot},
    {"OrthographicCamera", kQ3CameraTypeOrthographic},
    {"ViewAngleAspectCamera", kQ3CameraTypeViewAngleAspect},
    {"ViewPlaneCamera", c4("vwpl")},
    {"CameraPlacement", c4("cmpl")},
    {"CameraRange", c4("cmrg")},
    {"CameraViewPort", c4("cmvp")},
    {"ViewHints", kQ3SharedTypeViewHints},
    {"ImageDimensions", c4("imgd")},
    {"ImageMask", c4("immk")},
    {"ImageClearColor", c4("imcc")},
    {"String", c4("strc")},
    {"CString", c4("strc")},
    {"UnicodeString", c4("uncd")},
    {"NameElement", c4("name")},
    {"UnknownText", c4("uktx")},
    {"UnknownBinary", c4("ukbn")},
};

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

const std::unordered_map<std::string, TQ3ObjectType>& byName() {
    static const auto* map = [] {
        auto* m = new std::unordered_map<std::string, TQ3ObjectType>();
        for (const Entry& e : kEntries) m->emplace(lower(e.name), e.code);
        return m;
    }();
    return *map;
}

}  // namespace

TQ3ObjectType codeOfName(std::string_view name) {
    if (name.size() > 64) return 0;
    const auto& map = byName();
    const auto found = map.find(lower(name));
    return found == map.end() ? 0 : found->second;
}

std::string_view nameOfCode(TQ3ObjectType code) {
    for (const Entry& e : kEntries) {
        if (e.code == code) return e.name;
    }
    return {};
}

std::string codeText(TQ3ObjectType code) {
    const auto u = TQ3Uns32(code);
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned c = (u >> shift) & 0xff;
        if (c < 0x20 || c > 0x7e) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08X", u);
            return hex;
        }
        text.push_back(char(c));
    }
    return text;
}

}  // namespace q3d::io
