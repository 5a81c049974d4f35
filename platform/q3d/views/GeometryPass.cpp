#include "platform/q3d/views/GeometryPass.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>
#include <numeric>

#include "platform/q3d/geometry/MeshedGeometry.h"
#include "platform/q3d/geometry/Primitives.h"
#include "platform/q3d/geometry/TriGrid.h"
#include "platform/q3d/shaders/Shaders.h"
#include "platform/q3d/textures/PixmapTexture.h"

namespace q3d::views {
namespace {

// Makes `array` hold at least `count` elements, keeping nothing: a grid's
// gathered values are written whole before they are read.
template <class T>
void growTo(LargeArray<T>& array, std::size_t count) {
    if (array.size() < count) array = LargeArray<T>(count);
}

constexpr TQ3Uns32 kNormalBit = AttributeSet::bit(kQ3AttributeTypeNormal);
constexpr TQ3Uns32 kUVBit = AttributeSet::bit(kQ3AttributeTypeSurfaceUV);
constexpr TQ3Uns32 kDiffuseBit = AttributeSet::bit(kQ3AttributeTypeDiffuseColor);

template <class T>
const T* as(const Geometry& geometry) {
    return objectAs<T>(const_cast<Geometry&>(geometry));
}

// The diffuse colour of the set behind a geometry's handle, or `fallback`.
TQ3ColorRGB colorOf(TQ3AttributeSet handle, const TQ3ColorRGB& fallback) {
    if (handle == nullptr) return fallback;
    const AttributeSet* set = heldSet(handle);
    return set->has(kQ3AttributeTypeDiffuseColor) ? *set->diffuseColor() : fallback;
}

void mergeSet(SurfaceAttributes& surface, TQ3AttributeSet handle) {
    if (handle != nullptr) surface.merge(*heldSet(handle));
}

bool isAffine(const TQ3Matrix4x4& m) {
    return m.value[0][3] == 0 && m.value[1][3] == 0 && m.value[2][3] == 0 && m.value[3][3] == 1;
}

struct P3 {
    double x, y, z;
};

// A local vector through the linear part of m.
P3 linear(const TQ3Matrix4x4& m, double x, double y, double z) {
    return {x * m.value[0][0] + y * m.value[1][0] + z * m.value[2][0],
            x * m.value[0][1] + y * m.value[1][1] + z * m.value[2][1],
            x * m.value[0][2] + y * m.value[1][2] + z * m.value[2][2]};
}

double length(const P3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
double worldLength(const TQ3Matrix4x4& m, const TQ3Vector3D& v) { return length(linear(m, v.x, v.y, v.z)); }

// A local point through m, with the homogeneous divide a projective matrix
// needs; false when the point goes to infinity.
bool transformPoint(const TQ3Matrix4x4& m, double x, double y, double z, P3& out) {
    const P3 l = linear(m, x, y, z);
    const double w = x * m.value[0][3] + y * m.value[1][3] + z * m.value[2][3] + m.value[3][3];
    if (w == 0) return false;
    out = {(l.x + m.value[3][0]) / w, (l.y + m.value[3][1]) / w, (l.z + m.value[3][2]) / w};
    return true;
}

void addPoint(BoundsBox& box, const TQ3Matrix4x4& m, double x, double y, double z) {
    P3 p;
    if (transformPoint(m, x, y, z, p)) box.add(p.x, p.y, p.z);
}

// The eight corners of a local axis-aligned box.
void addLocalBox(BoundsBox& box, const TQ3Matrix4x4& m, const double lo[3], const double hi[3]) {
    for (int corner = 0; corner < 8; ++corner) {
        addPoint(box, m, (corner & 1) ? hi[0] : lo[0], (corner & 2) ? hi[1] : lo[1], (corner & 4) ? hi[2] : lo[2]);
    }
}

// The exact world box of the ellipse (or ellipsoid, with a third axis)
// centre + Σ cos/sin · axes, under an affine m: per world axis, the centre
// plus or minus the length of that axis's components.
void addEllipse(BoundsBox& box, const TQ3Matrix4x4& m, const P3& centre, const P3* axes, int count) {
    P3 c;
    if (!transformPoint(m, centre.x, centre.y, centre.z, c)) return;
    double half[3] = {0, 0, 0};
    for (int i = 0; i < count; ++i) {
        const P3 a = linear(m, axes[i].x, axes[i].y, axes[i].z);
        half[0] += a.x * a.x, half[1] += a.y * a.y, half[2] += a.z * a.z;
    }
    for (double& h : half) h = std::sqrt(h);
    box.add(c.x - half[0], c.y - half[1], c.z - half[2]);
    box.add(c.x + half[0], c.y + half[1], c.z + half[2]);
}

P3 p3(const TQ3Point3D& p) { return {p.x, p.y, p.z}; }
P3 p3(const TQ3Vector3D& v) { return {v.x, v.y, v.z}; }

uint32_t clampSteps(double steps, uint32_t least) {
    if (!(steps >= least)) return least;  // NaN too
    return uint32_t(std::min(std::ceil(steps), double(kMaxSteps)));
}

// Steps for a surface `around` world units round and `along` long, by the
// subdivision style; `centre` (local) places it for screen space.
Steps stepsFor(const ViewState& state, double around, double along, const P3& centre, const ScreenScale& scale) {
    const TQ3SubdivisionStyleData& s = state.subdivision;
    if (s.method == kQ3SubdivisionMethodConstant) {
        return {clampSteps(std::round(s.c1), 3), clampSteps(std::round(s.c2), 1)};
    }
    double pixelsPerUnit = 1;
    if (s.method == kQ3SubdivisionMethodScreenSpace && scale.known) {
        pixelsPerUnit = scale.pixelsPerUnit;
        P3 world, view;
        if (scale.perspective && transformPoint(state.localToWorld, centre.x, centre.y, centre.z, world) &&
            transformPoint(scale.worldToView, world.x, world.y, world.z, view)) {
            pixelsPerUnit /= std::max(-view.z, 1e-3);
        }
    }
    return {clampSteps(around * pixelsPerUnit / s.c1, 3), clampSteps(along * pixelsPerUnit / s.c1, 1)};
}

Steps ellipsoidSteps(const TQ3EllipsoidData& e, const ViewState& state, const ScreenScale& scale) {
    const TQ3Matrix4x4& m = state.localToWorld;
    const double radius = std::max(worldLength(m, e.majorRadius), worldLength(m, e.minorRadius));
    const double height = worldLength(m, e.orientation);
    return stepsFor(state, 2 * std::numbers::pi * radius, std::numbers::pi * std::max(radius, height), p3(e.origin),
                    scale);
}

Steps coneSteps(const TQ3ConeData& c, const ViewState& state, const ScreenScale& scale) {
    const TQ3Matrix4x4& m = state.localToWorld;
    const double radius = std::max(worldLength(m, c.majorRadius), worldLength(m, c.minorRadius));
    const double height = worldLength(m, c.orientation);
    return stepsFor(state, 2 * std::numbers::pi * radius, std::hypot(radius, height), p3(c.origin), scale);
}

// A 16- or 24-bit texel as 0xFFRRGGBB.
uint32_t texelWord(const unsigned char* at, TQ3PixelType type, bool bigEndian) {
    auto expand5 = [](uint32_t c) { return (c << 3) | (c >> 2); };
    auto expand6 = [](uint32_t c) { return (c << 2) | (c >> 4); };
    uint32_t r, g, b;
    if (type == kQ3PixelTypeRGB24) {
        r = bigEndian ? at[0] : at[2];
        g = at[1];
        b = bigEndian ? at[2] : at[0];
    } else {
        const uint32_t w = bigEndian ? (uint32_t(at[0]) << 8) | at[1] : (uint32_t(at[1]) << 8) | at[0];
        if (type == kQ3PixelTypeRGB16_565) {
            r = expand5((w >> 11) & 31), g = expand6((w >> 5) & 63), b = expand5(w & 31);
        } else {
            r = expand5((w >> 10) & 31), g = expand5((w >> 5) & 31), b = expand5(w & 31);
        }
    }
    return 0xff000000u | (r << 16) | (g << 8) | b;
}

}  // namespace

void BoundsBox::add(double x, double y, double z) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return;
    const double p[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) {
        if (empty_ || p[i] < min_[i]) min_[i] = p[i];
        if (empty_ || p[i] > max_[i]) max_[i] = p[i];
    }
    empty_ = false;
}

TQ3BoundingBox BoundsBox::result() const {
    TQ3BoundingBox box{};
    box.isEmpty = empty_ ? kQ3True : kQ3False;
    if (!empty_) {
        box.min = {float(min_[0]), float(min_[1]), float(min_[2])};
        box.max = {float(max_[0]), float(max_[1]), float(max_[2])};
    }
    return box;
}

const raster::Texture* GeometryPass::texture(const ViewState& state) {
    if (state.textureShader == nullptr) return nullptr;
    const PixmapTexture* pixmapTexture = objectAs<PixmapTexture>(*state.textureShader->texture());
    if (pixmapTexture == nullptr) return nullptr;
    const TextureImage image = pixmapTexture->image();
    if (image.pixels == nullptr) return nullptr;
    texture_ = raster::Texture{};
    texture_.boundaryU = static_cast<raster::UVBoundary>(state.textureShader->uBoundary);
    texture_.boundaryV = static_cast<raster::UVBoundary>(state.textureShader->vBoundary);
    TQ3Pixmap& p = texture_.pixmap;
    p.width = image.width;
    p.height = image.height;
    p.pixelSize = 32;
    if (image.pixelSize == 32) {
        // The rasteriser reads 32-bit pixels in place, from the storage's
        // own bytes; it only reads through this pointer.
        p.image = const_cast<unsigned char*>(image.pixels);
        p.rowBytes = image.rowBytes;
        p.pixelType = image.pixelType;
        p.bitOrder = p.byteOrder = image.byteOrder;
        return &texture_;
    }
    const std::size_t count = std::size_t(image.width) * image.height;
    textureWords_.resize(count);
    const bool bigEndian = image.byteOrder == kQ3EndianBig;
    const std::size_t bytesPerTexel = image.pixelSize / 8;
    for (TQ3Uns32 y = 0; y < image.height; ++y) {
        const unsigned char* row = image.pixels + std::size_t(y) * image.rowBytes;
        uint32_t* out = textureWords_.data() + std::size_t(y) * image.width;
        for (TQ3Uns32 x = 0; x < image.width; ++x)
            out[x] = texelWord(row + x * bytesPerTexel, image.pixelType, bigEndian);
    }
    p.image = textureWords_.data();
    p.rowBytes = image.width * 4;
    p.pixelType = kQ3PixelTypeARGB32;
    p.bitOrder = p.byteOrder = std::endian::native == std::endian::little ? kQ3EndianLittle : kQ3EndianBig;
    return &texture_;
}

raster::DrawState GeometryPass::drawState(const ViewState& state, const SurfaceAttributes& surface) {
    raster::DrawState ds;
    ds.localToWorld = state.localToWorld;
    ds.material.illumination = state.illumination;
    ds.material.diffuseColor = surface.diffuse;
    ds.material.specularColor = surface.specular;
    ds.material.specularControl = surface.specularControl;
    ds.material.ambientCoefficient = surface.ambientCoefficient;
    // The rasteriser's enumerations carry QuickDraw 3D's values.
    ds.backfacing = static_cast<raster::Backfacing>(state.backfacing);
    ds.fill = static_cast<raster::Fill>(state.fill);
    ds.texture = texture(state);
    return ds;
}

TQ3Error GeometryPass::draw(raster::Renderer& engine, const Geometry& geometry, const ViewState& state,
                            const ScreenScale& scale) {
    if (const TriGrid* grid = as<TriGrid>(geometry)) {
        drawTriGrid(engine, *grid, state);
        return kQ3ErrorNone;
    }
    if (const Line* line = as<Line>(geometry)) {
        drawLine(engine, *line, state);
        return kQ3ErrorNone;
    }
    if (const auto* meshed = dynamic_cast<const MeshedGeometry*>(&geometry)) {
        drawMeshed(engine, *meshed, state);
        return kQ3ErrorNone;
    }
    SurfaceAttributes surface = state.surface;
    if (!tessellate(geometry, state, scale, surface)) return kQ3ErrorUnsupportedGeometryType;
    drawMesh(engine, state, surface);
    return kQ3ErrorNone;
}

bool GeometryPass::tessellate(const Geometry& geometry, const ViewState& state, const ScreenScale& scale,
                              SurfaceAttributes& surface) {
    if (const Box* box = as<Box>(geometry)) {
        const TQ3BoxData& d = box->data();
        mergeSet(surface, d.boxAttributeSet);
        TQ3ColorRGB faces[6];
        for (int i = 0; i < 6; ++i) {
            faces[i] =
                d.faceAttributeSet != nullptr ? colorOf(d.faceAttributeSet[i], surface.diffuse) : surface.diffuse;
        }
        tessellateBox(d, faces, mesh_);
        return true;
    }
    if (const Ellipsoid* ellipsoid = as<Ellipsoid>(geometry)) {
        const TQ3EllipsoidData& d = ellipsoid->data();
        mergeSet(surface, d.ellipsoidAttributeSet);
        tessellateEllipsoid(d, ellipsoidSteps(d, state, scale), surface.diffuse,
                            colorOf(d.interiorAttributeSet, surface.diffuse), mesh_);
        return true;
    }
    if (const Cone* cone = as<Cone>(geometry)) {
        const TQ3ConeData& d = cone->data();
        mergeSet(surface, d.coneAttributeSet);
        tessellateCone(d, coneSteps(d, state, scale), colorOf(d.faceAttributeSet, surface.diffuse),
                       colorOf(d.bottomAttributeSet, surface.diffuse), colorOf(d.interiorAttributeSet, surface.diffuse),
                       mesh_);
        return true;
    }
    return false;
}

void GeometryPass::drawMesh(raster::Renderer& engine, const ViewState& state, const SurfaceAttributes& surface) {
    if (mesh_.indices.empty()) return;
    raster::VertexArrays va;
    va.points = mesh_.points.data();
    va.count = uint32_t(mesh_.points.size());
    va.normals = state.interpolation == kQ3InterpolationStyleNone ? nullptr : mesh_.normals.data();
    va.uvs = mesh_.uvs.data();
    va.colors = mesh_.colors.data();
    engine.drawTriangles(va, mesh_.indices, drawState(state, surface));
}

void GeometryPass::drawMeshed(raster::Renderer& engine, const MeshedGeometry& geometry, const ViewState& state) {
    const ShapeMesh& m = geometry.mesh();
    if (m.points.empty()) return;
    SurfaceAttributes surface = state.surface;
    if (const AttributeSet* set = geometry.attributeSet()) surface.merge(*set);
    ViewState local = state;
    if (const TextureShader* shader = geometry.textureShader()) local.textureShader = shader;
    raster::VertexArrays va;
    va.points = m.points.data();
    va.count = uint32_t(m.points.size());
    va.normals = m.normals.empty() || state.interpolation == kQ3InterpolationStyleNone ? nullptr : m.normals.data();
    va.uvs = m.uvs.empty() ? nullptr : m.uvs.data();
    va.colors = m.colors.empty() ? nullptr : m.colors.data();
    const raster::DrawState ds = drawState(local, surface);
    if (!m.triangles.empty()) engine.drawTriangles(va, m.triangles, ds);
    if (!m.lines.empty()) engine.drawLines(va, m.lines, ds);
    if (m.drawsPoints) engine.drawPoints(va, ds);
}

void GeometryPass::drawLine(raster::Renderer& engine, const Line& line, const ViewState& state) {
    const TQ3LineData& d = line.data();
    SurfaceAttributes surface = state.surface;
    mergeSet(surface, d.lineAttributeSet);
    points_.assign({d.vertices[0].point, d.vertices[1].point});
    colors_.resize(2);
    normals_.resize(2);
    bool normals = state.interpolation != kQ3InterpolationStyleNone;
    for (int i = 0; i < 2; ++i) {
        const TQ3AttributeSet handle = d.vertices[i].attributeSet;
        colors_[i] = colorOf(handle, surface.diffuse);
        if (handle != nullptr && heldSet(handle)->has(kQ3AttributeTypeNormal)) {
            normals_[i] = heldSet(handle)->normal();
        } else {
            normals = false;
        }
    }
    raster::VertexArrays va;
    va.points = points_.data();
    va.count = 2;
    va.normals = normals ? normals_.data() : nullptr;
    va.colors = colors_.data();
    static constexpr uint32_t kEnds[2] = {0, 1};
    engine.drawLines(va, kEnds, drawState(state, surface));
}

void GeometryPass::drawTriGrid(raster::Renderer& engine, const TriGrid& grid, const ViewState& state) {
    // A grid of one row or one column has no facets.
    if (grid.rows() < 2 || grid.columns() < 2) return;
    SurfaceAttributes surface = state.surface;
    if (const AttributeSet* set = grid.gridSet()) surface.merge(*set);
    for (const AttributeSet* facet : grid.facetSets()) {
        if (facet != nullptr && (facet->mask() & (kDiffuseBit | kNormalBit)) != 0) {
            drawGridFacets(engine, grid, state, surface);
            return;
        }
    }

    const std::span<AttributeSet* const> sets = grid.vertexSets();
    const std::size_t count = grid.vertexCount();
    raster::VertexArrays va;
    va.points = grid.points().data();
    va.count = uint32_t(count);
    if (grid.denseTypes() != 0) {
        // The values are already arrays: drawn in place.
        if (state.interpolation != kQ3InterpolationStyleNone && !grid.denseNormals().empty()) {
            va.normals = grid.denseNormals().data();
        }
        if (!grid.denseUVs().empty()) va.uvs = grid.denseUVs().data();
        engine.drawTriGrid(va, grid.rows(), grid.columns(), drawState(state, surface));
        return;
    }
    bool allNormals = false, allUVs = false, anyColor = false;
    if (!sets.empty()) {
        // One pass over the vertices' sets: the normal and UV arrays are
        // written while every vertex so far has the value, and given up at
        // the first that lacks it.
        growTo(gridNormals_, count);
        growTo(gridUVs_, count);
        TQ3Vector3D* normals = gridNormals_.data();
        TQ3Param2D* uvs = gridUVs_.data();
        allNormals = allUVs = true;
        for (std::size_t i = 0; i < count; ++i) {
            const AttributeSet* set = sets[i];
            const TQ3Uns32 mask = set != nullptr ? set->mask() : 0;
            if (allNormals) {
                if ((mask & kNormalBit) != 0) {
                    normals[i] = set->normal();
                } else {
                    allNormals = false;
                }
            }
            if (allUVs) {
                if ((mask & kUVBit) != 0) {
                    uvs[i] = set->surfaceUV();
                } else {
                    allUVs = false;
                }
            }
            anyColor = anyColor || (mask & kDiffuseBit) != 0;
        }
        if (anyColor) {
            growTo(gridColors_, count);
            TQ3ColorRGB* colors = gridColors_.data();
            for (std::size_t i = 0; i < count; ++i) {
                const AttributeSet* set = sets[i];
                colors[i] =
                    set != nullptr && (set->mask() & kDiffuseBit) != 0 ? *set->diffuseColor() : surface.diffuse;
            }
        }
    }
    va.normals = allNormals && state.interpolation != kQ3InterpolationStyleNone ? gridNormals_.data() : nullptr;
    va.uvs = allUVs ? gridUVs_.data() : nullptr;
    va.colors = anyColor ? gridColors_.data() : nullptr;
    engine.drawTriGrid(va, grid.rows(), grid.columns(), drawState(state, surface));
}

// A grid whose facets carry colours or normals: every triangle gets three
// vertices of its own, so that a facet's values reach only its corners. The
// triangles are the rasteriser's grid triangles (Renderer.h): facet 2k of
// cell k is (r, c), (r, c+1), (r+1, c), facet 2k + 1 is (r, c+1), (r+1, c+1),
// (r+1, c).
void GeometryPass::drawGridFacets(raster::Renderer& engine, const TriGrid& grid, const ViewState& state,
                                  const SurfaceAttributes& surface) {
    const uint32_t rows = grid.rows(), columns = grid.columns();
    const std::size_t triangles = std::size_t(rows - 1) * (columns - 1) * 2;
    if (triangles * 3 >= (std::size_t{1} << 31)) throw std::bad_alloc();
    const std::size_t corners = triangles * 3;
    const std::span<const TQ3Point3D> points = grid.points();
    const std::span<AttributeSet* const> sets = grid.vertexSets();
    const std::span<AttributeSet* const> facets = grid.facetSets();
    auto allHave = [&](TQ3Uns32 bit) {
        return !sets.empty() && std::all_of(sets.begin(), sets.end(),
                                            [&](const AttributeSet* s) { return s != nullptr && (s->mask() & bit); });
    };
    const bool vertexNormals = allHave(kNormalBit) && state.interpolation != kQ3InterpolationStyleNone;
    const bool vertexUVs = allHave(kUVBit);

    points_.resize(corners);
    normals_.resize(std::max(normals_.size(), corners));
    colors_.resize(std::max(colors_.size(), corners));
    if (vertexUVs) uvs_.resize(std::max(uvs_.size(), corners));
    indices_.resize(corners);
    std::iota(indices_.begin(), indices_.end(), 0u);

    std::size_t k = 0;
    for (uint32_t r = 0; r + 1 < rows; ++r) {
        for (uint32_t c = 0; c + 1 < columns; ++c) {
            const uint32_t v = r * columns + c;
            const uint32_t halves[2][3] = {{v, v + 1, v + columns}, {v + 1, v + columns + 1, v + columns}};
            for (const auto& corner : halves) {
                const AttributeSet* facet = facets.empty() ? nullptr : facets[k];
                const TQ3Uns32 facetMask = facet != nullptr ? facet->mask() : 0;
                const TQ3ColorRGB facetColor =
                    (facetMask & kDiffuseBit) != 0 ? *facet->diffuseColor() : surface.diffuse;
                TQ3Vector3D faceNormal;
                if ((facetMask & kNormalBit) != 0) {
                    faceNormal = facet->normal();
                } else {
                    const TQ3Point3D& a = points[corner[0]];
                    const TQ3Point3D& b = points[corner[1]];
                    const TQ3Point3D& d = points[corner[2]];
                    const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
                    const float wx = d.x - a.x, wy = d.y - a.y, wz = d.z - a.z;
                    faceNormal = {uy * wz - uz * wy, uz * wx - ux * wz, ux * wy - uy * wx};
                }
                for (int q = 0; q < 3; ++q) {
                    const std::size_t out = k * 3 + q;
                    const AttributeSet* set = sets.empty() ? nullptr : sets[corner[q]];
                    const TQ3Uns32 mask = set != nullptr ? set->mask() : 0;
                    points_[out] = points[corner[q]];
                    colors_[out] = (mask & kDiffuseBit) != 0 ? *set->diffuseColor() : facetColor;
                    normals_[out] = vertexNormals ? set->normal() : faceNormal;
                    if (vertexUVs) uvs_[out] = set->surfaceUV();
                }
                ++k;
            }
        }
    }
    raster::VertexArrays va;
    va.points = points_.data();
    va.count = uint32_t(corners);
    va.normals = normals_.data();
    va.uvs = vertexUVs ? uvs_.data() : nullptr;
    va.colors = colors_.data();
    engine.drawTriangles(va, indices_, drawState(state, surface));
}

TQ3Error GeometryPass::bound(const Geometry& geometry, const ViewState& state, TQ3ComputeBounds mode, BoundsBox& box) {
    const TQ3Matrix4x4& m = state.localToWorld;
    const bool exact = mode == kQ3ComputeBoundsExact;
    if (const TriGrid* grid = as<TriGrid>(geometry)) {
        const std::span<const TQ3Point3D> points = grid->points();
        if (exact) {
            for (const TQ3Point3D& p : points) addPoint(box, m, p.x, p.y, p.z);
            return kQ3ErrorNone;
        }
        BoundsBox local;
        for (const TQ3Point3D& p : points) local.add(p.x, p.y, p.z);
        if (!local.isEmpty()) {
            const TQ3BoundingBox b = local.result();
            const double lo[3] = {b.min.x, b.min.y, b.min.z}, hi[3] = {b.max.x, b.max.y, b.max.z};
            addLocalBox(box, m, lo, hi);
        }
        return kQ3ErrorNone;
    }
    if (const Line* line = as<Line>(geometry)) {
        for (const TQ3Vertex3D& v : line->data().vertices) addPoint(box, m, v.point.x, v.point.y, v.point.z);
        return kQ3ErrorNone;
    }
    if (const auto* meshed = dynamic_cast<const MeshedGeometry*>(&geometry)) {
        const TQ3BoundingBox& b = meshed->localBounds();
        if (b.isEmpty) return kQ3ErrorNone;
        if (exact) {
            for (const TQ3Point3D& p : meshed->mesh().points) addPoint(box, m, p.x, p.y, p.z);
        } else {
            const double lo[3] = {b.min.x, b.min.y, b.min.z}, hi[3] = {b.max.x, b.max.y, b.max.z};
            addLocalBox(box, m, lo, hi);
        }
        return kQ3ErrorNone;
    }
    if (const Box* b = as<Box>(geometry)) {
        const TQ3BoxData& d = b->data();
        BoundsBox local;
        for (int corner = 0; corner < 8; ++corner) {
            double p[3] = {d.origin.x, d.origin.y, d.origin.z};
            const TQ3Vector3D* edges[3] = {&d.minorAxis, &d.orientation, &d.majorAxis};
            for (int e = 0; e < 3; ++e) {
                if ((corner >> e) & 1) p[0] += edges[e]->x, p[1] += edges[e]->y, p[2] += edges[e]->z;
            }
            if (exact) {
                addPoint(box, m, p[0], p[1], p[2]);
            } else {
                local.add(p[0], p[1], p[2]);
            }
        }
        if (!exact && !local.isEmpty()) {
            const TQ3BoundingBox lb = local.result();
            const double lo[3] = {lb.min.x, lb.min.y, lb.min.z}, hi[3] = {lb.max.x, lb.max.y, lb.max.z};
            addLocalBox(box, m, lo, hi);
        }
        return kQ3ErrorNone;
    }
    if (const Ellipsoid* ellipsoid = as<Ellipsoid>(geometry)) {
        const TQ3EllipsoidData& d = ellipsoid->data();
        const ParamRange ur = paramRange(d.uMin, d.uMax), vr = paramRange(d.vMin, d.vMax);
        if (ur.empty() || vr.empty()) return kQ3ErrorNone;
        const P3 axes[3] = {p3(d.majorRadius), p3(d.minorRadius), p3(d.orientation)};
        if (!exact) {
            const P3 o = p3(d.origin);
            double lo[3] = {o.x, o.y, o.z}, hi[3] = {o.x, o.y, o.z};
            for (const P3& a : axes) {
                const double extent[3] = {std::fabs(a.x), std::fabs(a.y), std::fabs(a.z)};
                for (int i = 0; i < 3; ++i) lo[i] -= extent[i], hi[i] += extent[i];
            }
            addLocalBox(box, m, lo, hi);
        } else if (ur.whole() && vr.whole() && isAffine(m)) {
            addEllipse(box, m, p3(d.origin), axes, 3);
        } else {
            tessellateEllipsoid(d, ellipsoidSteps(d, state, ScreenScale{}), {}, {}, mesh_);
            for (const TQ3Point3D& p : mesh_.points) addPoint(box, m, p.x, p.y, p.z);
        }
        return kQ3ErrorNone;
    }
    if (const Cone* cone = as<Cone>(geometry)) {
        const TQ3ConeData& d = cone->data();
        const ParamRange ur = paramRange(d.uMin, d.uMax), vr = paramRange(d.vMin, d.vMax);
        if (ur.empty() || vr.empty()) return kQ3ErrorNone;
        const P3 o = p3(d.origin), a = p3(d.majorRadius), b = p3(d.minorRadius), h = p3(d.orientation);
        if (!exact) {
            double lo[3] = {o.x, o.y, o.z}, hi[3] = {o.x, o.y, o.z};
            const double ring[3] = {std::fabs(a.x) + std::fabs(b.x), std::fabs(a.y) + std::fabs(b.y),
                                    std::fabs(a.z) + std::fabs(b.z)};
            const double apex[3] = {o.x + h.x, o.y + h.y, o.z + h.z};
            const double centre[3] = {o.x, o.y, o.z};
            for (int i = 0; i < 3; ++i) {
                lo[i] = std::min(centre[i] - ring[i], apex[i]);
                hi[i] = std::max(centre[i] + ring[i], apex[i]);
            }
            addLocalBox(box, m, lo, hi);
        } else if (ur.whole() && isAffine(m)) {
            for (double v : {vr.lo, vr.hi}) {
                const P3 centre{o.x + v * h.x, o.y + v * h.y, o.z + v * h.z};
                const P3 radii[2] = {{a.x * (1 - v), a.y * (1 - v), a.z * (1 - v)},
                                     {b.x * (1 - v), b.y * (1 - v), b.z * (1 - v)}};
                addEllipse(box, m, centre, radii, 2);
            }
        } else {
            tessellateCone(d, coneSteps(d, state, ScreenScale{}), {}, {}, {}, mesh_);
            for (const TQ3Point3D& p : mesh_.points) addPoint(box, m, p.x, p.y, p.z);
        }
        return kQ3ErrorNone;
    }
    return kQ3ErrorUnsupportedGeometryType;
}

}  // namespace q3d::views
