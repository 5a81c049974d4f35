// Geometry read from model files that the view draws as triangles, lines or
// points made once, when the object is made: triangle meshes, meshes,
// polygons, general polygons, triangles, polylines, points, markers,
// cylinders, disks, tori and NURB curves and patches. Each kind is its own
// class (FileShape<type>), so its leaf type is the file's; they share the
// arrays below, which the view hands to the rasteriser as they are.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/core/Ref.h"
#include "platform/q3d/geometry/Geometry.h"

namespace q3d {

class TextureShader;

// The drawable form of one geometry, in its local coordinates. Every
// optional array is empty or has one entry per point.
struct ShapeMesh {
    std::vector<TQ3Point3D> points;
    std::vector<TQ3Vector3D> normals;
    std::vector<TQ3Param2D> uvs;
    std::vector<TQ3ColorRGB> colors;
    std::vector<std::uint32_t> triangles;  // three indices each, counter-clockwise from the front
    std::vector<std::uint32_t> lines;      // two indices each
    bool drawsPoints = false;              // every point drawn as one pixel (points, markers)
};

class MeshedGeometry : public Geometry {
public:
    // Precondition: every index in `mesh` is below its point count and every
    // optional array is empty or as long as the points.
    explicit MeshedGeometry(ShapeMesh mesh);

    const ShapeMesh& mesh() const { return mesh_; }
    // The geometry's own attribute set and texture shader, or nullptr.
    AttributeSet* attributeSet() const { return set_.get(); }
    TextureShader* textureShader() const { return texture_.get(); }
    void setAttributeSet(Ref<AttributeSet> set) { set_ = std::move(set); }
    void setTextureShader(Ref<TextureShader> texture);

    // The box of the points in local coordinates; empty when there are none.
    const TQ3BoundingBox& localBounds() const { return localBounds_; }

    // Counts as the file gave them, for geometry that has them (a triangle
    // mesh's triangles, points, edges and attribute types); zero otherwise.
    TQ3TriMeshCounts counts{};

private:
    ShapeMesh mesh_;
    Ref<AttributeSet> set_;
    Ref<TextureShader> texture_;
    TQ3BoundingBox localBounds_{};
};

template <TQ3ObjectType kType>
class FileShape final : public MeshedGeometry {
public:
    static constexpr ClassInfo kClass{kType, &Geometry::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
    using MeshedGeometry::MeshedGeometry;
};

}  // namespace q3d
