// Triangles for flat polygons given as contours of point indices: the
// polygons, general polygons and mesh faces of model files.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/q3d/QD3D.h"

namespace q3d {

// Appends to `triangles` (three indices each) the triangles that cover the
// polygon whose first contour is its outline and whose later contours are
// holes in it, projected on the plane that fits the outline best. Triangles
// run the way the outline runs. Ears are clipped after each hole is bridged
// to the outline; a polygon too large for that (more than kMaxClippedPoints
// corners), one that stops yielding ears (it crosses itself), or one met
// when `budget` (steps of the clipping, shared by every polygon of a file
// and counted down here) has run out gets a fan over what is left instead,
// so that a file's polygons take bounded time whatever they are.
// Precondition: every index is below points.size().
void triangulatePolygon(std::span<const TQ3Point3D> points, std::span<const std::vector<std::uint32_t>> contours,
                        std::vector<std::uint32_t>& triangles, std::uint64_t& budget);

inline constexpr std::size_t kMaxClippedPoints = 4096;

}  // namespace q3d
