/*
 * QD3DDrawContext.h — draw contexts: where a view's renderer puts its
 * pixels. The one kind here is the pixmap draw context, which renders
 * straight into the caller's 32-bit pixel memory.
 *
 * At the start of every rendering pass the view reads its draw context:
 *  - clear method kQ3ClearMethodWithColor fills the target with
 *    clearImageColor first (its alpha goes into ARGB32 pixels; RGB32 pixels
 *    get 0xFF in their spare byte); kQ3ClearMethodNone leaves the pixels as
 *    they are (only the depth is cleared);
 *  - with paneState on, only the pane — pixels from pane.min (inclusive) to
 *    pane.max (exclusive), rounded to whole pixels and cut to the pixmap —
 *    is cleared and drawn, and the camera's picture fills the pane instead
 *    of the whole pixmap;
 *  - double buffering is accepted and makes no difference: the pixmap holds
 *    the finished picture once the pass has ended either way.
 * Changes made during a pass show at the next pass.
 *
 * The pixmap is caller-owned memory (QD3D.h) that must stay valid, and hold
 * height rows of rowBytes bytes, for as long as a pass into it runs. It is
 * accepted when (else the error named, and the context is unchanged):
 *  - pixelSize is 32 and pixelType kQ3PixelTypeRGB32 or kQ3PixelTypeARGB32
 *    (kQ3ErrorUnsupportedPixelDepth); bitOrder and byteOrder are
 *    kQ3EndianBig or kQ3EndianLittle (kQ3ErrorParameterOutOfRange);
 *  - width and height are at most 16384 (kQ3ErrorParameterOutOfRange);
 *    either may be 0, giving a context that draws nothing;
 *  - rowBytes >= width × 4 (kQ3ErrorInvalidParameter);
 *  - image is not NULL unless the pixmap is empty (kQ3ErrorNULLParameter).
 * The other fields: clearImageMethod is one of the two methods, colour
 * components are finite and within 0..1, the three states are kQ3False or
 * kQ3True, pane coordinates are finite with min <= max
 * (kQ3ErrorParameterOutOfRange). Masks are not supported: maskState must be
 * kQ3False (kQ3ErrorUnsupportedFunctionality); the mask bitmap is then not
 * read.
 */
#ifndef VASK_PLATFORM_Q3D_QD3DDRAWCONTEXT_H
#define VASK_PLATFORM_Q3D_QD3DDRAWCONTEXT_H

#include "platform/q3d/QD3D.h"

typedef enum TQ3DrawContextClearImageMethod {
    kQ3ClearMethodNone = 0,
    kQ3ClearMethodWithColor = 1
} TQ3DrawContextClearImageMethod;

/* One bit per pixel, rows of rowBytes bytes. */
typedef struct TQ3Bitmap {
    unsigned char* image;
    TQ3Uns32 width;
    TQ3Uns32 height;
    TQ3Uns32 rowBytes;
    TQ3Endian bitOrder;
} TQ3Bitmap;

typedef struct TQ3DrawContextData {
    TQ3DrawContextClearImageMethod clearImageMethod;
    TQ3ColorARGB clearImageColor;
    TQ3Area pane;
    TQ3Boolean paneState;
    TQ3Bitmap mask;
    TQ3Boolean maskState;
    TQ3Boolean doubleBufferState;
} TQ3DrawContextData;

typedef struct TQ3PixmapDrawContextData {
    TQ3DrawContextData drawContextData;
    TQ3Pixmap pixmap;
} TQ3PixmapDrawContextData;

/* The context's leaf type (kQ3DrawContextTypePixmap), or kQ3ObjectTypeInvalid
 * with an error posted. */
Q3_EXTERN TQ3ObjectType Q3DrawContext_GetType(TQ3DrawContextObject drawContext);

/* A new pixmap draw context with one reference owned by the caller, or NULL
 * with an error posted. The record is copied; the pixel memory is not. */
Q3_EXTERN TQ3DrawContextObject Q3PixmapDrawContext_New(const TQ3PixmapDrawContextData* contextData);

/* Points the context at other pixel memory (checked as above). */
Q3_EXTERN TQ3Status Q3PixmapDrawContext_SetPixmap(TQ3DrawContextObject drawContext, const TQ3Pixmap* pixmap);
Q3_EXTERN TQ3Status Q3PixmapDrawContext_GetPixmap(TQ3DrawContextObject drawContext, TQ3Pixmap* pixmap);

/* The common part of the context's data, and its fields one by one. Setters
 * check as above and leave the context unchanged when they refuse. */
Q3_EXTERN TQ3Status Q3DrawContext_GetData(TQ3DrawContextObject drawContext, TQ3DrawContextData* contextData);
Q3_EXTERN TQ3Status Q3DrawContext_SetData(TQ3DrawContextObject drawContext, const TQ3DrawContextData* contextData);
Q3_EXTERN TQ3Status Q3DrawContext_GetClearImageColor(TQ3DrawContextObject drawContext, TQ3ColorARGB* color);
Q3_EXTERN TQ3Status Q3DrawContext_SetClearImageColor(TQ3DrawContextObject drawContext, const TQ3ColorARGB* color);
Q3_EXTERN TQ3Status Q3DrawContext_GetClearImageMethod(TQ3DrawContextObject drawContext,
                                                      TQ3DrawContextClearImageMethod* method);
Q3_EXTERN TQ3Status Q3DrawContext_SetClearImageMethod(TQ3DrawContextObject drawContext,
                                                      TQ3DrawContextClearImageMethod method);
Q3_EXTERN TQ3Status Q3DrawContext_GetPane(TQ3DrawContextObject drawContext, TQ3Area* pane);
Q3_EXTERN TQ3Status Q3DrawContext_SetPane(TQ3DrawContextObject drawContext, const TQ3Area* pane);
Q3_EXTERN TQ3Status Q3DrawContext_GetPaneState(TQ3DrawContextObject drawContext, TQ3Boolean* state);
Q3_EXTERN TQ3Status Q3DrawContext_SetPaneState(TQ3DrawContextObject drawContext, TQ3Boolean state);

#endif
