#include "scene/builders/Builders.h"

#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DSet.h"
#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/QD3DTransform.h"
#include "scene/Q3Check.h"
#include "scene/builders/Constants.h"

namespace vask {

void makeIllumination(ObjectRef& slot) {
  slot.reset();
  slot.reset(q3Check(Q3PhongIllumination_New()));
}

void makeOrderedGroup(ObjectRef& slot) {
  slot.reset();
  slot.reset(q3Check(Q3OrderedDisplayGroup_New()));
}

void makeIdentityTransform(ObjectRef& slot) {
  slot.reset();
  TQ3Matrix4x4 identity;
  Q3Matrix4x4_SetIdentity(&identity);
  slot.reset(q3Check(Q3MatrixTransform_New(&identity)));
}

void setTransformMatrix(const ObjectRef& transform, const TQ3Matrix4x4& matrix) {
  q3Check(Q3MatrixTransform_Set(transform.get(), &matrix));
}

void setTransformMatrix(const ObjectRef& transform, const Matrix4x3& matrix) {
  setTransformMatrix(transform, toQ3(matrix));
}

void makeAttributeSet(ObjectRef& slot) {
  slot.reset();
  slot.reset(q3Check(Q3AttributeSet_New()));
}

void addDiffuseColor(const ObjectRef& attributeSet, const TQ3ColorARGB& color) {
  const TQ3ColorRGB rgb = rgbOf(color);
  q3Check(Q3AttributeSet_Add(attributeSet.get(), kQ3AttributeTypeDiffuseColor, &rgb));
}

void addToGroup(const ObjectRef& group, TQ3Object object) {
  q3Check(Q3Group_AddObject(group.get(), object));
}

}  // namespace vask
