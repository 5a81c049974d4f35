/*
 * QD3D.h — basic types, object types, system and object calls of libvask_q3d,
 * our QuickDraw 3D-compatible scene library.
 *
 * One copy of the library is loaded per process; every plug-in that links it
 * shares its objects, its error state and its initialisation count.
 *
 * Threading: the host calls plug-ins on one thread, and that is the contract:
 * every call that takes or makes an object must come from one thread at a
 * time. Object calls take no locks, because a scene may have millions of
 * objects touched per frame (a grid's per-vertex attribute sets). Only
 * Q3Initialize, Q3Exit, Q3IsInitialized and the error channels
 * (QD3DErrors.h) are safe from any thread.
 *
 * Error reporting: a call that fails returns NULL, kQ3Failure, kQ3False or 0
 * as its signature allows and posts a TQ3Error that Q3Error_Get then returns
 * (QD3DErrors.h). Calls never crash on NULL, stale or foreign object pointers:
 * they post kQ3ErrorNULLParameter or kQ3ErrorInvalidObject instead. (The
 * memory of a disposed object is reused for the next object of its size,
 * which its old handle then names, as with any pointer: do not keep using a
 * handle after its last reference is gone.)
 */
#ifndef VASK_PLATFORM_Q3D_QD3D_H
#define VASK_PLATFORM_Q3D_QD3D_H

#include <stdint.h>

#ifdef __cplusplus
#define Q3_EXTERN extern "C" __attribute__((visibility("default")))
#else
#define Q3_EXTERN extern __attribute__((visibility("default")))
#endif

/* ---- Basic types ------------------------------------------------------- */

typedef int8_t TQ3Int8;
typedef uint8_t TQ3Uns8;
typedef int16_t TQ3Int16;
typedef uint16_t TQ3Uns16;
typedef int32_t TQ3Int32;
typedef uint32_t TQ3Uns32;
typedef int64_t TQ3Int64;
typedef uint64_t TQ3Uns64;
typedef float TQ3Float32;
typedef double TQ3Float64;
typedef TQ3Uns32 TQ3Size;

typedef enum TQ3Boolean { kQ3False = 0, kQ3True = 1 } TQ3Boolean;
typedef enum TQ3Switch { kQ3Off = 0, kQ3On = 1 } TQ3Switch;
typedef enum TQ3Status { kQ3Failure = 0, kQ3Success = 1 } TQ3Status;

/* ---- Geometric and colour values (plain data, no objects) --------------- */

typedef struct TQ3Point2D { TQ3Float32 x, y; } TQ3Point2D;
typedef struct TQ3Param2D { TQ3Float32 u, v; } TQ3Param2D;
typedef struct TQ3Point3D { TQ3Float32 x, y, z; } TQ3Point3D;
typedef struct TQ3Vector2D { TQ3Float32 x, y; } TQ3Vector2D;
typedef struct TQ3Vector3D { TQ3Float32 x, y, z; } TQ3Vector3D;
/* Row-major; points are row vectors multiplied on the left (p' = p * M), so
 * the translation is the fourth row. */
typedef struct TQ3Matrix3x3 { TQ3Float32 value[3][3]; } TQ3Matrix3x3;
typedef struct TQ3Matrix4x4 { TQ3Float32 value[4][4]; } TQ3Matrix4x4;
/* isEmpty is kQ3True for a box that bounds nothing; min/max are then unused. */
typedef struct TQ3BoundingBox {
    TQ3Point3D min;
    TQ3Point3D max;
    TQ3Boolean isEmpty;
} TQ3BoundingBox;
/* Pixel rectangle, min inclusive, max exclusive. */
typedef struct TQ3Area { TQ3Point2D min, max; } TQ3Area;
/* Colour components are in 0..1. */
typedef struct TQ3ColorRGB { TQ3Float32 r, g, b; } TQ3ColorRGB;
typedef struct TQ3ColorARGB { TQ3Float32 a, r, g, b; } TQ3ColorARGB;

/* ---- Objects ------------------------------------------------------------ */

/* An object reference. Whoever holds a reference owns it and releases it
 * with Q3Object_Dispose. All aliases below are the same pointer type; the
 * name only documents which kind of object a call expects. */
