// Readers for geometry: each checks every count against the bytes its
// object still holds before it allocates, and every index against what it
// indexes, so that no file can make the reader read or write out of bounds.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/q3d/geometry/MeshedGeometry.h"
#include "platform/q3d/geometry/Primitives.h"
#include "platform/q3d/geometry/Surfaces.h"
#include "platform/q3d/geometry/TriGrid.h"
#include "platform/q3d/geometry/Triangulate.h"
#include "platform/q3d/io/Readers.h"

namespace q3d::io {
namespace {

constexpr Keyword kCapKeywords[] = {{"None", 0}, {"Top", 1}, {"Bottom", 2}, {"Interior", 4}};
constexpr Keyword kHints[] = {{"Complex", 0}, {"Concave", 1}, {"Convex", 2}};

TQ3Point3D point(Source& src) {
    TQ3Point3D p;
    p.x = src.f32(), p.y = src.f32(), p.z = src.f32();
    return p;
}
TQ3Vector3D vector(Source& src) {
    TQ3Vector3D v;
    v.x = src.f32(), v.y = src.f32(), v.z = src.f32();
    return v;
}

template <class Array>
void readPoints(Reading& r, std::uint64_t count, Array& out) {
    r.checkCount(count, 3, 4, "points");
    out.resize(count);
    static_assert(sizeof(TQ3Point3D) == 3 * sizeof(float));
    r.src.floats(reinterpret_cast<float*>(out.data()), count * 3);
}

unsigned indexWidth(std::uint64_t count) { return count <= 0xff ? 1 : count <= 0xffff ? 2 : 4; }

// Reads the children with the attribute set lists and sets of `slots`.
void readSets(Reading& r, SetSlots& slots, TQ3Uns32* caps = nullptr, TQ3Uns32* hint = nullptr) {
    readChildren(
        r,
        [&](const ObjectHead& child) {
            if (slots.special(r, child)) return true;
            if (caps != nullptr && child.code == kCaps) {
                *caps = r.src.moreData() ? r.src.keyword(kCapKeywords) & 7u : 0;
                r.src.leave();
                return true;
            }
            if (hint != nullptr && child.code == kPolygonHint) {
                *hint = r.src.moreData() ? r.src.keyword(kHints) : 0;
                r.src.leave();
                return true;
            }
            return false;
        },
        [&](Ref<Object>& object) { return slots.attach(r, object); });
}

TQ3ColorRGB diffuseOf(const AttributeSet* set, const TQ3ColorRGB& fallback) {
    return set != nullptr && set->has(kQ3AttributeTypeDiffuseColor) ? *set->diffuseColor() : fallback;
}

// Per-vertex values from the sets of a vertex attribute set list: an array
// is kept only when every vertex has its value (colours: when any has one,
// the others taking the geometry's colour).
void applyVertexSets(ShapeMesh& mesh, const SetSlots& slots) {
    const auto& sets = slots.vertex;
    if (sets.empty() || sets.size() != mesh.points.size()) return;
    auto all = [&](TQ3AttributeType type) {
        return std::all_of(sets.begin(), sets.end(), [&](const Ref<AttributeSet>& s) { return s && s->has(type); });
    };
    if (all(kQ3AttributeTypeNormal)) {
        mesh.normals.clear();
        for (const auto& s : sets) mesh.normals.push_back(s->normal());
    }
    if (all(kQ3AttributeTypeSurfaceUV)) {
        mesh.uvs.clear();
        for (const auto& s : sets) mesh.uvs.push_back(s->surfaceUV());
    }
    const bool anyColor = std::any_of(sets.begin(), sets.end(), [](const Ref<AttributeSet>& s) {
        return s && s->has(kQ3AttributeTypeDiffuseColor);
    });
    if (anyColor) {
        const TQ3ColorRGB fallback = diffuseOf(slots.geometry.get(), {1, 1, 1});
        mesh.colors.clear();
        for (const auto& s : sets) mesh.colors.push_back(diffuseOf(s.get(), fallback));
    }
}

// Gives every triangle its own three corners, coloured by its face: for
// face colours, which must not bleed into the neighbours.
void expandFaceColors(ShapeMesh& mesh, const std::vector<std::uint32_t>& faceOfTriangle,
                      const std::vector<TQ3ColorRGB>& faceColors) {
    ShapeMesh out;
    const std::size_t corners = mesh.triangles.size();
    out.points.reserve(corners);
    out.colors.reserve(corners);
    const bool normals = !mesh.normals.empty(), uvs = !mesh.uvs.empty();
    for (std::size_t k = 0; k < corners; ++k) {
        const std::uint32_t v = mesh.triangles[k];
        out.points.push_back(mesh.points[v]);
        if (normals) out.normals.push_back(mesh.normals[v]);
        if (uvs) out.uvs.push_back(mesh.uvs[v]);
        out.colors.push_back(faceColors[faceOfTriangle[k / 3]]);
        out.triangles.push_back(std::uint32_t(k));
    }
    out.lines = std::move(mesh.lines);
    mesh = std::move(out);
}

template <TQ3ObjectType kType>
Ref<Object> shape(ShapeMesh mesh, SetSlots& slots) {
    auto geometry = std::make_unique<FileShape<kType>>(std::move(mesh));
    geometry->setAttributeSet(std::move(slots.geometry));
    geometry->setTextureShader(std::move(slots.texture));
    return own(std::move(geometry));
}

MeshedGeometry& meshed(Ref<Object>& object) { return *static_cast<MeshedGeometry*>(object.get()); }

struct Frame {
    TQ3Vector3D orientation{0, 1, 0}, majorRadius{0, 0, 1}, minorRadius{1, 0, 0};
    TQ3Point3D origin{0, 0, 0};
    float uMin = 0, uMax = 1, vMin = 0, vMax = 1;
    float ratio = 1;
};

// The frame of an ellipsoid, cylinder, cone, disk or torus; an object
// without data keeps the unit defaults.
Frame readFrame(Reading& r, bool hasOrientation, bool hasRatio) {
    Frame f;
    Source& src = r.src;
    if (!src.moreData()) return f;
    if (hasOrientation) f.orientation = vector(src);
    f.majorRadius = vector(src);
    f.minorRadius = vector(src);
    f.origin = point(src);
    if (hasRatio && src.moreData()) f.ratio = src.f32();
    if (src.moreData()) {
        f.uMin = src.f32(), f.uMax = src.f32(), f.vMin = src.f32(), f.vMax = src.f32();
    }
    return f;
}

SurfaceFrame surfaceFrame(const Frame& f) {
    return {f.orientation, f.majorRadius, f.minorRadius, f.origin, f.uMin, f.uMax, f.vMin, f.vMax};
}

Ref<Object> readTriMesh(Reading& r) {
    Source& src = r.src;
    const TQ3Uns32 nT = src.u32(), nTA = src.u32(), nE = src.u32(), nEA = src.u32(), nP = src.u32(),
                   nVA = src.u32();
    const unsigned pw = indexWidth(nP), tw = indexWidth(nT);
    ShapeMesh mesh;
    r.checkCount(nT, 3, pw, "triangles");
    mesh.triangles.resize(std::size_t(nT) * 3);
    src.unsignedValues(mesh.triangles.data(), mesh.triangles.size(), pw);
    r.checkCount(nE, 4, std::min(pw, tw), "edges");
    std::vector<std::uint32_t> edge(4);
    const std::uint32_t noTriangle = tw == 1 ? 0xffu : tw == 2 ? 0xffffu : 0xffffffffu;
    for (TQ3Uns32 e = 0; e < nE; ++e) {
        src.unsignedValues(edge.data(), 2, pw);
        src.unsignedValues(edge.data() + 2, 2, tw);
        if (edge[0] >= nP || edge[1] >= nP) r.bad("has an edge with a point index past its points");
        for (int t = 2; t < 4; ++t) {
            if (edge[t] >= nT && edge[t] != noTriangle) r.bad("has an edge with a triangle index past its triangles");
        }
    }
    readPoints(r, nP, mesh.points);
    for (std::uint32_t index : mesh.triangles) {
        if (index >= nP) r.bad("has a triangle with a point index past its " + std::to_string(nP) + " points");
    }
    if (src.moreData()) {  // the stored bounding box; ours is measured
        for (int i = 0; i < 6; ++i) src.f32();
        if (src.moreData()) src.boolean();
    }
    src.leave();

    std::vector<TQ3ColorRGB> triangleColors;
    SetSlots slots(0, 0);
    readChildren(
        r,
        [&](const ObjectHead& child) {
            if (child.code != kAttributeArray) return false;
            const TQ3Int32 type = src.i32();
            src.u32();  // reserved
            const TQ3Uns32 where = src.u32();
            src.u32();  // position of the array
            const TQ3Uns32 useFlag = src.u32();
            if (where > 2) r.bad("has an attribute array for neither triangles, edges nor points");
            const TQ3Uns32 count = where == 0 ? nT : where == 1 ? nE : nP;
            if (useFlag != 0) {
                r.checkCount(count, 1, 1, "attribute flags");
                std::vector<unsigned char> flags(count);
                src.raw(flags.data(), count);
            }
            static constexpr int kValues[] = {0, 2, 2, 3, 1, 3, 3, 1, 3, 6, 1};
            if (type <= 0 || type > 10) {
                postWarning(kQ3WarningUnknownElementType);
                src.leave();
                return true;
            }
            const int values = kValues[type];
            r.checkCount(count, std::uint64_t(values), 4, "attribute values");
            // The arrays that are drawn are read straight into place.
            float* into = nullptr;
            if (where == 2 && type == kQ3AttributeTypeNormal) {
                mesh.normals.resize(count);
                into = reinterpret_cast<float*>(mesh.normals.data());
            } else if (where == 2 && (type == kQ3AttributeTypeSurfaceUV ||
                                      (type == kQ3AttributeTypeShadingUV && mesh.uvs.empty()))) {
                mesh.uvs.resize(count);
                into = reinterpret_cast<float*>(mesh.uvs.data());
            } else if (where == 2 && type == kQ3AttributeTypeDiffuseColor) {
                mesh.colors.resize(count);
                into = reinterpret_cast<float*>(mesh.colors.data());
            } else if (where == 0 && type == kQ3AttributeTypeDiffuseColor) {
                triangleColors.resize(count);
                into = reinterpret_cast<float*>(triangleColors.data());
            }
            std::vector<float> unused;
            if (into == nullptr && type != kQ3AttributeTypeHighlightState) {
                unused.resize(std::size_t(count) * values);
                into = unused.data();
            }
            if (type == kQ3AttributeTypeHighlightState) {
                std::vector<std::uint32_t> on(count);
                src.unsignedValues(on.data(), count, 4);
            } else {
                src.floats(into, std::size_t(count) * values);
            }
            src.leave();
            return true;
        },
        [&](Ref<Object>& object) { return slots.attach(r, object); });
    if (!triangleColors.empty()) {
        std::vector<std::uint32_t> faceOf(nT);
        for (TQ3Uns32 t = 0; t < nT; ++t) faceOf[t] = t;
        expandFaceColors(mesh, faceOf, triangleColors);
    }
    Ref<Object> result = shape<kQ3GeometryTypeTriMesh>(std::move(mesh), slots);
    meshed(result).counts = {nT, nP, nE, nTA + nEA + nVA};
    return result;
}

Ref<Object> readMesh(Reading& r) {
    Source& src = r.src;
    ShapeMesh mesh;
    readPoints(r, src.u32(), mesh.points);
    const TQ3Uns32 nFaces = src.u32(), nContours = src.u32();
    const std::uint64_t records = std::uint64_t(nFaces) + nContours;
    r.checkCount(records, 1, 4, "faces");
    std::vector<std::vector<std::vector<std::uint32_t>>> faces;
    for (std::uint64_t i = 0; i < records; ++i) {
        const TQ3Int32 k = src.i32();
        const std::uint64_t n = k < 0 ? -std::int64_t(k) : k;
        r.checkCount(n, 1, 4, "face vertices");
        std::vector<std::uint32_t> contour(n);
        src.unsignedValues(contour.data(), n, 4);
        for (std::uint32_t v : contour) {
            if (v >= mesh.points.size()) r.bad("has a face with a vertex index past its vertices");
        }
        if (k < 0) {
            if (faces.empty()) r.bad("has a hole before any face");
            faces.back().push_back(std::move(contour));
        } else {
            faces.push_back({std::move(contour)});
        }
    }
    src.leave();
    SetSlots slots(mesh.points.size(), faces.size());
    readSets(r, slots);
    std::vector<std::uint32_t> faceOf;
    for (std::size_t f = 0; f < faces.size(); ++f) {
        std::vector<std::uint32_t> triangles;
        triangulatePolygon(mesh.points, faces[f], triangles, r.ctx.triangulationBudget);
        mesh.triangles.insert(mesh.triangles.end(), triangles.begin(), triangles.end());
        faceOf.insert(faceOf.end(), triangles.size() / 3, std::uint32_t(f));
    }
    applyVertexSets(mesh, slots);
    const bool faceColors = std::any_of(slots.face.begin(), slots.face.end(), [](const Ref<AttributeSet>& s) {
        return s && s->has(kQ3AttributeTypeDiffuseColor);
    });
    if (faceColors) {
        const TQ3ColorRGB fallback = diffuseOf(slots.geometry.get(), {1, 1, 1});
        std::vector<TQ3ColorRGB> colors;
        for (const auto& s : slots.face) colors.push_back(diffuseOf(s.get(), fallback));
        expandFaceColors(mesh, faceOf, colors);
    }
    return shape<kQ3GeometryTypeMesh>(std::move(mesh), slots);
}

// Polygons, triangles and general polygons: contours of points.
Ref<Object> readPolygonal(Reading& r) {
    Source& src = r.src;
    const TQ3ObjectType code = r.head.code;
    ShapeMesh mesh;
    std::vector<std::vector<std::uint32_t>> contours;
    auto addContour = [&](std::uint64_t n) {
        std::vector<TQ3Point3D> points;
        readPoints(r, n, points);
        std::vector<std::uint32_t> contour;
        for (const TQ3Point3D& p : points) {
            contour.push_back(std::uint32_t(mesh.points.size()));
            mesh.points.push_back(p);
        }
        contours.push_back(std::move(contour));
    };
    if (code == kQ3GeometryTypeTriangle) {
        addContour(3);
    } else if (code == kQ3GeometryTypePolygon) {
        const TQ3Uns32 n = src.u32();
        if (n < 3) r.bad("has fewer than three vertices");
        addContour(n);
    } else {
        const TQ3Uns32 count = src.u32();
        r.checkCount(count, 1, 4, "contours");
        for (TQ3Uns32 c = 0; c < count; ++c) addContour(src.u32());
    }
    src.leave();
    SetSlots slots(mesh.points.size(), 0);
    TQ3Uns32 hint = 0;
    readSets(r, slots, nullptr, &hint);
    if (hint == 2 && !contours.empty()) {
        for (std::size_t i = 1; i + 1 < contours[0].size(); ++i)
            mesh.triangles.insert(mesh.triangles.end(), {contours[0][0], contours[0][i], contours[0][i + 1]});
    } else {
        // Contours after the first are holes in it.
        std::erase_if(contours, [](const auto& c) { return c.size() < 3; });
        std::vector<std::uint32_t> triangles;
        triangulatePolygon(mesh.points, contours, triangles, r.ctx.triangulationBudget);
        mesh.triangles.assign(triangles.begin(), triangles.end());
    }
    applyVertexSets(mesh, slots);
    if (code == kQ3GeometryTypeTriangle) return shape<kQ3GeometryTypeTriangle>(std::move(mesh), slots);
    if (code == kQ3GeometryTypePolygon) return shape<kQ3GeometryTypePolygon>(std::move(mesh), slots);
    return shape<kQ3GeometryTypeGeneralPolygon>(std::move(mesh), slots);
}

Ref<Object> readPolyLine(Reading& r) {
    ShapeMesh mesh;
    const TQ3Uns32 n = r.src.u32();
    if (n < 2) r.bad("has fewer than two vertices");
    readPoints(r, n, mesh.points);
    r.src.leave();
    for (TQ3Uns32 i = 0; i + 1 < n; ++i) mesh.lines.insert(mesh.lines.end(), {i, i + 1});
    SetSlots slots(n, n - 1);
    readSets(r, slots);
    applyVertexSets(mesh, slots);
    return shape<kQ3GeometryTypePolyLine>(std::move(mesh), slots);
}

// Points and markers: drawn as the pixel of their point.
Ref<Object> readPointLike(Reading& r) {
    Source& src = r.src;
    ShapeMesh mesh;
    mesh.points.push_back(point(src));
    mesh.drawsPoints = true;
    if (r.head.code != kQ3GeometryTypePoint) {
        src.i32(), src.i32();  // the image's offset from the point, in pixels
        const TQ3Uns32 width = src.u32(), height = src.u32(), rowBytes = src.u32();
        std::uint64_t bits = 1;
        if (r.head.code == kQ3GeometryTypePixmapMarker) {
            bits = src.u32();  // pixel size
            src.u32();         // pixel type
            src.u32();         // byte order
        }
        src.u32();  // bit order
        if (std::uint64_t(rowBytes) * 8 < std::uint64_t(width) * bits) r.bad("has rows too short for its width");
        const std::uint64_t bytes = std::uint64_t(rowBytes) * height;
        r.checkCount(bytes, 1, 1, "bytes of image");
        std::vector<unsigned char> image(bytes);
        src.raw(image.data(), bytes);
    }
    src.leave();
    SetSlots slots(0, 0);
    readSets(r, slots);
    if (r.head.code == kQ3GeometryTypePoint) return shape<kQ3GeometryTypePoint>(std::move(mesh), slots);
    if (r.head.code == kQ3GeometryTypeMarker) return shape<kQ3GeometryTypeMarker>(std::move(mesh), slots);
    return shape<kQ3GeometryTypePixmapMarker>(std::move(mesh), slots);
}

Ref<Object> readLine(Reading& r) {
    TQ3LineData data{};
    data.vertices[0].point = point(r.src);
    data.vertices[1].point = point(r.src);
    r.src.leave();
    SetSlots slots(2, 0);
    readSets(r, slots);
    for (std::size_t i = 0; i < slots.vertex.size(); ++i) data.vertices[i].attributeSet = slots.vertex[i].handle();
    data.lineAttributeSet = slots.geometry.handle();
    auto line = std::make_unique<Line>();
    if (!line->assign(data)) r.bad("cannot be made");
    return own(std::move(line));
}

Ref<Object> readTriGrid(Reading& r) {
    Source& src = r.src;
    const TQ3Uns32 rows = src.u32(), columns = src.u32();
    const std::uint64_t count = std::uint64_t(rows) * columns;
    if (rows == 0 || columns == 0) r.bad("has no vertices");
    r.checkCount(count, 3, 4, "vertices");
    std::vector<TQ3Point3D> points;
    readPoints(r, count, points);
    src.leave();
    SetSlots slots(count, 2 * std::uint64_t(rows - 1) * (columns - 1));
    readSets(r, slots);
    std::vector<TQ3Vertex3D> vertices(count);
    for (std::size_t i = 0; i < count; ++i) {
        vertices[i].point = points[i];
        vertices[i].attributeSet = i < slots.vertex.size() ? slots.vertex[i].handle() : nullptr;
    }
    std::vector<TQ3AttributeSet> facets;
    for (const auto& s : slots.face) facets.push_back(s.handle());
    TQ3TriGridData data{rows, columns, vertices.data(), facets.empty() ? nullptr : facets.data(),
                        slots.geometry.handle()};
    auto grid = std::make_unique<TriGrid>();
    if (!grid->assign(data)) r.bad("cannot be made");
    return own(std::move(grid));
}

Ref<Object> readBox(Reading& r) {
    TQ3BoxData data{};
    data.orientation = {0, 1, 0}, data.majorAxis = {0, 0, 1}, data.minorAxis = {1, 0, 0};
    if (r.src.moreData()) {
        data.orientation = vector(r.src);
        data.majorAxis = vector(r.src);
        data.minorAxis = vector(r.src);
        data.origin = point(r.src);
    }
    r.src.leave();
    SetSlots slots(0, 6);
    readSets(r, slots);
    TQ3AttributeSet faces[6] = {};
    for (std::size_t i = 0; i < slots.face.size(); ++i) faces[i] = slots.face[i].handle();
    data.faceAttributeSet = slots.face.empty() ? nullptr : faces;
    data.boxAttributeSet = slots.geometry.handle();
    auto box = std::make_unique<Box>();
    if (!box->assign(data)) r.bad("cannot be made");
    return own(std::move(box));
}

Ref<Object> readRound(Reading& r) {
    const TQ3ObjectType code = r.head.code;
    const Frame f = readFrame(r, code != kQ3GeometryTypeDisk, code == kQ3GeometryTypeTorus);
    r.src.leave();
    SetSlots slots(0, 0);
    TQ3Uns32 caps = 0;
    readSets(r, slots, &caps);
    if (code == kQ3GeometryTypeEllipsoid) {
        TQ3EllipsoidData d{f.origin,    f.orientation, f.majorRadius, f.minorRadius,          f.uMin, f.uMax,
                           f.vMin,      f.vMax,        caps,          slots.interior.handle(), slots.geometry.handle()};
        auto ellipsoid = std::make_unique<Ellipsoid>();
        if (!ellipsoid->assign(d)) r.bad("cannot be made");
        return own(std::move(ellipsoid));
    }
    if (code == kQ3GeometryTypeCone) {
        TQ3ConeData d{f.origin,
                      f.orientation,
                      f.majorRadius,
                      f.minorRadius,
                      f.uMin,
                      f.uMax,
                      f.vMin,
                      f.vMax,
                      caps,
                      slots.interior.handle(),
                      slots.faceCap.handle(),
                      slots.bottom.handle(),
                      slots.geometry.handle()};
        auto cone = std::make_unique<Cone>();
        if (!cone->assign(d)) r.bad("cannot be made");
        return own(std::move(cone));
    }
    ShapeMesh mesh;
    if (code == kQ3GeometryTypeCylinder) {
        // Caps with colours of their own colour the points of their part.
        auto colorOf = [](const Ref<AttributeSet>& set) {
            return set && set->has(kQ3AttributeTypeDiffuseColor) ? set->diffuseColor() : nullptr;
        };
        PartColors parts;
        parts.side = diffuseOf(slots.geometry.get(), {1, 1, 1});
        if (const TQ3ColorRGB* face = colorOf(slots.faceCap)) parts.side = *face;
        parts.top = colorOf(slots.top);
        parts.bottom = colorOf(slots.bottom);
        const bool own = parts.top != nullptr || parts.bottom != nullptr || colorOf(slots.faceCap) != nullptr;
        tessellateCylinder(surfaceFrame(f), caps, mesh, own ? &parts : nullptr);
        return shape<kQ3GeometryTypeCylinder>(std::move(mesh), slots);
    }
    if (code == kQ3GeometryTypeDisk) {
        tessellateDisk(surfaceFrame(f), mesh);
        return shape<kQ3GeometryTypeDisk>(std::move(mesh), slots);
    }
    tessellateTorus(surfaceFrame(f), f.ratio, mesh);
    return shape<kQ3GeometryTypeTorus>(std::move(mesh), slots);
}

Ref<Object> readNURB(Reading& r) {
    Source& src = r.src;
    ShapeMesh mesh;
    std::string problem;
    if (r.head.code == kQ3GeometryTypeNURBCurve) {
        const TQ3Uns32 order = src.u32(), n = src.u32();
        r.checkCount(n, 4, 4, "control points");
        std::vector<float> points(std::size_t(n) * 4);
        src.floats(points.data(), points.size());
        r.checkCount(std::uint64_t(order) + n, 1, 4, "knots");
        std::vector<float> knots(std::size_t(order) + n);
        src.floats(knots.data(), knots.size());
        src.leave();
        problem = tessellateNURBCurve(order, points, knots, mesh);
    } else {
        const TQ3Uns32 uOrder = src.u32(), vOrder = src.u32(), rows = src.u32(), columns = src.u32();
        const std::uint64_t count = std::uint64_t(rows) * columns;
        r.checkCount(count, 4, 4, "control points");
        std::vector<float> points(count * 4);
        src.floats(points.data(), points.size());
        r.checkCount(std::uint64_t(uOrder) + columns, 1, 4, "u knots");
        std::vector<float> uKnots(std::size_t(uOrder) + columns);
        src.floats(uKnots.data(), uKnots.size());
        r.checkCount(std::uint64_t(vOrder) + rows, 1, 4, "v knots");
        std::vector<float> vKnots(std::size_t(vOrder) + rows);
        src.floats(vKnots.data(), vKnots.size());
        src.leave();
        problem = tessellateNURBPatch(uOrder, vOrder, rows, columns, points, uKnots, vKnots, mesh);
    }
    if (!problem.empty()) r.bad("cannot be drawn: " + problem);
    SetSlots slots(0, 0);
    readSets(r, slots);
    if (r.head.code == kQ3GeometryTypeNURBCurve) return shape<kQ3GeometryTypeNURBCurve>(std::move(mesh), slots);
    return shape<kQ3GeometryTypeNURBPatch>(std::move(mesh), slots);
}

}  // namespace

bool isGeometry(TQ3ObjectType code) {
    switch (code) {
        case kQ3GeometryTypeTriMesh:
        case kQ3GeometryTypeMesh:
        case kQ3GeometryTypePolygon:
        case kQ3GeometryTypeGeneralPolygon:
        case kQ3GeometryTypeTriangle:
        case kQ3GeometryTypeTriGrid:
        case kQ3GeometryTypePolyLine:
        case kQ3GeometryTypeLine:
        case kQ3GeometryTypePoint:
        case kQ3GeometryTypeMarker:
        case kQ3GeometryTypePixmapMarker:
        case kQ3GeometryTypeBox:
        case kQ3GeometryTypeEllipsoid:
        case kQ3GeometryTypeCylinder:
        case kQ3GeometryTypeCone:
        case kQ3GeometryTypeDisk:
        case kQ3GeometryTypeTorus:
        case kQ3GeometryTypeNURBCurve:
        case kQ3GeometryTypeNURBPatch:
            return true;
        default:
            return false;
    }
}

Ref<Object> readGeometry(Reading& r) {
    switch (r.head.code) {
        case kQ3GeometryTypeTriMesh:
            return readTriMesh(r);
        case kQ3GeometryTypeMesh:
            return readMesh(r);
        case kQ3GeometryTypePolygon:
        case kQ3GeometryTypeGeneralPolygon:
        case kQ3GeometryTypeTriangle:
            return readPolygonal(r);
        case kQ3GeometryTypePolyLine:
            return readPolyLine(r);
        case kQ3GeometryTypePoint:
        case kQ3GeometryTypeMarker:
        case kQ3GeometryTypePixmapMarker:
            return readPointLike(r);
        case kQ3GeometryTypeLine:
            return readLine(r);
        case kQ3GeometryTypeTriGrid:
            return readTriGrid(r);
        case kQ3GeometryTypeBox:
            return readBox(r);
        case kQ3GeometryTypeNURBCurve:
        case kQ3GeometryTypeNURBPatch:
            return readNURB(r);
        default:
            return readRound(r);
    }
}

}  // namespace q3d::io
