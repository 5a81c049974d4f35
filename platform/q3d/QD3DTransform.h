/*
 * QD3DTransform.h — transforms: shapes that change the local-to-world matrix
 * of what follows them in a group or a submit sequence.
 *
 * Matrices are row-vector matrices: a point p is transformed as p · M, the
 * fourth row holding the translation.
 */
#ifndef VASK_PLATFORM_Q3D_QD3DTRANSFORM_H
#define VASK_PLATFORM_Q3D_QD3DTRANSFORM_H

#include "platform/q3d/QD3D.h"

/* A new matrix transform holding a copy of *matrix, with one reference owned by
 * the caller; NULL with an error posted on failure (kQ3ErrorNULLParameter for
 * a null matrix). */
Q3_EXTERN TQ3TransformObject Q3MatrixTransform_New(const TQ3Matrix4x4* matrix);

/* Replaces the transform's matrix with a copy of *matrix. */
Q3_EXTERN TQ3Status Q3MatrixTransform_Set(TQ3TransformObject transform, const TQ3Matrix4x4* matrix);

/* Copies the transform's matrix into *matrix. */
Q3_EXTERN TQ3Status Q3MatrixTransform_Get(TQ3TransformObject transform, TQ3Matrix4x4* matrix);

/* Sets *matrix to the identity and returns it (NULL for a null matrix). */
Q3_EXTERN TQ3Matrix4x4* Q3Matrix4x4_SetIdentity(TQ3Matrix4x4* matrix);

#endif
