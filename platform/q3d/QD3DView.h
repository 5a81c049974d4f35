/*
 * QD3DView.h — views: a camera, a light group, a renderer and a draw context
 * through which a scene is drawn or measured, and the calls that submit
 * scene content to a view.
 *
 * A view is not shared: it has one owner, who disposes it with
 * Q3Object_Dispose (a pass still running is then abandoned). It holds its own
 * reference to each object attached to it.
 *
 * Passes. Content is submitted inside a loop that runs while the end call
 * asks for another traversal:
 *
 *     Q3View_StartRendering(view);
 *     do {
 *         ... Q3Style_Submit, Q3DisplayGroup_Submit, Q3Geometry_Submit ...
 *     } while (Q3View_EndRendering(view) == kQ3ViewStatusRetraverse);
 *
 * and likewise with Q3View_StartBoundingBox / Q3View_EndBoundingBox. The
 * interactive renderer needs one traversal, so the end calls return
 * kQ3ViewStatusDone, but callers must loop as above. A view runs one pass at a
 * time. Submitting outside a pass posts kQ3ErrorViewNotStarted.
 *
 * State. Submitted content changes the view's state for what follows: matrix
 * transforms (the latest submitted applies to a point first, then the earlier
 * ones: local to world = M_latest · … · M_first), styles (QD3DStyle.h),
 * attribute sets (diffuse colour, specular colour and control, ambient
 * coefficient; the other attribute types are read from vertices only) and
 * shaders (the illumination shader, and the texture shader whose texture is
 * laid over later surfaces). Q3Push_Submit saves the state and Q3Pop_Submit
 * restores the latest saved one. Submitting a display group saves the state
 * before its members and restores it after them, so a group's transforms and
 * shaders act on its own later members and on the groups nested in it, never
 * on what follows the group. Members are submitted in the group's order;
 * an ordered display group keeps transforms, styles, attribute sets and
 * shaders ahead of its geometry whatever the adding order. Lights and cameras
 * in a display group are skipped: the view's lights come from its light
 * group and its camera from Q3View_SetCamera. Every pass starts from the
 * default state: identity transform, the default styles (QD3DStyle.h),
 * diffuse colour white, specular colour (0.5, 0.5, 0.5), specular control 4,
 * ambient coefficient 1, Lambert illumination, no texture.
 *
 * What geometry looks like:
 *  - The diffuse colour of a vertex is its own attribute set's, else its
 *    facet's (grid facets, box faces, cone parts), else the geometry's
 *    attribute set's, else the state's. A texture's colour replaces it where
 *    the vertices have surface UVs (boxes, ellipsoids and cones make their
 *    own).
 *  - Normals: a grid's or line's vertex normals are used when every vertex
 *    has one; otherwise each triangle is lit with its facet normal (a grid
 *    facet's own normal attribute when it has one). Boxes, ellipsoids and
 *    cones have exact surface normals. Interpolation style None lights every
 *    triangle with its facet normal.
 *  - Lines are one pixel wide and unlit unless both vertices have normals.
 *
 * Bounds. In a bounding pass nothing is drawn: every submitted geometry's
 * extent, in world coordinates, is added to a box. kQ3ComputeBoundsExact
 * takes every transformed vertex (boxes: corners; grids and lines: their
 * vertices; whole ellipsoids and cones: their exact transformed extent; cut
 * ones: the vertices of their tessellation under the subdivision style).
 * kQ3ComputeBoundsApproximate takes the eight corners of each geometry's
 * local bounding box, transformed: never smaller than the exact box, and
 * cheaper. A pass in which nothing was submitted gives a box with isEmpty set
 * (and zero corners).
 */
#ifndef VASK_PLATFORM_Q3D_QD3DVIEW_H
#define VASK_PLATFORM_Q3D_QD3DVIEW_H

#include "platform/q3d/QD3D.h"

typedef enum TQ3ViewStatus {
    kQ3ViewStatusDone = 0,
    kQ3ViewStatusRetraverse = 1,
    kQ3ViewStatusError = 2,
    kQ3ViewStatusCancelled = 3
} TQ3ViewStatus;

typedef enum TQ3ComputeBounds { kQ3ComputeBoundsExact = 0, kQ3ComputeBoundsApproximate = 1 } TQ3ComputeBounds;

/* A new view with nothing attached, owned by the caller, or NULL with an
 * error posted. */
Q3_EXTERN TQ3ViewObject Q3View_New(void);

/* Attach an object, taking the view's own reference and releasing the one it
 * held. The caller keeps its reference. Wrong kind of object:
 * kQ3ErrorInvalidObjectType; during a pass: kQ3ErrorViewIsStarted. A light
 * group may be NULL (no lights); the others may not (kQ3ErrorNULLParameter).
 * The getters write a NEW reference (NULL when nothing is attached), which
 * the caller must dispose. */