typedef struct OpaqueTQ3Object* TQ3Object;
typedef TQ3Object TQ3SharedObject;
typedef TQ3Object TQ3ShapeObject;
typedef TQ3Object TQ3GroupObject;
typedef TQ3Object TQ3GeometryObject;
typedef TQ3Object TQ3LightObject;
typedef TQ3Object TQ3TransformObject;
typedef TQ3Object TQ3ShaderObject;
typedef TQ3Object TQ3SurfaceShaderObject;
typedef TQ3Object TQ3IlluminationShaderObject;
typedef TQ3Object TQ3TextureObject;
typedef TQ3Object TQ3StyleObject;
typedef TQ3Object TQ3SetObject;
typedef TQ3Object TQ3AttributeSet;
typedef TQ3Object TQ3ViewObject;
typedef TQ3Object TQ3FileObject;
typedef TQ3Object TQ3StorageObject;
typedef TQ3Object TQ3DrawContextObject;
typedef TQ3Object TQ3RendererObject;
typedef TQ3Object TQ3CameraObject;

/* A vertex with an optional attribute set (NULL for none). */
typedef struct TQ3Vertex3D {
    TQ3Point3D point;
    TQ3AttributeSet attributeSet;
} TQ3Vertex3D;

/* ---- Pixel images ----------------------------------------------------------
 * A pixmap is caller-owned pixel memory that a draw context renders into or a
 * texture reads from: rows of `rowBytes` bytes, top row first. A storage
 * pixmap holds its pixels in a storage object instead. */

typedef enum TQ3PixelType {
    kQ3PixelTypeRGB32 = 0,     /* 32 bits: unused, red, green, blue (from the most significant byte) */
    kQ3PixelTypeARGB32 = 1,    /* 32 bits: alpha, red, green, blue */
    kQ3PixelTypeRGB16 = 2,
    kQ3PixelTypeARGB16 = 3,
    kQ3PixelTypeRGB16_565 = 4,
    kQ3PixelTypeRGB24 = 5
} TQ3PixelType;

typedef enum TQ3Endian {
    kQ3EndianBig = 0,
    kQ3EndianLittle = 1
} TQ3Endian;

typedef struct TQ3Pixmap {
    void* image;
    TQ3Uns32 width;
    TQ3Uns32 height;
    TQ3Uns32 rowBytes;
    TQ3Uns32 pixelSize;        /* bits per pixel */
    TQ3PixelType pixelType;
    TQ3Endian bitOrder;
    TQ3Endian byteOrder;       /* kQ3EndianLittle: a 32-bit pixel's bytes are stored b, g, r, a */
} TQ3Pixmap;

typedef struct TQ3StoragePixmap {
    TQ3StorageObject image;
    TQ3Uns32 width;
    TQ3Uns32 height;
    TQ3Uns32 rowBytes;
    TQ3Uns32 pixelSize;
    TQ3PixelType pixelType;
    TQ3Endian bitOrder;
    TQ3Endian byteOrder;
} TQ3StoragePixmap;

/* ---- Object types: four-character codes ---------------------------------
 * Every object has a chain of types from its top-level type (Q3Object_GetType)
 * down to its leaf type (Q3Object_GetLeafType); Q3Object_IsType tests any
 * link of the chain. */

typedef TQ3Int32 TQ3ObjectType;

#define Q3_OBJECT_TYPE(a, b, c, d) \
    ((TQ3ObjectType)(((TQ3Uns32)(a) << 24) | ((TQ3Uns32)(b) << 16) | ((TQ3Uns32)(c) << 8) | (TQ3Uns32)(d)))

enum {
    kQ3ObjectTypeInvalid = 0,

    /* Top level. */
    kQ3ObjectTypeView = Q3_OBJECT_TYPE('v', 'i', 'e', 'w'),
    kQ3ObjectTypeElement = Q3_OBJECT_TYPE('e', 'l', 'm', 'n'),
    kQ3ObjectTypePick = Q3_OBJECT_TYPE('p', 'i', 'c', 'k'),
    kQ3ObjectTypeShared = Q3_OBJECT_TYPE('s', 'h', 'r', 'd'),

