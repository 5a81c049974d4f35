/*
 * QD3DStyle.h — styles: how the geometry that follows is drawn.
 *
 * A style object is a shape: put it in a display group, or submit it to a
 * view during a pass, and it applies to everything after it until a pop
 * (Q3Pop_Submit, or the end of the group it sits in) restores the earlier
 * style. A pass starts with these defaults: filled, backfacing both,
 * interpolation vertex, constant subdivision 20 × 20.
 *
 * Values outside an enumeration, and subdivision values that are not finite
 * or not above 0, are refused with kQ3ErrorParameterOutOfRange and leave the
 * style unchanged.
 */
#ifndef VASK_PLATFORM_Q3D_QD3DSTYLE_H
#define VASK_PLATFORM_Q3D_QD3DSTYLE_H

#include "platform/q3d/QD3D.h"

/* Surfaces as filled triangles, as their triangles' edges (one-pixel lines),
 * or as their triangles' corners (single pixels). */
typedef enum TQ3FillStyle { kQ3FillStyleFilled = 0, kQ3FillStyleEdges = 1, kQ3FillStylePoints = 2 } TQ3FillStyle;

/* A triangle faces the eye when its corners run counter-clockwise as seen
 * from the eye. Both draws back faces lit with their own normals, Remove
 * leaves them out, Flip draws them lit with their normals reversed (a
 * two-sided surface). */
typedef enum TQ3BackfacingStyle {
    kQ3BackfacingStyleBoth = 0,
    kQ3BackfacingStyleRemove = 1,
    kQ3BackfacingStyleFlip = 2
} TQ3BackfacingStyle;

/* None: each triangle in one colour, lit with its facet normal (flat).
 * Vertex: lit at the vertices and blended across (Gouraud). Pixel is drawn
 * as Vertex: the interactive renderer lights per vertex. */
typedef enum TQ3InterpolationStyle {
    kQ3InterpolationStyleNone = 0,
    kQ3InterpolationStyleVertex = 1,
    kQ3InterpolationStylePixel = 2
} TQ3InterpolationStyle;

/* How curved surfaces (ellipsoids, cones) become triangles:
 *  - Constant: c1 steps around the surface (u) and c2 along it (v);
 *  - WorldSpace: edges no longer than about c1 world units (c2 unused);
 *  - ScreenSpace: edges no longer than about c1 pixels in the picture (c2
 *    unused; in a bounding pass, which has no picture, c1 world units).
 * Whatever the method, a surface gets 3 to 256 steps around and 2 to 256
 * along (1 to 256 along a cone's side). */
typedef enum TQ3SubdivisionMethod {
    kQ3SubdivisionMethodConstant = 0,
    kQ3SubdivisionMethodWorldSpace = 1,
    kQ3SubdivisionMethodScreenSpace = 2
} TQ3SubdivisionMethod;

typedef struct TQ3SubdivisionStyleData {
    TQ3SubdivisionMethod method;
    TQ3Float32 c1;
    TQ3Float32 c2;
} TQ3SubdivisionStyleData;

/* The style's leaf type (kQ3StyleTypeFill, ...), or kQ3ObjectTypeInvalid
 * with an error posted. */
Q3_EXTERN TQ3ObjectType Q3Style_GetType(TQ3StyleObject style);

/* Applies the style to what the view draws next in the current pass. Outside
 * a pass: kQ3ErrorViewNotStarted. */
Q3_EXTERN TQ3Status Q3Style_Submit(TQ3StyleObject style, TQ3ViewObject view);

/* Creation: a new style with one reference owned by the caller, or NULL with
 * an error posted. _Get and _Set read and replace the value; _Submit applies
 * a value to the view directly, without an object. */
Q3_EXTERN TQ3StyleObject Q3FillStyle_New(TQ3FillStyle fillStyle);
Q3_EXTERN TQ3Status Q3FillStyle_Get(TQ3StyleObject fillObject, TQ3FillStyle* fillStyle);
Q3_EXTERN TQ3Status Q3FillStyle_Set(TQ3StyleObject fillObject, TQ3FillStyle fillStyle);
Q3_EXTERN TQ3Status Q3FillStyle_Submit(TQ3FillStyle fillStyle, TQ3ViewObject view);

Q3_EXTERN TQ3StyleObject Q3BackfacingStyle_New(TQ3BackfacingStyle backfacingStyle);
Q3_EXTERN TQ3Status Q3BackfacingStyle_Get(TQ3StyleObject backfacingObject, TQ3BackfacingStyle* backfacingStyle);
Q3_EXTERN TQ3Status Q3BackfacingStyle_Set(TQ3StyleObject backfacingObject, TQ3BackfacingStyle backfacingStyle);
Q3_EXTERN TQ3Status Q3BackfacingStyle_Submit(TQ3BackfacingStyle backfacingStyle, TQ3ViewObject view);

Q3_EXTERN TQ3StyleObject Q3InterpolationStyle_New(TQ3InterpolationStyle interpolationStyle);
Q3_EXTERN TQ3Status Q3InterpolationStyle_Get(TQ3StyleObject interpolationObject,
                                             TQ3InterpolationStyle* interpolationStyle);
Q3_EXTERN TQ3Status Q3InterpolationStyle_Set(TQ3StyleObject interpolationObject,
                                             TQ3InterpolationStyle interpolationStyle);
Q3_EXTERN TQ3Status Q3InterpolationStyle_Submit(TQ3InterpolationStyle interpolationStyle, TQ3ViewObject view);

Q3_EXTERN TQ3StyleObject Q3SubdivisionStyle_New(const TQ3SubdivisionStyleData* data);
Q3_EXTERN TQ3Status Q3SubdivisionStyle_GetData(TQ3StyleObject subdiv, TQ3SubdivisionStyleData* data);
Q3_EXTERN TQ3Status Q3SubdivisionStyle_SetData(TQ3StyleObject subdiv, const TQ3SubdivisionStyleData* data);
Q3_EXTERN TQ3Status Q3SubdivisionStyle_Submit(const TQ3SubdivisionStyleData* data, TQ3ViewObject view);

#endif
