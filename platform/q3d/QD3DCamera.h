/*
 * QD3DCamera.h — cameras: where a view looks from and how the scene is
 * projected onto its draw context.
 *
 * Every camera has a placement, a range and a view port:
 *  - placement: the eye at cameraLocation looks at pointOfInterest, with
 *    upVector giving which way is up (it need not be unit length or exactly
 *    perpendicular to the line of sight; only its part across the line of
 *    sight counts). In world units.
 *  - range: the distances from the eye, along the line of sight, of the
 *    near (hither) and far (yon) clipping planes. Nothing nearer than hither
 *    or farther than yon is drawn.
 *  - view port: the part of the camera plane that fills the draw context.
 *    The camera's projection maps what it sees onto [−1, 1] × [−1, 1] of
 *    that plane; the view port names the rectangle of the plane, by its
 *    top-left corner `origin` and its `width` and `height`, that is stretched
 *    over the whole pane. The default, origin (−1, 1) and size 2 × 2, shows
 *    the projection as it is; a wider port shows more of the scene, smaller.
 *
 * Kinds:
 *  - orthographic: parallel projection of the box from left to right and
 *    bottom to top (in the camera's own coordinates: x to the right, y up,
 *    in world units) onto [−1, 1] × [−1, 1];
 *  - view angle aspect: perspective with the full field of view `fov`
 *    (radians, 0 < fov < π) across the smaller side of the picture and
 *    aspectRatioXToY = width ÷ height of the picture: with a ratio of 1 or
 *    more the angle is vertical, below 1 horizontal.
 *
 * Checks, on creation and on every setter (a refused call leaves the camera
 * as it was):
 *  - NULL records or camera data pointers: kQ3ErrorNULLParameter;
 *  - any value not finite, a location equal to the point of interest, an up
 *    vector of zero length or along the line of sight:
 *    kQ3ErrorInvalidCameraValues;
 *  - range: hither must be below yon, and for a view angle aspect camera
 *    above 0; view port width and height above 0; an orthographic box with
 *    left = right or top = bottom; fov outside (0, π); an aspect ratio of 0
 *    or less: kQ3ErrorParameterOutOfRange.
 *
 * Cameras are shared objects: a view holds its own reference to its camera,
 * and a change to the camera shows at the view's next rendering pass.
 */
#ifndef VASK_PLATFORM_Q3D_QD3DCAMERA_H
#define VASK_PLATFORM_Q3D_QD3DCAMERA_H

#include "platform/q3d/QD3D.h"

typedef struct TQ3CameraPlacement {
    TQ3Point3D cameraLocation;
    TQ3Point3D pointOfInterest;
    TQ3Vector3D upVector;
} TQ3CameraPlacement;

typedef struct TQ3CameraRange {
    TQ3Float32 hither;
    TQ3Float32 yon;
} TQ3CameraRange;

typedef struct TQ3CameraViewPort {
    TQ3Point2D origin;
    TQ3Float32 width;
    TQ3Float32 height;
} TQ3CameraViewPort;

typedef struct TQ3CameraData {
    TQ3CameraPlacement placement;
    TQ3CameraRange range;
    TQ3CameraViewPort viewPort;
} TQ3CameraData;

typedef struct TQ3OrthographicCameraData {
    TQ3CameraData cameraData;
    TQ3Float32 left;
    TQ3Float32 top;
    TQ3Float32 right;
    TQ3Float32 bottom;
} TQ3OrthographicCameraData;

typedef struct TQ3ViewAngleAspectCameraData {
    TQ3CameraData cameraData;
    TQ3Float32 fov;
    TQ3Float32 aspectRatioXToY;
} TQ3ViewAngleAspectCameraData;

/* The camera's leaf type (kQ3CameraTypeOrthographic,
 * kQ3CameraTypeViewAngleAspect), or kQ3ObjectTypeInvalid with an error
 * posted. */
Q3_EXTERN TQ3ObjectType Q3Camera_GetType(TQ3CameraObject camera);

/* The data every camera has. Getters return kQ3Success or kQ3Failure with an
 * error posted; so do setters, which check as above. */
Q3_EXTERN TQ3Status Q3Camera_GetData(TQ3CameraObject camera, TQ3CameraData* cameraData);
Q3_EXTERN TQ3Status Q3Camera_SetData(TQ3CameraObject camera, const TQ3CameraData* cameraData);
Q3_EXTERN TQ3Status Q3Camera_GetPlacement(TQ3CameraObject camera, TQ3CameraPlacement* placement);
Q3_EXTERN TQ3Status Q3Camera_SetPlacement(TQ3CameraObject camera, const TQ3CameraPlacement* placement);
Q3_EXTERN TQ3Status Q3Camera_GetRange(TQ3CameraObject camera, TQ3CameraRange* range);
Q3_EXTERN TQ3Status Q3Camera_SetRange(TQ3CameraObject camera, const TQ3CameraRange* range);
Q3_EXTERN TQ3Status Q3Camera_GetViewPort(TQ3CameraObject camera, TQ3CameraViewPort* viewPort);
Q3_EXTERN TQ3Status Q3Camera_SetViewPort(TQ3CameraObject camera, const TQ3CameraViewPort* viewPort);

/* The matrix from world coordinates to the camera's own (the eye at the
 * origin looking down −Z, +Y up), from the placement. Row vectors: a point
 * p goes to p · M. */
Q3_EXTERN TQ3Status Q3Camera_GetWorldToView(TQ3CameraObject camera, TQ3Matrix4x4* worldToView);

/* Creation: a new camera with one reference owned by the caller, or NULL with
 * an error posted. */
Q3_EXTERN TQ3CameraObject Q3OrthographicCamera_New(const TQ3OrthographicCameraData* orthographicData);
Q3_EXTERN TQ3Status Q3OrthographicCamera_GetData(TQ3CameraObject camera, TQ3OrthographicCameraData* cameraData);
Q3_EXTERN TQ3Status Q3OrthographicCamera_SetData(TQ3CameraObject camera, const TQ3OrthographicCameraData* cameraData);

Q3_EXTERN TQ3CameraObject Q3ViewAngleAspectCamera_New(const TQ3ViewAngleAspectCameraData* cameraData);
Q3_EXTERN TQ3Status Q3ViewAngleAspectCamera_GetData(TQ3CameraObject camera, TQ3ViewAngleAspectCameraData* cameraData);
Q3_EXTERN TQ3Status Q3ViewAngleAspectCamera_SetData(TQ3CameraObject camera,
                                                    const TQ3ViewAngleAspectCameraData* cameraData);
/* fov in radians, 0 < fov < π. */
Q3_EXTERN TQ3Status Q3ViewAngleAspectCamera_SetFOV(TQ3CameraObject camera, TQ3Float32 fov);
Q3_EXTERN TQ3Status Q3ViewAngleAspectCamera_GetFOV(TQ3CameraObject camera, TQ3Float32* fov);
/* Picture width ÷ height, above 0. */
Q3_EXTERN TQ3Status Q3ViewAngleAspectCamera_SetAspectRatio(TQ3CameraObject camera, TQ3Float32 aspectRatioXToY);
Q3_EXTERN TQ3Status Q3ViewAngleAspectCamera_GetAspectRatio(TQ3CameraObject camera, TQ3Float32* aspectRatioXToY);

#endif