    /* Below shared: reference-counted objects. */
    kQ3SharedTypeRenderer = Q3_OBJECT_TYPE('r', 'd', 'd', 'r'),
    kQ3SharedTypeShape = Q3_OBJECT_TYPE('s', 'h', 'a', 'p'),
    kQ3SharedTypeSet = Q3_OBJECT_TYPE('s', 'e', 't', ' '),
    kQ3SharedTypeDrawContext = Q3_OBJECT_TYPE('d', 'c', 't', 'x'),
    kQ3SharedTypeTexture = Q3_OBJECT_TYPE('t', 'x', 't', 'r'),
    kQ3SharedTypeFile = Q3_OBJECT_TYPE('f', 'i', 'l', 'e'),
    kQ3SharedTypeStorage = Q3_OBJECT_TYPE('s', 't', 'r', 'g'),
    kQ3SharedTypeString = Q3_OBJECT_TYPE('s', 't', 'r', 'n'),
    kQ3SharedTypeViewHints = Q3_OBJECT_TYPE('v', 'w', 'h', 'n'),
    kQ3SharedTypeEndGroup = Q3_OBJECT_TYPE('e', 'n', 'd', 'g'),

    kQ3SetTypeAttribute = Q3_OBJECT_TYPE('a', 't', 't', 'r'),

    /* Below shape: everything that can be drawn or placed in a scene. */
    kQ3ShapeTypeGeometry = Q3_OBJECT_TYPE('g', 'm', 't', 'r'),
    kQ3ShapeTypeShader = Q3_OBJECT_TYPE('s', 'h', 'd', 'r'),
    kQ3ShapeTypeStyle = Q3_OBJECT_TYPE('s', 't', 'y', 'l'),
    kQ3ShapeTypeTransform = Q3_OBJECT_TYPE('x', 'f', 'r', 'm'),
    kQ3ShapeTypeLight = Q3_OBJECT_TYPE('l', 'g', 'h', 't'),
    kQ3ShapeTypeCamera = Q3_OBJECT_TYPE('c', 'm', 'r', 'a'),
    kQ3ShapeTypeUnknown = Q3_OBJECT_TYPE('u', 'n', 'k', 'n'),
    kQ3ShapeTypeReference = Q3_OBJECT_TYPE('r', 'f', 'r', 'n'),
    kQ3ShapeTypeGroup = Q3_OBJECT_TYPE('g', 'r', 'u', 'p'),

    /* Groups. */
    kQ3GroupTypeDisplay = Q3_OBJECT_TYPE('d', 's', 'p', 'g'),
    kQ3GroupTypeLight = Q3_OBJECT_TYPE('l', 'g', 'h', 'g'),
    kQ3GroupTypeInfo = Q3_OBJECT_TYPE('i', 'n', 'f', 'o'),
    kQ3DisplayGroupTypeOrdered = Q3_OBJECT_TYPE('o', 'r', 'd', 'g'),
    kQ3DisplayGroupTypeIOProxy = Q3_OBJECT_TYPE('i', 'o', 'p', 'x'),

    /* Geometry. */
    kQ3GeometryTypeBox = Q3_OBJECT_TYPE('b', 'o', 'x', ' '),
    kQ3GeometryTypeCone = Q3_OBJECT_TYPE('c', 'o', 'n', 'e'),
    kQ3GeometryTypeEllipsoid = Q3_OBJECT_TYPE('e', 'l', 'p', 'd'),
    kQ3GeometryTypeLine = Q3_OBJECT_TYPE('l', 'i', 'n', 'e'),
    kQ3GeometryTypeTriangle = Q3_OBJECT_TYPE('t', 'r', 'n', 'g'),
    kQ3GeometryTypeTriGrid = Q3_OBJECT_TYPE('t', 'r', 'i', 'g'),
    kQ3GeometryTypeTriMesh = Q3_OBJECT_TYPE('t', 'm', 's', 'h'),
    kQ3GeometryTypeMesh = Q3_OBJECT_TYPE('m', 'e', 's', 'h'),
    kQ3GeometryTypePolygon = Q3_OBJECT_TYPE('p', 'l', 'y', 'g'),
    kQ3GeometryTypeGeneralPolygon = Q3_OBJECT_TYPE('g', 'p', 'g', 'n'),
    kQ3GeometryTypePolyLine = Q3_OBJECT_TYPE('p', 'l', 'y', 'l'),
    kQ3GeometryTypePoint = Q3_OBJECT_TYPE('p', 'n', 't', ' '),
    kQ3GeometryTypeMarker = Q3_OBJECT_TYPE('m', 'r', 'k', 'r'),
    kQ3GeometryTypePixmapMarker = Q3_OBJECT_TYPE('m', 'r', 'k', 'p'),
    kQ3GeometryTypeCylinder = Q3_OBJECT_TYPE('c', 'y', 'l', 'n'),
    kQ3GeometryTypeDisk = Q3_OBJECT_TYPE('d', 'i', 's', 'k'),
    kQ3GeometryTypeTorus = Q3_OBJECT_TYPE('t', 'o', 'r', 's'),
    kQ3GeometryTypeNURBCurve = Q3_OBJECT_TYPE('n', 'r', 'b', 'c'),
    kQ3GeometryTypeNURBPatch = Q3_OBJECT_TYPE('n', 'r', 'b', 'p'),