Q3_EXTERN TQ3Status Q3View_SetCamera(TQ3ViewObject view, TQ3CameraObject camera);
Q3_EXTERN TQ3Status Q3View_GetCamera(TQ3ViewObject view, TQ3CameraObject* camera);
Q3_EXTERN TQ3Status Q3View_SetLightGroup(TQ3ViewObject view, TQ3GroupObject lightGroup);
Q3_EXTERN TQ3Status Q3View_GetLightGroup(TQ3ViewObject view, TQ3GroupObject* lightGroup);
Q3_EXTERN TQ3Status Q3View_SetRenderer(TQ3ViewObject view, TQ3RendererObject renderer);
Q3_EXTERN TQ3Status Q3View_GetRenderer(TQ3ViewObject view, TQ3RendererObject* renderer);
Q3_EXTERN TQ3Status Q3View_SetDrawContext(TQ3ViewObject view, TQ3DrawContextObject drawContext);
Q3_EXTERN TQ3Status Q3View_GetDrawContext(TQ3ViewObject view, TQ3DrawContextObject* drawContext);

/* Starts a rendering pass: reads the camera, the lights of the light group
 * and the draw context, clears the target (QD3DDrawContext.h) and its depth.
 * Needs a camera (kQ3ErrorCameraNotSet), a renderer (kQ3ErrorRendererNotSet)
 * and a draw context (kQ3ErrorDrawContextNotSet), no pass already running
 * in this view (kQ3ErrorViewIsStarted) and a renderer not busy with another
 * view's pass (kQ3ErrorRenderingIsActive). */
Q3_EXTERN TQ3Status Q3View_StartRendering(TQ3ViewObject view);

/* Ends the rendering pass: the draw context's pixels hold the picture.
 * Returns kQ3ViewStatusDone, or kQ3ViewStatusError with
 * kQ3ErrorRenderingNotStarted posted when no rendering pass runs. */
Q3_EXTERN TQ3ViewStatus Q3View_EndRendering(TQ3ViewObject view);

/* Abandons the pass that runs, of either kind (what was drawn stays drawn).
 * Succeeds also when none runs. */
Q3_EXTERN TQ3Status Q3View_Cancel(TQ3ViewObject view);

/* Starts a bounding pass (needs nothing attached). computeBounds must be
 * kQ3ComputeBoundsExact or kQ3ComputeBoundsApproximate
 * (kQ3ErrorParameterOutOfRange); a pass already running:
 * kQ3ErrorViewIsStarted. */
Q3_EXTERN TQ3Status Q3View_StartBoundingBox(TQ3ViewObject view, TQ3ComputeBounds computeBounds);

/* Ends the bounding pass and writes the box of everything submitted to
 * *result. Returns kQ3ViewStatusDone; kQ3ViewStatusError with
 * kQ3ErrorBoundsNotStarted when no bounding pass runs, or with
 * kQ3ErrorNULLParameter for a NULL result (the pass still ends). */
Q3_EXTERN TQ3ViewStatus Q3View_EndBoundingBox(TQ3ViewObject view, TQ3BoundingBox* result);

/* ---- Submitting, inside a pass ------------------------------------------
 * Each returns kQ3Success, or kQ3Failure with an error posted: a NULL or
 * dead object or view, an object of the wrong kind
 * (kQ3ErrorInvalidObjectType), no pass running (kQ3ErrorViewNotStarted), or
 * no memory. A failure inside a display group leaves the view's state as it
 * was before the group. */

/* Saves the state; Q3Pop_Submit restores the latest saved state, and posts
 * kQ3ErrorNothingToPop when there is none. Saved states left at the end of a
 * pass are dropped. */
Q3_EXTERN TQ3Status Q3Push_Submit(TQ3ViewObject view);
Q3_EXTERN TQ3Status Q3Pop_Submit(TQ3ViewObject view);

/* Any drawable object, routed by its kind to the calls below; lights and
 * cameras are skipped. */
Q3_EXTERN TQ3Status Q3Object_Submit(TQ3Object object, TQ3ViewObject view);

/* Draws or measures a geometry with the current state. */
Q3_EXTERN TQ3Status Q3Geometry_Submit(TQ3GeometryObject geometry, TQ3ViewObject view);

/* An illumination or texture shader, for what follows. */
Q3_EXTERN TQ3Status Q3Shader_Submit(TQ3ShaderObject shader, TQ3ViewObject view);

/* Merges the set's diffuse colour, specular colour, specular control and
 * ambient coefficient into the state; its other attributes do nothing here. */
Q3_EXTERN TQ3Status Q3AttributeSet_Submit(TQ3AttributeSet attributeSet, TQ3ViewObject view);

/* A transform object, or a matrix without an object; either applies to what
 * follows (see State above). */
Q3_EXTERN TQ3Status Q3Transform_Submit(TQ3TransformObject transform, TQ3ViewObject view);
Q3_EXTERN TQ3Status Q3MatrixTransform_Submit(const TQ3Matrix4x4* matrix, TQ3ViewObject view);

/* Submits a display group's members in order, between a saved and a
 * restored state. Plain groups and light groups are not display groups
 * (kQ3ErrorInvalidObjectType). */
Q3_EXTERN TQ3Status Q3DisplayGroup_Submit(TQ3GroupObject group, TQ3ViewObject view);

#endif
