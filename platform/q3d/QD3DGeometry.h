/*
 * QD3DGeometry.h — geometry: boxes, ellipsoids, cones, lines and triangle
 * grids, each described by a plain data record.
 *
 * Common rules for every kind below:
 *  - _New and _SetData copy the record. The attribute sets it names (NULL for
 *    none) are shared, not copied: the geometry takes its own reference to
 *    each, and the caller keeps its own.
 *  - _GetData fills a record with copies of the values and NEW references to
 *    the geometry's own attribute sets; arrays in the record (box face sets,
 *    grid vertices and facet sets) are allocated by the library. The record
 *    must be given back to the kind's _EmptyData, which releases those
 *    references, frees those arrays and sets the record's pointers to NULL.
 *    _EmptyData frees only arrays the library handed out; on a record the
 *    caller filled itself it still releases the attribute sets named in it.
 *  - _SetData is all or nothing: when it fails, the geometry is unchanged
 *    (one exception for grids, under Q3TriGrid_SetData).
 *  - Bad data is refused with an error posted: NULL records or arrays
 *    (kQ3ErrorNULLParameter), an attribute-set slot holding something other
 *    than a live attribute set (kQ3ErrorInvalidObject or
 *    kQ3ErrorInvalidObjectType), the other cases as each record says.
 *  - Coordinates are in the geometry's local space, in object units.
 */
#ifndef VASK_PLATFORM_Q3D_QD3DGEOMETRY_H
#define VASK_PLATFORM_Q3D_QD3DGEOMETRY_H

#include "platform/q3d/QD3D.h"

/* Which parts of an ellipsoid or cone are closed; any other bit is refused
 * with kQ3ErrorParameterOutOfRange. */
typedef enum TQ3EndCapMasks {
    kQ3EndCapNone = 0,
    kQ3EndCapMaskTop = 1 << 0,
    kQ3EndCapMaskBottom = 1 << 1,
    kQ3EndCapMaskInterior = 1 << 2
} TQ3EndCapMasks;
typedef TQ3Uns32 TQ3EndCap;

/* A parallelepiped: the corner `origin` and the three edge vectors from it,
 * `orientation` (height), `majorAxis` (depth) and `minorAxis` (width).
 * faceAttributeSet is NULL or an array of 6 sets (each may be NULL), one per
 * face: the faces across minorAxis, across orientation, then across
 * majorAxis, each pair the face through `origin` first. */
typedef struct TQ3BoxData {
    TQ3Point3D origin;
    TQ3Vector3D orientation;
    TQ3Vector3D majorAxis;
    TQ3Vector3D minorAxis;
    TQ3AttributeSet* faceAttributeSet;
    TQ3AttributeSet boxAttributeSet;
} TQ3BoxData;

/* An ellipsoid centred on `origin` with the three radius vectors. The u and v
 * ranges (0..1 for the whole surface) select a part of it; `caps` closes the
 * cut edges of a partial one. */
typedef struct TQ3EllipsoidData {
    TQ3Point3D origin;
    TQ3Vector3D orientation;
    TQ3Vector3D majorRadius;
    TQ3Vector3D minorRadius;
    TQ3Float32 uMin, uMax, vMin, vMax;
    TQ3EndCap caps;
    TQ3AttributeSet interiorAttributeSet;
    TQ3AttributeSet ellipsoidAttributeSet;
} TQ3EllipsoidData;

/* A cone whose base ellipse, centred on `origin`, is spanned by majorRadius
 * and minorRadius; its apex is origin + orientation. caps: kQ3EndCapMaskBottom
 * closes the base. */
typedef struct TQ3ConeData {
    TQ3Point3D origin;
    TQ3Vector3D orientation;
    TQ3Vector3D majorRadius;
    TQ3Vector3D minorRadius;
    TQ3Float32 uMin, uMax, vMin, vMax;
    TQ3EndCap caps;
    TQ3AttributeSet interiorAttributeSet;
    TQ3AttributeSet faceAttributeSet;
    TQ3AttributeSet bottomAttributeSet;
    TQ3AttributeSet coneAttributeSet;
} TQ3ConeData;

/* A line segment between two vertices. */
typedef struct TQ3LineData {
    TQ3Vertex3D vertices[2];
    TQ3AttributeSet lineAttributeSet;
} TQ3LineData;

