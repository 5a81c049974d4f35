// How the renderer (and anything else inside the library) reads scene
// content without going through the C API: no error posting, no copies, no
// reference traffic, no virtual call per vertex.
//
// Reading a handle. A TQ3Object from outside is checked once with
// findObject() (Object.h), which never posts; group members (Group.h) are
// already live Objects. Then dispatch on the exact class:
//
//     if (const auto* grid = objectAs<TriGrid>(object)) { ... }
//     if (const auto* spot = objectAs<SpotLight>(object)) { spot->data() ... }
//
// What each class offers (all const, all valid until the object changes or
// goes; every pointer an object hands out refers to something it holds a
// reference to, so it stays live as long as the object does):
//  - AttributeSet (sets/AttributeSet.h): mask(), has(type); normal() and
//    surfaceUV() inline; diffuseColor(), specularColor(), transparencyColor(),
//    specularControl(), ambientCoefficient(), highlightState(), ... as
//    pointers, nullptr when absent.
//  - Box, Ellipsoid, Cone, Line (geometry/Primitives.h): data(), the record
//    as the caller gave it; its attribute-set fields are handles the object
//    holds, turned into sets by heldSet() (nullptr stays nullptr).
//  - TriGrid (geometry/TriGrid.h): rows(), columns(), points() (contiguous,
//    row after row), vertexSets() (one per vertex, or empty when no vertex
//    has one), facetSets(), gridSet(). gatherVertexAttributes() below turns
//    the vertex sets into contiguous value arrays. A blank grid's values may
//    be dense instead: when denseTypes() is not 0 every vertex has a set
//    holding those types, their values in denseNormals() and denseUVs(),
//    and vertexSets() is empty.
//  - AmbientLight, DirectionalLight, PointLight, SpotLight (lights/Lights.h):
//    data(), the checked record; Light::lightData() for any of them.
//  - PhongIllumination, LambertIllumination, NullIllumination, TextureShader
//    (shaders/Shaders.h): the kind is the class; TextureShader::texture().
//  - PixmapTexture (textures/PixmapTexture.h): image(), the pixels in place in
//    their storage, or empty when the storage no longer holds them.
//  - MatrixTransform (transforms/MatrixTransform.h): matrix().
//  - Group and its kinds (groups/Group.h): members(), in order.
//
// Reading may run on several threads at once (a renderer's workers), between
// library calls: nothing here writes to an object, and findObject() is safe
// alongside other lookups. No thread may call into the C API meanwhile.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/q3d/core/Object.h"
#include "platform/q3d/geometry/Primitives.h"
#include "platform/q3d/geometry/TriGrid.h"
#include "platform/q3d/groups/Group.h"
#include "platform/q3d/lights/Lights.h"
#include "platform/q3d/sets/AttributeSet.h"
#include "platform/q3d/shaders/Shaders.h"
#include "platform/q3d/textures/PixmapTexture.h"
#include "platform/q3d/transforms/MatrixTransform.h"

namespace q3d {

// The values of the vertex attribute sets of one geometry, as arrays with
// one element per vertex. Keep one per renderer and reuse it: gathering
// only grows the vectors.
struct VertexAttributes {
    // AttributeSet::bit(type) of every type any vertex has.
    TQ3Uns32 anyTypes = 0;
    // Per vertex, the types its set holds (0 for a vertex without a set).
    std::vector<std::uint16_t> types;
    // Per vertex, the value where the vertex has it and zero where it has
    // not; each array is filled only when some vertex has the type (empty
    // otherwise).
    std::vector<TQ3Vector3D> normals;
    std::vector<TQ3Param2D> surfaceUVs;
    std::vector<TQ3ColorRGB> diffuseColors;
};

// Fills `out` from `sets` (a TriGrid's vertexSets(), or sets gathered from
// any other geometry's vertices; nullptr entries are vertices without a
// set). `vertexCount` is the number of vertices, used when `sets` is empty.
// One pass over the sets; a diffuse colour costs a table lookup. Throws
// std::bad_alloc.
void gatherVertexAttributes(std::span<AttributeSet* const> sets, std::size_t vertexCount, VertexAttributes& out);

}  // namespace q3d
