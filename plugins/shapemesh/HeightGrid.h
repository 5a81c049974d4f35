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
// q3Check (the grid's own memory is the library's); working memory that
// cannot be allocated raises 1024 ("Out of Memory"). [frame setup]
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

// Whether `heights` gets a grid: it has pixels and is at least 2 × 2.
bool hasGrid(const LayerImage& heights);

// How every fill below lays out the grid: vertex row r reads image row
// numRows − 1 − r (flipped); a pixel's height value v, 0 … 255, by "Height
// From": Luminance (30 × red + 59 × green + 11 × blue) div 100, or the red,
// green or blue channel, each weighted by alpha as ⌊alpha × value ÷ 255⌋ in
// exact integers (alpha 255 keeps the value, alpha 0 gives 0); Alpha is
// alpha itself. With "Invert", v := 255 − v. Then y = v × (1/255) − 0.5.
// Without pixels every height is −0.5 and "Invert" is not applied. With
// smooth, each vertex's set holds a unit normal (GridNormals.h); when
// textured, the surface UV u = c ÷ (columns − 1), v = r ÷ (rows − 1).
// Large grids are filled in bands of rows over hostThreadCount() threads
// (shell/WorkerThreads.h); the result does not depend on the count. The
// fill's working memory (a few floats per column and band) comes from the
// plug-in heap: 1024 when it cannot.

// Builds a new grid from `heights` and adds it to `group`: the previous
// `grid` (if any) is disposed and the slot takes the new one. Nothing
// happens when hasGrid(heights) is false. The grid is made blank
// (Q3TriGrid_NewBlank: each vertex has a set when smooth or textured, whose
// values the library keeps in arrays until someone asks for the sets) and
// filled row by row in the arrays it lends (Q3TriGrid_GetVertexArrays): the
// same grid as one made from a vertex array whose sets were each made and
// given their values, without a set object or a vertex array per build. On
// failure `grid` keeps what it held, unless the new grid was made and only
// adding it failed (then the slot holds it).
void buildGrid(TQ3GroupObject group, TQ3GeometryObject& grid, const LayerImage& heights,
               const GridSettings& settings);

// Refills an existing grid in place from `heights`: the grid, its attribute
// sets and their surface UVs stay, points and (with smooth) the normals in
// the sets are replaced, row by row: in the arrays the grid lends, or
// through Q3TriGrid_SetVertexRange once its values live in sets. The
// result is that of getting the grid's data, setting new points and
// normals, setting it back and emptying it, without the copies of the whole
// vertex array and the reference counting those cost. Nothing happens for a
// null grid.
// Precondition: the grid is heights.width × heights.height (it was built
// from a layer of that size), both at least 2; a smaller layer is
// ErrData::host(PF_Err_INTERNAL_STRUCT_DAMAGED). On failure some rows may
// already hold their new values; the next refill rewrites them all.
void refillGrid(TQ3GeometryObject grid, const LayerImage& heights, const GridSettings& settings);

}  // namespace vask
