/*
 * QD3DRenderer.h — renderers: what turns a view's submitted scene into
 * pixels. The one renderer here is the interactive renderer, a software
 * rasteriser:
 *  - z-buffered triangles, colour interpolated across each triangle
 *    (Gouraud), textures with perspective correction and bilinear filtering;
 *  - lighting once per vertex with the illumination shader in effect
 *    (Phong, Lambert or none) from the lights of the view's light group:
 *    ambient, directional, point and spot lights with their attenuation and
 *    fall-off; vertices without normals are lit with their facet's normal;
 *  - lines one pixel wide, unlit unless both ends carry normals;
 *  - backfacing, fill and interpolation styles (QD3DStyle.h); curved
 *    surfaces tessellated by the subdivision style.
 * Drawing is deterministic: the same scene gives the same pixels bit for
 * bit, whatever the thread count.
 *
 * A renderer serves one rendering pass at a time: a view whose renderer is in
 * the middle of another view's pass cannot start its own
 * (kQ3ErrorRenderingIsActive).
 */
#ifndef VASK_PLATFORM_Q3D_QD3DRENDERER_H
#define VASK_PLATFORM_Q3D_QD3DRENDERER_H

#include "platform/q3d/QD3D.h"

/* A new renderer of `rendererObjectType` with one reference owned by the
 * caller, or NULL with an error posted. Only kQ3RendererTypeInteractive
 * exists; any other type: kQ3ErrorInvalidObjectClass. */
Q3_EXTERN TQ3RendererObject Q3Renderer_NewFromType(TQ3ObjectType rendererObjectType);

/* The renderer's leaf type, or kQ3ObjectTypeInvalid with an error posted. */
Q3_EXTERN TQ3ObjectType Q3Renderer_GetType(TQ3RendererObject renderer);

/* Most threads an interactive renderer draws with. */
#define kQ3InteractiveRendererMaxThreads 64

/* Our own extension: how many threads the interactive renderer draws with.
 * 1 (the default) draws on the calling thread alone; n > 1 adds n − 1
 * worker threads that help inside each draw, which is worth it for large
 * pictures and dense grids. The picture does not depend on it. The workers
 * are started at the next rendering pass and live with the renderer.
 * threadCount 0 or above kQ3InteractiveRendererMaxThreads:
 * kQ3ErrorParameterOutOfRange; during a pass: kQ3ErrorRenderingIsActive.
 * Either way the count is unchanged. */
Q3_EXTERN TQ3Status Q3InteractiveRenderer_SetThreadCount(TQ3RendererObject renderer, TQ3Uns32 threadCount);
Q3_EXTERN TQ3Status Q3InteractiveRenderer_GetThreadCount(TQ3RendererObject renderer, TQ3Uns32* threadCount);

#endif
