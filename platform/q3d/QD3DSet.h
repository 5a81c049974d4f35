/*
 * QD3DSet.h — attribute sets: the surface properties (colours, normals,
 * texture coordinates, ...) attached to a vertex, a face, a whole geometry or
 * everything that follows in a group.
 *
 * An attribute set is a shared object: a geometry that is given a set keeps
 * its own reference to that very set, and Q3..._GetData hands the same set
 * back, so adding an attribute through any reference changes what every
 * holder sees. Each set holds at most one value of each attribute type;
 * adding a type again replaces its value.
 *
 * Only the ten standard attribute types below are supported; any other type
 * is refused with kQ3ErrorAttributeInvalidType.
 */
#ifndef VASK_PLATFORM_Q3D_QD3DSET_H
#define VASK_PLATFORM_Q3D_QD3DSET_H

#include "platform/q3d/QD3D.h"

typedef TQ3ObjectType TQ3AttributeType;

/* Attribute types and the value each one carries (what `data` points to in
 * Q3AttributeSet_Add and Q3AttributeSet_Get). */
enum {
    kQ3AttributeTypeNone = 0,
    kQ3AttributeTypeSurfaceUV = 1,           /* TQ3Param2D, texture coordinates (u, v) */
    kQ3AttributeTypeShadingUV = 2,           /* TQ3Param2D */
    kQ3AttributeTypeNormal = 3,              /* TQ3Vector3D, need not be unit length */
    kQ3AttributeTypeAmbientCoefficient = 4,  /* float, 0..1 */
    kQ3AttributeTypeDiffuseColor = 5,        /* TQ3ColorRGB */
    kQ3AttributeTypeSpecularColor = 6,       /* TQ3ColorRGB */
    kQ3AttributeTypeSpecularControl = 7,     /* float, the specular exponent */
    kQ3AttributeTypeTransparencyColor = 8,   /* TQ3ColorRGB, 1 is opaque */
    kQ3AttributeTypeSurfaceTangent = 9,      /* TQ3Tangent2D */
    kQ3AttributeTypeHighlightState = 10,     /* TQ3Switch */
    kQ3AttributeTypeNumTypes = 11
};

/* The surface's tangents along u and v. */
typedef struct TQ3Tangent2D {
    TQ3Vector3D uTangent;
    TQ3Vector3D vTangent;
} TQ3Tangent2D;

/* A new empty attribute set with one reference owned by the caller, or NULL
 * with an error posted (kQ3ErrorNotInitialized before Q3Initialize). */
Q3_EXTERN TQ3AttributeSet Q3AttributeSet_New(void);

/* Copies the value at `data` (of the type's value type, above) into the set,
 * replacing an earlier value of that type. NULL data: kQ3ErrorNULLParameter;
 * an unsupported type: kQ3ErrorAttributeInvalidType; a TQ3Switch other than
 * kQ3Off/kQ3On: kQ3ErrorParameterOutOfRange. On failure the set is unchanged. */
Q3_EXTERN TQ3Status Q3AttributeSet_Add(TQ3AttributeSet attributeSet, TQ3AttributeType type, const void* data);

/* kQ3True when the set holds a value of `type`; kQ3False otherwise, and for
 * any failure (with an error posted). */
Q3_EXTERN TQ3Boolean Q3AttributeSet_Contains(TQ3AttributeSet attributeSet, TQ3AttributeType type);

/* Copies the value of `type` to `data`. A type the set does not hold:
 * kQ3ErrorAttributeNotContained, and `data` is left untouched. */
Q3_EXTERN TQ3Status Q3AttributeSet_Get(TQ3AttributeSet attributeSet, TQ3AttributeType type, void* data);

/* Removes the value of `type`; succeeds also when the set holds none. */
Q3_EXTERN TQ3Status Q3AttributeSet_Clear(TQ3AttributeSet attributeSet, TQ3AttributeType type);

/* Removes every value. */
Q3_EXTERN TQ3Status Q3AttributeSet_Empty(TQ3AttributeSet attributeSet);

/* Walks the types the set holds in increasing order: pass
 * kQ3AttributeTypeNone to get the first; *type becomes kQ3AttributeTypeNone
 * after the last. */
Q3_EXTERN TQ3Status Q3AttributeSet_GetNextAttributeType(TQ3AttributeSet attributeSet, TQ3AttributeType* type);

#endif
