// What a view does with each geometry submitted in a pass: hand it to the
// rasteriser (rendering) or add its extent to a box (bounding), under the
// state that the pass's earlier submits have set (QD3DView.h).
//
// Grids go to the rasteriser as they are stored (their point array, and
// normal, UV and colour arrays gathered from the vertices' attribute sets);
// boxes, ellipsoids and cones as triangle meshes (Tessellation.h); lines as
// one-pixel lines. The scratch arrays are members, reused from draw to draw
// and pass to pass, so a steady scene allocates nothing per frame.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/q3d/core/LargeBuffer.h"
#include "platform/q3d/QD3DView.h"
#include "platform/q3d/raster/Renderer.h"
#include "platform/q3d/views/Tessellation.h"
#include "platform/q3d/views/ViewState.h"

namespace q3d {

class Geometry;
class Box;
class Ellipsoid;
class Cone;
class Line;
class MeshedGeometry;
class TriGrid;

namespace views {

// A box in world coordinates, grown point by point; points that are not
// finite are left out.
class BoundsBox {
public:
    void add(double x, double y, double z);
    bool isEmpty() const { return empty_; }
    // isEmpty set and zero corners when nothing was added.
    TQ3BoundingBox result() const;

private:
    double min_[3] = {0, 0, 0};
    double max_[3] = {0, 0, 0};
    bool empty_ = true;
};

// How large a world unit looks in the picture, for screen-space subdivision.
struct ScreenScale {
    bool known = false;  // false in a bounding pass: count a pixel as a world unit
    bool perspective = false;
    // Pixels per world unit: at unit distance (perspective) or anywhere
    // (orthographic).
    double pixelsPerUnit = 1;
    TQ3Matrix4x4 worldToView = identityMatrix();
};

class GeometryPass {
public:
    // Draws `geometry` through `engine`, which is in a frame. Returns
    // kQ3ErrorNone, or the error to post for a geometry it cannot draw.
    // Throws std::bad_alloc.
    TQ3Error draw(raster::Renderer& engine, const Geometry& geometry, const ViewState& state, const ScreenScale& scale);

    // Adds the world extent of `geometry` to `box` (QD3DView.h, Bounds).
    TQ3Error bound(const Geometry& geometry, const ViewState& state, TQ3ComputeBounds mode, BoundsBox& box);

private:
    void drawTriGrid(raster::Renderer& engine, const TriGrid& grid, const ViewState& state);
    void drawGridFacets(raster::Renderer& engine, const TriGrid& grid, const ViewState& state,
                        const SurfaceAttributes& surface);
    void drawLine(raster::Renderer& engine, const Line& line, const ViewState& state);
    void drawMeshed(raster::Renderer& engine, const MeshedGeometry& geometry, const ViewState& state);
    void drawMesh(raster::Renderer& engine, const ViewState& state, const SurfaceAttributes& surface);
    // Fills mesh_ for a box, ellipsoid or cone; false for other kinds.
    bool tessellate(const Geometry& geometry, const ViewState& state, const ScreenScale& scale,
                    SurfaceAttributes& surface);

    raster::DrawState drawState(const ViewState& state, const SurfaceAttributes& surface);
    // The texture in effect as the rasteriser reads it, or nullptr.
    const raster::Texture* texture(const ViewState& state);

    Mesh mesh_;
    std::vector<TQ3Vector3D> normals_;
    std::vector<TQ3Param2D> uvs_;
    std::vector<TQ3ColorRGB> colors_;
    std::vector<TQ3Point3D> points_;
    std::vector<uint32_t> indices_;
    std::vector<uint32_t> textureWords_;  // a texture of another pixel type, as ARGB32
    // A grid's vertex values gathered from its sets, one per vertex: as big
    // as the grid's own arrays, so kept in the same kind of memory.
    LargeArray<TQ3Vector3D> gridNormals_;
    LargeArray<TQ3Param2D> gridUVs_;
    LargeArray<TQ3ColorRGB> gridColors_;
    raster::Texture texture_;
};

}  // namespace views
}  // namespace q3d