/* A grid of numRows × numColumns vertices, row after row: vertex (r, c) is
 * vertices[r * numColumns + c]. Each cell of four neighbouring vertices makes
 * two triangles, so a grid has 2 × (numRows − 1) × (numColumns − 1) facets;
 * facetAttributeSet is NULL or an array with one set per facet, in cell
 * order, the two triangles of a cell next to each other. Both counts must be
 * at least 1 (kQ3ErrorGeometryInsufficientNumberOfPoints); a grid of one row
 * or one column has no facets. numRows × numColumns must fit in 32 bits
 * (kQ3ErrorParameterOutOfRange). */
typedef struct TQ3TriGridData {
    TQ3Uns32 numRows;
    TQ3Uns32 numColumns;
    TQ3Vertex3D* vertices;
    TQ3AttributeSet* facetAttributeSet;
    TQ3AttributeSet triGridAttributeSet;
} TQ3TriGridData;

/* The geometry's leaf type (kQ3GeometryTypeBox, ...), or kQ3ObjectTypeInvalid
 * with an error posted. */
Q3_EXTERN TQ3ObjectType Q3Geometry_GetType(TQ3GeometryObject geometry);

/* Creation: a new geometry with one reference owned by the caller, or NULL
 * with an error posted. Getters, setters and _EmptyData return kQ3Success or
 * kQ3Failure with an error posted. */

Q3_EXTERN TQ3GeometryObject Q3Box_New(const TQ3BoxData* boxData);
Q3_EXTERN TQ3Status Q3Box_SetData(TQ3GeometryObject box, const TQ3BoxData* boxData);
Q3_EXTERN TQ3Status Q3Box_GetData(TQ3GeometryObject box, TQ3BoxData* boxData);
Q3_EXTERN TQ3Status Q3Box_EmptyData(TQ3BoxData* boxData);

Q3_EXTERN TQ3GeometryObject Q3Ellipsoid_New(const TQ3EllipsoidData* ellipsoidData);
Q3_EXTERN TQ3Status Q3Ellipsoid_SetData(TQ3GeometryObject ellipsoid, const TQ3EllipsoidData* ellipsoidData);
Q3_EXTERN TQ3Status Q3Ellipsoid_GetData(TQ3GeometryObject ellipsoid, TQ3EllipsoidData* ellipsoidData);
Q3_EXTERN TQ3Status Q3Ellipsoid_EmptyData(TQ3EllipsoidData* ellipsoidData);

Q3_EXTERN TQ3GeometryObject Q3Cone_New(const TQ3ConeData* coneData);
Q3_EXTERN TQ3Status Q3Cone_SetData(TQ3GeometryObject cone, const TQ3ConeData* coneData);
Q3_EXTERN TQ3Status Q3Cone_GetData(TQ3GeometryObject cone, TQ3ConeData* coneData);
Q3_EXTERN TQ3Status Q3Cone_EmptyData(TQ3ConeData* coneData);

Q3_EXTERN TQ3GeometryObject Q3Line_New(const TQ3LineData* lineData);
Q3_EXTERN TQ3Status Q3Line_SetData(TQ3GeometryObject line, const TQ3LineData* lineData);
Q3_EXTERN TQ3Status Q3Line_GetData(TQ3GeometryObject line, TQ3LineData* lineData);
Q3_EXTERN TQ3Status Q3Line_EmptyData(TQ3LineData* lineData);

/* A grid is built for refilling in place, once per frame: get the data,
 * change points (and attribute values in the grid's own sets), set it back,
 * empty the record. The vertex array that _GetData hands out is recycled by
 * _EmptyData for the next _GetData, so a refill allocates nothing once it
 * has run once.
 *
 * Q3TriGrid_SetData with a record of the grid's own size copies the points
 * while it checks that the sets are the grid's own, in one pass over the
 * array. When it then refuses a changed set (not a live attribute set), the
 * grid keeps its size and every one of its sets, but some of its points may
 * already be the record's. Checking every set before copying any point
 * would cost every refill a second pass over tens of megabytes. */
Q3_EXTERN TQ3GeometryObject Q3TriGrid_New(const TQ3TriGridData* triGridData);
Q3_EXTERN TQ3Status Q3TriGrid_SetData(TQ3GeometryObject triGrid, const TQ3TriGridData* triGridData);
Q3_EXTERN TQ3Status Q3TriGrid_GetData(TQ3GeometryObject triGrid, TQ3TriGridData* triGridData);
Q3_EXTERN TQ3Status Q3TriGrid_EmptyData(TQ3TriGridData* triGridData);

