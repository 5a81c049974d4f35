// Triangle grids: the C++ side of the TriGrid calls of QD3DGeometry.h.
//
// Built for a grid with a vertex per pixel of a layer, refilled every frame:
// the vertices are kept as two dense arrays, points (12 bytes) and attribute
// sets (8 bytes, absent when no vertex has one), in memory that is faulted
// in as huge pages. A grid holds one reference to each of its sets; the
// sets are shared with whoever else holds them, so a value added to a set
// after the grid was given it is what the grid shows.
//
// A refill that hands back the grid's own sets and the same number of
// vertices touches no set: only the points are copied.
//
// A grid made blank (Q3TriGrid_NewBlank) keeps its vertex sets' values
// instead, in dense arrays beside the points (a normal of 12 bytes, a UV of
// 8): every vertex has a set, but no set object exists until a caller asks
// for one. Handing the sets out (copyTo) first turns the arrays into real
// sets, one per vertex, which the grid then holds as any other; so does
// anything the dense form cannot say (normals for a grid without them).
// Readers check denseTypes() before vertexSets().
#pragma once

#include <span>
#include <vector>

#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/core/LargeBuffer.h"
#include "platform/q3d/geometry/Geometry.h"

namespace q3d {

class TriGrid final : public Geometry {
public:
    static constexpr ClassInfo kClass{kQ3GeometryTypeTriGrid, &Geometry::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
    TriGrid() = default;
    ~TriGrid() override;

    TQ3Uns32 rows() const { return rows_; }
    TQ3Uns32 columns() const { return columns_; }
    std::size_t vertexCount() const { return points_.size(); }
    // Two triangles per cell of four vertices.
    std::size_t facetCount() const;

    // Vertex (r, c) is element r × columns() + c of both arrays.
    std::span<const TQ3Point3D> points() const { return {points_.data(), points_.size()}; }
    // One set per vertex (nullptr where a vertex has none), or an empty span
    // when no vertex has a set.
    std::span<AttributeSet* const> vertexSets() const { return {vertexSets_.data(), vertexSets_.size()}; }
    // The types every vertex's set holds when the values are dense
    // (AttributeSet::bit of kQ3AttributeTypeNormal and _SurfaceUV), else 0.
    TQ3Uns32 denseTypes() const { return denseTypes_; }
    // The dense values, one per vertex; empty unless denseTypes() has the type.
    std::span<const TQ3Vector3D> denseNormals() const { return {normals_.data(), normals_.size()}; }
    std::span<const TQ3Param2D> denseUVs() const { return {uvs_.data(), uvs_.size()}; }
    // One set per facet (nullptr where none), or empty when there are none.
    std::span<AttributeSet* const> facetSets() const { return facetSets_; }
    // nullptr when none.
    AttributeSet* gridSet() const { return gridSet_; }

    // Replaces the grid's content with the record's, all or nothing. Bad
    // data posts an error and returns false. Throws std::bad_alloc with the
    // grid unchanged.
    bool assign(const TQ3TriGridData& data);

    // Q3TriGrid_NewBlank: rows × columns vertices at the origin, with dense
    // zero normals and/or UVs as asked. Bad counts post an error and return
    // false. Throws std::bad_alloc with the grid unchanged. Only on a new grid.
    bool makeBlank(TQ3Uns32 rows, TQ3Uns32 columns, bool normals, bool uvs);

    // Fills `out` with the grid's rows and columns, a lent vertex array and,
    // when the grid has facet sets, a lent facet array, taking a reference to
    // every set it names. Dense values become sets first (see above), which
    // stay. Throws std::bad_alloc with nothing changed.
    void copyTo(TQ3TriGridData& out);

    // Q3TriGrid_SetVertexRange: the points of vertices [first, first +
    // count) and, when `normals` is given, the normal in each one's set.
    // Checks everything first: false with an error posted and nothing
    // changed when the range runs past the grid or, with normals, a vertex
    // in it has no set. Touches no reference count and no shared state but
    // the grid's own elements in the range.
    // With normals on dense values without them, the values become sets
    // first (which may throw std::bad_alloc, nothing changed).
    bool setVertexRange(TQ3Uns32 first, TQ3Uns32 count, const TQ3Point3D* points, const TQ3Vector3D* normals);
    // Q3TriGrid_SetVertexUVs: the surface UV in the set of each vertex of
    // [first, first + count), with the same checks and guarantees.
    bool setVertexUVs(TQ3Uns32 first, TQ3Uns32 count, const TQ3Param2D* uvs);
    // Q3TriGrid_GetVertexArrays: the grid's own points and, while they are
    // dense values, its normals and UVs (else nullptr), for writing in place.
    void vertexArrays(TQ3Point3D*& points, TQ3Vector3D*& normals, TQ3Param2D*& uvs);

private:
    // The dense values as one set per vertex, held by the grid. Throws
    // std::bad_alloc with nothing changed.
    void makeSets();
    void dropDense() noexcept;
    // Whether every vertex of [first, first + count) has a set (dense or
    // not); posts kQ3ErrorInvalidParameter when not.
    bool allHaveSets(TQ3Uns32 first, TQ3Uns32 count) const;

    TQ3Uns32 rows_ = 0;
    TQ3Uns32 columns_ = 0;
    LargeArray<TQ3Point3D> points_;
    LargeArray<AttributeSet*> vertexSets_;
    TQ3Uns32 denseTypes_ = 0;
    LargeArray<TQ3Vector3D> normals_;
    LargeArray<TQ3Param2D> uvs_;
    std::vector<AttributeSet*> facetSets_;
    AttributeSet* gridSet_ = nullptr;
};

// _EmptyData of a grid record: releases every set it names, gives back lent
// arrays and sets its pointers to nullptr. For a lent vertex array the
// number of vertices is the array's own, whatever numRows and numColumns now
// say. False (with kQ3ErrorInvalidObject posted) when a named set was not
// live.
bool emptyTriGridData(TQ3TriGridData& data) noexcept;

}  // namespace q3d
