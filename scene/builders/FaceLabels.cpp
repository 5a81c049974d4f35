#include "scene/builders/FaceLabels.h"

#include "platform/q3d/QD3DGeometry.h"
#include "scene/Q3Check.h"
#include "scene/builders/Builders.h"

namespace vask {

namespace {
constexpr float P = kFaceLabelPlane;
}  // namespace

// Drawn in the face's own two coordinates: (x, y) on the z faces, (y, z) on
// the x faces, (x, z) on the y faces.
const std::array<FaceLabelSegment, 25> kFaceLabelSegments{{
    // +Z
    {-0.4f, 0.0f, P, -0.2f, 0.0f, P},
    {-0.3f, 0.1f, P, -0.3f, -0.1f, P},
    {-0.3f, 0.3f, P, 0.3f, 0.3f, P},
    {0.3f, 0.3f, P, -0.3f, -0.3f, P},
    {-0.3f, -0.3f, P, 0.3f, -0.3f, P},
    // +X
    {P, 0.0f, 0.4f, P, 0.0f, 0.2f},
    {P, 0.1f, 0.3f, P, -0.1f, 0.3f},
    {P, 0.3f, 0.3f, P, -0.3f, -0.3f},
    {P, -0.3f, 0.3f, P, 0.3f, -0.3f},
    // −Z
    {0.4f, 0.0f, -P, 0.2f, 0.0f, -P},
    {0.3f, 0.3f, -P, -0.3f, 0.3f, -P},
    {-0.3f, 0.3f, -P, 0.3f, -0.3f, -P},
    {0.3f, -0.3f, -P, -0.3f, -0.3f, -P},
    // −X
    {-P, 0.0f, -0.4f, -P, 0.0f, -0.2f},
    {-P, -0.3f, 0.3f, -P, 0.3f, -0.3f},
    {-P, -0.3f, -0.3f, -P, 0.3f, 0.3f},
    // +Y
    {-0.4f, P, 0.0f, -0.2f, P, 0.0f},
    {-0.3f, P, -0.1f, -0.3f, P, 0.1f},
    {-0.3f, P, -0.3f, 0.0f, P, 0.0f},
    {0.3f, P, -0.3f, 0.0f, P, 0.0f},
    {0.0f, P, 0.0f, 0.0f, P, 0.3f},
    // −Y
    {0.4f, -P, 0.0f, 0.2f, -P, 0.0f},
    {0.3f, -P, -0.3f, 0.0f, -P, 0.0f},
    {-0.3f, -P, -0.3f, 0.0f, -P, 0.0f},
    {0.0f, -P, 0.0f, 0.0f, -P, 0.3f},
}};

ObjectRef makeFaceLabels(const TQ3ColorARGB& color) {
  ObjectRef group;
  makeOrderedGroup(group);
  ObjectRef attributes;
  makeAttributeSet(attributes);
  addDiffuseColor(attributes, color);

  for (const FaceLabelGroup& label : kFaceLabelGroups) {
    for (int32_t i = label.first; i < label.first + label.count; ++i) {
      const FaceLabelSegment& s = kFaceLabelSegments[static_cast<size_t>(i)];
      TQ3LineData data{};
      data.vertices[0].point = {s[0], s[1], s[2]};
      data.vertices[1].point = {s[3], s[4], s[5]};
      data.lineAttributeSet = attributes.get();
      const ObjectRef line(q3Check(Q3Line_New(&data)));
      addToGroup(group, line);
    }
  }
  return group;
}

}  // namespace vask