/* Our own extension, beside the per-vertex calls: sets the points of the
 * `count` vertices from index `first` (row-major, r × numColumns + c) from
 * `points` and, when `normals` is not NULL, puts normals[i] into the
 * attribute set of vertex first + i as its kQ3AttributeTypeNormal, as
 * Q3AttributeSet_Add on that set would. The result is that of a refill
 * through _GetData, _Add, _SetData and _EmptyData, in one pass and without
 * taking or dropping a reference. The sets are shared: whoever else holds
 * one sees its new normal.
 * Errors, with nothing changed: the range passes the last vertex
 * (kQ3ErrorParameterOutOfRange); normals given and a vertex of the range
 * without an attribute set (kQ3ErrorInvalidParameter); points NULL with a
 * count (kQ3ErrorNULLParameter).
 * Calls on disjoint ranges of one grid may run on several threads at once,
 * as long as nothing else uses the grid or its sets meanwhile, and none of
 * them gives normals to a blank grid made without them (below). */
Q3_EXTERN TQ3Status Q3TriGrid_SetVertexRange(TQ3GeometryObject triGrid, TQ3Uns32 first, TQ3Uns32 count,
                                              const TQ3Point3D* points, const TQ3Vector3D* normals);

/* Our own extension, the same for surface UVs: puts uvs[i] into the
 * attribute set of vertex first + i as its kQ3AttributeTypeSurfaceUV. Errors
 * and threads as for Q3TriGrid_SetVertexRange; uvs NULL with a count is
 * kQ3ErrorNULLParameter. */
Q3_EXTERN TQ3Status Q3TriGrid_SetVertexUVs(TQ3GeometryObject triGrid, TQ3Uns32 first, TQ3Uns32 count,
                                            const TQ3Param2D* uvs);

/* Our own extension: a grid of numRows × numColumns vertices (each at least
 * 1, and at most 2^32 − 1 vertices in all), every point at the origin,
 * no facet sets and no grid set. With vertexNormals or vertexUVs, every
 * vertex has an attribute set of its own holding a zero normal and/or a
 * zero surface UV; with neither, no vertex has a set. Give the values with
 * the two calls above.
 * The result is that of making a set per vertex, adding the values,
 * Q3TriGrid_New and disposing the caller's references, but the library
 * keeps the values in arrays of its own and makes the set objects only
 * when something asks for them (Q3TriGrid_GetData; or normals or UVs given
 * to a grid made without them): a grid that is only refilled through the
 * range calls and drawn costs 12 bytes per vertex for its point, 12 for a
 * normal and 8 for a UV, and nothing per set. Once made, the sets stay, and
 * behave as any grid's do.
 * Errors: a count of 0 (kQ3ErrorGeometryInsufficientNumberOfPoints), too
 * many vertices (kQ3ErrorParameterOutOfRange), out of memory. */
Q3_EXTERN TQ3GeometryObject Q3TriGrid_NewBlank(TQ3Uns32 numRows, TQ3Uns32 numColumns, TQ3Boolean vertexNormals,
                                               TQ3Boolean vertexUVs);

/* Our own extension, for refilling a big grid without copying its rows
 * twice: the grid's own array of points (numRows × numColumns, row after
 * row) and, while the grid keeps them as dense values (a grid made with
 * Q3TriGrid_NewBlank whose sets nobody has asked for yet), its arrays of
 * normals and surface UVs; NULL for those it does not keep so (then give
 * them with the calls above). Writing a point or value there is setting it
 * as Q3TriGrid_SetVertexRange and _SetVertexUVs do. The arrays stay valid
 * until the next call that changes the grid's data (Q3TriGrid_SetData,
 * _GetData, which may turn the values into sets, and disposing it), and
 * must be written by one thread per element range, with nothing reading the
 * grid meanwhile. normals and uvs may be NULL when not wanted.
 * Errors: not a grid, points NULL (kQ3ErrorNULLParameter). */
Q3_EXTERN TQ3Status Q3TriGrid_GetVertexArrays(TQ3GeometryObject triGrid, TQ3Point3D** points, TQ3Vector3D** normals,
                                              TQ3Param2D** uvs);

/* Triangle meshes come only from model files (QD3DIO.h). Our extension: the
 * counts a triangle mesh was read with. Not a triangle mesh:
 * kQ3ErrorInvalidObjectType. */
typedef struct TQ3TriMeshCounts {
    TQ3Uns32 numTriangles;
    TQ3Uns32 numPoints;
    TQ3Uns32 numEdges;
    TQ3Uns32 numAttributeTypes; /* triangle, edge and vertex attribute types together */
} TQ3TriMeshCounts;

Q3_EXTERN TQ3Status Q3TriMesh_GetCounts(TQ3GeometryObject triMesh, TQ3TriMeshCounts* counts);

#endif
