// Geometry read from model files that the view draws as triangles, lines or
// points made once, when the object is made: triangle meshes, meshes,
// polygons, general polygons, triangles, polylines, points, markers,
// cylinders, disks, tori and NURB curves and patches. Each kind is its own
// class (FileShape<type>), so its leaf type is the file's; they share the
// arrays below, which the view hands to the rasteriser as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/core/Ref.h"
#include "platform/q3d/geometry/Geometry.h"

namespace q3d {

class TextureShader;

// An allocator whose resize() leaves new elements uninitialised: a reader
// sizes an array and then writes every element, and zeroing tens of
// megabytes first would cost as much as the read.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
template <class T>
using MeshArray = std::vector<T, UninitialisedAllocator<T>>;

// The drawable form of one geometry, in its local coordinates. Every
// optional array is empty or has one entry per point.
struct ShapeMesh {
    MeshArray<TQ3Point3D> points;
    MeshArray<TQ3Vector3D> normals;
    MeshArray<TQ3Param2D> uvs;
    MeshArray<TQ3ColorRGB> colors;
    MeshArray<std::uint32_t> triangles;  // three indices each, counter-clockwise from the front
    MeshArray<std::uint32_t> lines;      // two indices each
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
