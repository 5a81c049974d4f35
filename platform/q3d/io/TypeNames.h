// The object names of text 3DMF files and their type codes: one table for
// both directions, so that text and binary files reach the same readers.
#pragma once

#include <string>
#include <string_view>

#include "platform/q3d/QD3D.h"

namespace q3d::io {

// The code of a text object name, matched without regard to case, or 0.
TQ3ObjectType codeOfName(std::string_view name);

// The text name of a code, or empty.
std::string_view nameOfCode(TQ3ObjectType code);

// The code as four characters where they are printable ("tmsh"), else in
// hexadecimal ("0xF0646269").
std::string codeText(TQ3ObjectType code);

// Type codes of the format that have no object kind in QD3D.h.
enum FileCode : TQ3ObjectType {
    kHeader = Q3_OBJECT_TYPE('3', 'D', 'M', 'F'),
    kTableOfContents = Q3_OBJECT_TYPE('t', 'o', 'c', ' '),
    kReference = Q3_OBJECT_TYPE('r', 'f', 'r', 'n'),
    kContainer = Q3_OBJECT_TYPE('c', 'n', 't', 'r'),
    kBeginGroup = Q3_OBJECT_TYPE('b', 'g', 'n', 'g'),
    kEndGroup = Q3_OBJECT_TYPE('e', 'n', 'd', 'g'),
    kTypeDeclaration = Q3_OBJECT_TYPE('t', 'y', 'p', 'e'),
    kDisplayGroupState = Q3_OBJECT_TYPE('d', 'g', 's', 't'),
    kAttributeArray = Q3_OBJECT_TYPE('a', 't', 'a', 'r'),
    kCaps = Q3_OBJECT_TYPE('c', 'a', 'p', 's'),
    kTopCapSet = Q3_OBJECT_TYPE('t', 'c', 'a', 's'),
    kBottomCapSet = Q3_OBJECT_TYPE('b', 'c', 'a', 's'),
    kFaceCapSet = Q3_OBJECT_TYPE('f', 'c', 'a', 's'),
    kInteriorCapSet = Q3_OBJECT_TYPE('i', 'c', 'a', 's'),
    kVertexSetList = Q3_OBJECT_TYPE('v', 'a', 's', 'l'),
    kFaceSetList = Q3_OBJECT_TYPE('f', 'a', 's', 'l'),
    kGeometrySetList = Q3_OBJECT_TYPE('g', 'a', 's', 'l'),
    kPolygonHint = Q3_OBJECT_TYPE('g', 'p', 'l', 'h'),
    kShaderData = Q3_OBJECT_TYPE('s', 'h', 'd', 'r'),
    kShaderTransform = Q3_OBJECT_TYPE('s', 'd', 'u', 'v'),
    kMipmapTexture = Q3_OBJECT_TYPE('t', 'x', 'm', 'm'),
    kDiffuseColor = Q3_OBJECT_TYPE('k', 'd', 'i', 'f'),
    kSpecularColor = Q3_OBJECT_TYPE('k', 's', 'p', 'c'),
    kTransparencyColor = Q3_OBJECT_TYPE('k', 'x', 'p', 'r'),
    kAmbientCoefficient = Q3_OBJECT_TYPE('c', 'a', 'm', 'b'),
    kSpecularControl = Q3_OBJECT_TYPE('c', 's', 'p', 'c'),
    kSurfaceUV = Q3_OBJECT_TYPE('s', 'r', 'u', 'v'),
    kShadingUV = Q3_OBJECT_TYPE('s', 'h', 'u', 'v'),
    kNormal = Q3_OBJECT_TYPE('n', 'r', 'm', 'l'),
    kSurfaceTangent = Q3_OBJECT_TYPE('s', 'r', 't', 'n'),
    kHighlightState = Q3_OBJECT_TYPE('h', 'l', 's', 't'),
    kLambertIllumination = kQ3IlluminationTypeLambert,
    kWireframeStyle = Q3_OBJECT_TYPE('w', 'r', 's', 'w'),
};

}  // namespace q3d::io
