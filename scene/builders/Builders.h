// The small QuickDraw 3D builders every piece of geometry is made with:
// groups, shaders, transforms and attribute sets.
//
// A builder that takes a slot first releases what the slot holds, then stores
// the new object (one reference, owned by the slot). Every call is checked: a
// failure raises ErrData (QuickDraw kind) with Q3Error_Get's code, and the
// slot is then left empty. The library must be initialised.
#pragma once

#include "platform/q3d/QD3D.h"
#include "scene/builders/ObjectRef.h"
#include "scene/math/Matrix4x3.h"

namespace vask {

// A Phong illumination shader.
void makeIllumination(ObjectRef& slot);

// An ordered display group: it keeps its members sorted by kind, so a
// transform or shader applies to the group's geometry whatever the adding order.
void makeOrderedGroup(ObjectRef& slot);

// A matrix transform holding the identity.
void makeIdentityTransform(ObjectRef& slot);

// Replaces the matrix of the matrix transform in `transform`. The 4×3 form is
// widened with the column (0, 0, 0, 1). An empty slot or another kind of
// object raises the QuickDraw 3D error.
void setTransformMatrix(const ObjectRef& transform, const TQ3Matrix4x4& matrix);
void setTransformMatrix(const ObjectRef& transform, const Matrix4x3& matrix);

// An empty attribute set.
void makeAttributeSet(ObjectRef& slot);

// Puts the colour's red, green and blue into the attribute set as its diffuse
// colour (kQ3AttributeTypeDiffuseColor), replacing any earlier one.
void addDiffuseColor(const ObjectRef& attributeSet, const TQ3ColorARGB& color);

// Adds `object` to the group; the group takes its own reference and the
// caller keeps its own. Raises the QuickDraw 3D error when the group refuses
// it (not a group, an object of a kind the group does not hold, a cycle).
void addToGroup(const ObjectRef& group, TQ3Object object);
inline void addToGroup(const ObjectRef& group, const ObjectRef& object) {
  addToGroup(group, object.get());
}

}  // namespace vask
