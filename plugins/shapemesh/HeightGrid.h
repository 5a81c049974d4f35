// The relief mesh's triangle grid: one vertex per pixel of the height-field
// layer, its height from one channel of the pixel.
//
// Object space: X runs from −0.5 (column 0) to +0.5 (last column), Z from
// +0.5 (vertex row 0) to −0.5 (last vertex row), Y is the height from −0.5
// (value 0) to +0.5 (value 255). Vertex row 0 is the BOTTOM row of the image,
// so that seen from above, with −Z away from the viewer, the relief lies as
// the image does. Vertex (r, c) is element r × columns + c.
//
// A layer one pixel wide or high has no grid: its vertices would make no
// triangle, and the spacing 1 / (count − 1) and the edge normals would have
// no neighbours to come from. Nothing is drawn for it, as for a layer
// without pixels.
//
// Every QuickDraw 3D failure raises ErrData (QuickDraw kind) through
// q3Check; a vertex array that cannot be allocated raises 1024 ("Out of
// Memory"). [frame setup]
#pragma once

#include <cstdint>

#include "platform/q3d/QD3DGeometry.h"
#include "plugins/shapemesh/LayerImage.h"

namespace vask {

// The "Height From" pop-up, in its order (1-based).
enum class HeightFrom : int32_t { Luminance = 1, Red, Green, Blue, Alpha };

// The pop-up value as a HeightFrom. A value outside 1 … 5 is a damaged
// parameter: ErrData::host(PF_Err_BAD_CALLBACK_PARAM).
HeightFrom heightFromPopup(int32_t choice);

// What shapes the grid besides the pixels.
struct GridSettings {
  HeightFrom heightFrom = HeightFrom::Luminance;
  bool invert = false;    // v := 255 − v (only where there are pixels)
  bool smooth = false;    // per-vertex normals
  bool textured = false;  // the texture layer has pixels: per-vertex surface UVs
};

enum class VertexSets {
  Create,  // give each vertex a new attribute set when smooth or textured
  Keep     // the record's sets are the grid's own (a refill): only normals change
};

// Whether `heights` gets a grid: it has pixels and is at least 2 × 2.
bool hasGrid(const LayerImage& heights);

// Fills `data`'s points, row after row, from `heights` (flipped: vertex row r
// reads image row numRows − 1 − r); with VertexSets::Create also each vertex's
// attribute set (a new one, holding the surface UV u = c ÷ (columns − 1),
// v = r ÷ (rows − 1) when textured; none when neither smooth nor textured);
// with smooth, a unit normal for every vertex (GridNormals.h) added to its
// set.
// A pixel's height value v, 0 … 255, by "Height From": Luminance
// (30 × red + 59 × green + 11 × blue) div 100, or the red, green or blue
// channel, each weighted by alpha as ⌊alpha × value ÷ 255⌋ in exact integers
// (alpha 255 keeps the value, alpha 0 gives 0); Alpha is alpha itself. With
// "Invert", v := 255 − v. Then y = v × (1/255) − 0.5.
// Preconditions: data.vertices has numRows × numColumns elements, both
// counts at least 2; when heights has pixels, it is numColumns × numRows
// (else ErrData::host(PF_Err_INTERNAL_STRUCT_DAMAGED) before anything is
// read). Without pixels every height is −0.5 and "Invert" is not applied.
// With Create, the caller owns every set made and disposes them once the
// grid holds its own references; if filling fails, the sets made so far
// are disposed here and the error passes on. The fill's working memory (a
// few floats per column) comes from the plug-in heap: 1024 when it cannot.
void fillGrid(TQ3TriGridData& data, const LayerImage& heights, const GridSettings& settings,
              VertexSets sets);

// Builds a new grid from `heights` and adds it to `group`: the previous
// `grid` (if any) is disposed and the slot takes the new one. Nothing
// happens when hasGrid(heights) is false. The vertex array lives only for
// the call. On failure `grid` keeps what it held, unless the new grid was
// made and only adding it failed (then the slot holds it).
void buildGrid(TQ3GroupObject group, TQ3GeometryObject& grid, const LayerImage& heights,
               const GridSettings& settings);

// Refills an existing grid in place from `heights`: the grid, its attribute
// sets and their surface UVs stay, points and (with smooth) the normals in
// the sets are replaced, row by row through Q3TriGrid_SetVertexRange. The
// result is that of getting the grid's data, fillGrid with VertexSets::Keep,
// setting it back and emptying it, without the copies of the whole vertex
// array and the reference counting those cost. Large grids are split into
// bands of rows over hostThreadCount() threads (shell/WorkerThreads.h); the
// result does not depend on the count. Nothing happens for a null grid.
// Precondition: the grid is heights.width × heights.height (it was built
// from a layer of that size), both at least 2; a smaller layer is
// ErrData::host(PF_Err_INTERNAL_STRUCT_DAMAGED). On failure some rows may
// already hold their new values; the next refill rewrites them all.
void refillGrid(TQ3GeometryObject grid, const LayerImage& heights, const GridSettings& settings);

}  // namespace vask