    /* Lights. */
    kQ3LightTypeAmbient = Q3_OBJECT_TYPE('a', 'm', 'b', 'n'),
    kQ3LightTypeDirectional = Q3_OBJECT_TYPE('d', 'r', 'c', 't'),
    kQ3LightTypePoint = Q3_OBJECT_TYPE('p', 'n', 't', 'l'),
    kQ3LightTypeSpot = Q3_OBJECT_TYPE('s', 'p', 'o', 't'),

    /* Transforms. */
    kQ3TransformTypeMatrix = Q3_OBJECT_TYPE('m', 't', 'r', 'x'),
    kQ3TransformTypeTranslate = Q3_OBJECT_TYPE('t', 'r', 'n', 's'),
    kQ3TransformTypeScale = Q3_OBJECT_TYPE('s', 'c', 'a', 'l'),
    kQ3TransformTypeRotate = Q3_OBJECT_TYPE('r', 'o', 't', 't'),
    kQ3TransformTypeRotateAboutPoint = Q3_OBJECT_TYPE('r', 't', 'a', 'p'),
    kQ3TransformTypeRotateAboutAxis = Q3_OBJECT_TYPE('r', 't', 'a', 'a'),
    kQ3TransformTypeQuaternion = Q3_OBJECT_TYPE('q', 't', 'r', 'n'),

    /* Shaders and textures. */
    kQ3ShaderTypeSurface = Q3_OBJECT_TYPE('s', 'u', 'r', 'f'),
    kQ3ShaderTypeIllumination = Q3_OBJECT_TYPE('i', 'l', 'l', 'u'),
    kQ3IlluminationTypePhong = Q3_OBJECT_TYPE('p', 'h', 'i', 'l'),
    kQ3IlluminationTypeLambert = Q3_OBJECT_TYPE('l', 'm', 'i', 'l'),
    kQ3IlluminationTypeNULL = Q3_OBJECT_TYPE('n', 'u', 'i', 'l'),
    kQ3SurfaceShaderTypeTexture = Q3_OBJECT_TYPE('t', 'x', 's', 'u'),
    kQ3TextureTypePixmap = Q3_OBJECT_TYPE('t', 'x', 'p', 'm'),

    /* Styles. */
    kQ3StyleTypeBackfacing = Q3_OBJECT_TYPE('b', 'c', 'k', 'f'),
    kQ3StyleTypeInterpolation = Q3_OBJECT_TYPE('i', 'n', 't', 'p'),
    kQ3StyleTypeFill = Q3_OBJECT_TYPE('f', 'i', 's', 't'),
    kQ3StyleTypeSubdivision = Q3_OBJECT_TYPE('s', 'b', 'd', 'v'),
    kQ3StyleTypeOrientation = Q3_OBJECT_TYPE('o', 'f', 'd', 'r'),
    kQ3StyleTypeHighlight = Q3_OBJECT_TYPE('h', 'i', 'g', 'h'),
    kQ3StyleTypeAntiAlias = Q3_OBJECT_TYPE('a', 'n', 't', 'i'),
    kQ3StyleTypePickID = Q3_OBJECT_TYPE('p', 'k', 'i', 'd'),
    kQ3StyleTypePickParts = Q3_OBJECT_TYPE('p', 'k', 'p', 't'),
    kQ3StyleTypeReceiveShadows = Q3_OBJECT_TYPE('r', 'c', 's', 'h'),
    kQ3StyleTypeCastShadows = Q3_OBJECT_TYPE('c', 'a', 's', 'h'),

