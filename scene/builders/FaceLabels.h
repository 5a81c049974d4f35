// The face labels of the preview's unit box: a sign and an axis letter drawn
// in lines just outside each face, so the user can tell which way the object
// faces while turning it.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>

#include "platform/q3d/QD3D.h"
#include "scene/builders/ObjectRef.h"

namespace vask {

// One line segment: start x, y, z, end x, y, z.
using FaceLabelSegment = std::array<float, 6>;

// A run of segments in kFaceLabelSegments that draws one face's label.
struct FaceLabelGroup {
  int32_t first;
  int32_t count;
};

inline std::ostream& operator<<(std::ostream& os, const FaceLabelGroup& g) {
  return os << "FaceLabelGroup{" << g.first << ", " << g.count << '}';
}

// How far outside the faces of the unit box (at ±0.5) the labels lie, so that
// the box's own faces never hide them.
inline constexpr float kFaceLabelPlane = 0.52f;

// Labels of +Z, +X, −Z, −X, +Y and −Y, in that order, on the planes
// z = +0.52, x = +0.52, z = −0.52, x = −0.52, y = +0.52 and y = −0.52, each
// within ±0.4 of the face's centre.
inline constexpr std::array<FaceLabelGroup, 6> kFaceLabelGroups{
    {{0, 5}, {5, 4}, {9, 4}, {13, 3}, {16, 5}, {21, 4}}};
extern const std::array<FaceLabelSegment, 25> kFaceLabelSegments;

// An ordered display group holding one line per segment, group after group,
// each with one shared attribute set carrying `color` as its diffuse colour.
// Raises the QuickDraw 3D error on any failure; everything made so far is
// then released.
ObjectRef makeFaceLabels(const TQ3ColorARGB& color);

}  // namespace vask