    /* Cameras. */
    kQ3CameraTypeOrthographic = Q3_OBJECT_TYPE('o', 'r', 't', 'h'),
    kQ3CameraTypeViewAngleAspect = Q3_OBJECT_TYPE('v', 'a', 'n', 'a'),

    /* Renderers, draw contexts, storage. */
    kQ3RendererTypeInteractive = Q3_OBJECT_TYPE('c', 't', 'w', 'n'),
    kQ3DrawContextTypePixmap = Q3_OBJECT_TYPE('d', 'p', 'x', 'p'),
    kQ3StorageTypeMemory = Q3_OBJECT_TYPE('m', 'e', 'm', 's'),
    kQ3StorageTypePosix = Q3_OBJECT_TYPE('p', 'o', 's', 'x')
};

/* ---- System -------------------------------------------------------------
 * Initialisation is counted: each successful Q3Initialize must be balanced by
 * one Q3Exit, and the library stays initialised while any caller still holds
 * an initialisation. Several plug-ins share one copy of the library, so one
 * of them shutting down must not pull it from under the others.
 *
 * Object creation requires the library to be initialised (else it posts
 * kQ3ErrorNotInitialized). Dispose, references and getters work in any state;
 * Q3Exit does not free objects: they belong to whoever holds them. */

/* Adds one initialisation. A nested call succeeds and posts the notice
 * kQ3NoticeSystemAlreadyInitialized. On failure the count is unchanged. */
Q3_EXTERN TQ3Status Q3Initialize(void);

/* Removes one initialisation. At count 0: posts kQ3ErrorNotInitialized and
 * returns kQ3Failure. */
Q3_EXTERN TQ3Status Q3Exit(void);

/* kQ3True while the initialisation count is above 0. */
Q3_EXTERN TQ3Boolean Q3IsInitialized(void);

/* Writes the library's major and minor revision (1 and 6). Works in any
 * state. NULL pointers: kQ3ErrorNULLParameter. */
Q3_EXTERN TQ3Status Q3GetVersion(TQ3Uns32* majorRevision, TQ3Uns32* minorRevision);

/* ---- Objects ------------------------------------------------------------ */

/* Releases one reference; the object is destroyed when its last reference
 * goes (a group then releases its members' references). Non-shared objects
 * have exactly one reference. A NULL, stale or foreign pointer posts an error
 * and returns kQ3Failure without touching memory. */
Q3_EXTERN TQ3Status Q3Object_Dispose(TQ3Object object);

/* Top-level type (kQ3ObjectTypeShared, kQ3ObjectTypeView, ...), or
 * kQ3ObjectTypeInvalid with an error posted. */
Q3_EXTERN TQ3ObjectType Q3Object_GetType(TQ3Object object);

/* Most specific type (kQ3DisplayGroupTypeOrdered, ...), or
 * kQ3ObjectTypeInvalid with an error posted. */
Q3_EXTERN TQ3ObjectType Q3Object_GetLeafType(TQ3Object object);

/* kQ3True if type is any link of the object's type chain. */
Q3_EXTERN TQ3Boolean Q3Object_IsType(TQ3Object object, TQ3ObjectType type);

/* kQ3True for objects a display group accepts and a view can submit:
 * shapes other than light groups and plain groups, and attribute sets. */
Q3_EXTERN TQ3Boolean Q3Object_IsDrawable(TQ3Object object);

/* Type one level below kQ3ObjectTypeShared (kQ3SharedTypeShape, ...). A
 * non-shared object posts kQ3ErrorInvalidObjectType and returns
 * kQ3ObjectTypeInvalid. */
Q3_EXTERN TQ3ObjectType Q3Shared_GetType(TQ3SharedObject sharedObject);

/* Adds one reference and returns the same object; the caller owns the new
 * reference. Non-shared objects: kQ3ErrorInvalidObjectType, NULL. */
Q3_EXTERN TQ3SharedObject Q3Shared_GetReference(TQ3SharedObject sharedObject);

/* Current number of references, or 0 with an error posted. */
Q3_EXTERN TQ3Uns32 Q3Shared_GetReferenceCount(TQ3SharedObject sharedObject);

#endif
