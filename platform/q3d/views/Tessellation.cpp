#include "platform/q3d/views/Tessellation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/q3d/core/DoubleMath.h"
namespace q3d::views {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// The three vectors of an ellipsoid or cone as the rows of M, with what the
// normals need: the cofactor matrix C (the gradient of a surface given in
// M's coordinates s is s·C / det M) and the sign of det M.
struct Frame {
    D3 major, minor, orientation;
    D3 cof[3];
    double sign = 1;

    Frame(const TQ3Vector3D& majorRadius, const TQ3Vector3D& minorRadius, const TQ3Vector3D& axis)
        : major(d3(majorRadius)), minor(d3(minorRadius)), orientation(d3(axis)) {
        cof[0] = cross(minor, orientation);
        cof[1] = cross(orientation, major);
        cof[2] = cross(major, minor);
        // A singular frame has no inside; keep the right-handed order.
        sign = dot(major, cof[0]) < 0 ? -1.0 : 1.0;
    }
    // s·M: a direction given in the frame's coordinates.
    D3 map(double a, double b, double c) const { return major * a + minor * b + orientation * c; }
    // The outward normal of a surface whose gradient in the frame's
    // coordinates is g.
    D3 normal(double a, double b, double c) const { return (cof[0] * a + cof[1] * b + cof[2] * c) * sign; }
    // The normal of the u = 0..1 circle's plane, on the +orientation side.
    D3 up() const { return cof[2] * sign; }
    D3 radial(double theta) const { return major * std::cos(theta) + minor * std::sin(theta); }
    D3 tangent(double theta) const { return major * -std::sin(theta) + minor * std::cos(theta); }
};

uint32_t stepsOver(uint32_t whole, const ParamRange& range) {
    const double share = std::ceil(double(std::clamp<uint32_t>(whole, 1, kMaxSteps)) * (range.hi - range.lo) - 1e-9);
    return uint32_t(std::clamp(share, 1.0, double(kMaxSteps)));
}

double at(const ParamRange& range, uint32_t i, uint32_t steps) {
    return range.lo + (range.hi - range.lo) * double(i) / double(steps);
}

uint32_t addVertex(Mesh& mesh, const D3& p, const D3& n, double u, double v, const TQ3ColorRGB& color) {
    mesh.points.push_back(point(p));
    mesh.normals.push_back(vector(n));
    mesh.uvs.push_back({float(u), float(v)});
    mesh.colors.push_back(color);
    return uint32_t(mesh.points.size() - 1);
}

D3 pointOf(const Mesh& mesh, uint32_t i) { return d3(mesh.points[i]); }

// A triangle whose corners run counter-clockwise seen from the side
// `outward` points to.
void addFacing(Mesh& mesh, uint32_t a, uint32_t b, uint32_t c, const D3& outward) {
    const D3 pa = pointOf(mesh, a);
    if (dot(cross(pointOf(mesh, b) - pa, pointOf(mesh, c) - pa), outward) < 0) std::swap(b, c);
    mesh.indices.insert(mesh.indices.end(), {a, b, c});
}

// Triangles over a (rows + 1) × (columns + 1) block of vertices starting at
// `first`, laid out row after row, whose rows advance along the surface and
// columns around it. With a right-handed frame, (u, v), (u + du, v),
// (u + du, v + dv) run counter-clockwise seen from outside.
void addSheet(Mesh& mesh, uint32_t first, uint32_t rows, uint32_t columns, double sign) {
    const uint32_t stride = columns + 1;
    for (uint32_t i = 0; i < rows; ++i) {
        for (uint32_t j = 0; j < columns; ++j) {
            const uint32_t a = first + i * stride + j, b = a + 1, c = a + stride + 1, d = a + stride;
            if (sign > 0) {
                mesh.indices.insert(mesh.indices.end(), {a, b, c, a, c, d});
            } else {
                mesh.indices.insert(mesh.indices.end(), {a, c, b, a, d, c});
            }
        }
    }
}

// A fan closing a ring of `count` vertices starting at `ring` (spaced one
// `stride` apart) around `centre`, facing `outward`.
void addCap(Mesh& mesh, const D3& centre, const D3& outward, uint32_t ring, uint32_t count, uint32_t stride,
            const TQ3ColorRGB& color) {
    const uint32_t c = addVertex(mesh, centre, outward, 0.5, 0.5, color);
    uint32_t previous = 0;
    for (uint32_t k = 0; k < count; ++k) {
        const D3 p = pointOf(mesh, ring + k * stride);
        // Planar UVs: the rim vertex's angle around the centre, as a disc.
        const double angle = kTwoPi * double(k) / double(std::max<uint32_t>(count - 1, 1));
        const uint32_t v = addVertex(mesh, p, outward, 0.5 + 0.5 * std::cos(angle), 0.5 + 0.5 * std::sin(angle), color);
        if (k > 0) addFacing(mesh, c, previous, v, outward);
        previous = v;
    }
}

// A wall from the axis points to the rim points of one u cut: `rows` + 1
// pairs, facing `outward`.
void addWall(Mesh& mesh, const std::vector<D3>& axis, const std::vector<D3>& rim, const D3& planeNormal,
             const D3& outward, const TQ3ColorRGB& color) {
    const D3 n = dot(planeNormal, outward) < 0 ? planeNormal * -1.0 : planeNormal;
    const uint32_t first = uint32_t(mesh.points.size());
    const uint32_t pairs = uint32_t(axis.size());
    for (uint32_t i = 0; i < pairs; ++i) {
        const double v = pairs > 1 ? double(i) / double(pairs - 1) : 0.0;
        addVertex(mesh, axis[i], n, 0, v, color);
        addVertex(mesh, rim[i], n, 1, v, color);
    }
    for (uint32_t i = 0; i + 1 < pairs; ++i) {
        const uint32_t a = first + 2 * i, b = a + 1, c = a + 3, d = a + 2;
        addFacing(mesh, a, b, c, n);
        addFacing(mesh, a, c, d, n);
    }
}

}  // namespace

void Mesh::clear() {
    points.clear();
    normals.clear();
    uvs.clear();
    colors.clear();
    indices.clear();
}

ParamRange paramRange(float a, float b) {
    if (!std::isfinite(a) || !std::isfinite(b) || a == b) return {};
    return {std::clamp(double(std::min(a, b)), 0.0, 1.0), std::clamp(double(std::max(a, b)), 0.0, 1.0)};
}

void tessellateBox(const TQ3BoxData& box, const TQ3ColorRGB faceColors[6], Mesh& mesh) {
    mesh.clear();
    const D3 o = d3(box.origin);
    const D3 u = d3(box.minorAxis), v = d3(box.orientation), w = d3(box.majorAxis);
    const D3 centre = o + (u + v + w) * 0.5;
    // Each pair of faces: the edge vector it lies across and the two that
    // span it; the face through the origin first.
    const D3 across[3] = {u, v, w};
    const D3 spanA[3] = {v, u, u};
    const D3 spanB[3] = {w, w, v};
    for (int face = 0; face < 6; ++face) {
        const int pair = face / 2;
        const D3 base = face % 2 == 0 ? o : o + across[pair];
        const D3 a = spanA[pair], b = spanB[pair];
        const D3 outward = base + (a + b) * 0.5 - centre;
        D3 n = cross(a, b);
        if (dot(n, outward) < 0) n = n * -1.0;
        const TQ3ColorRGB& color = faceColors[face];
        const uint32_t first = addVertex(mesh, base, n, 0, 0, color);
        addVertex(mesh, base + a, n, 1, 0, color);
        addVertex(mesh, base + a + b, n, 1, 1, color);
        addVertex(mesh, base + b, n, 0, 1, color);
        addFacing(mesh, first, first + 1, first + 2, n);
        addFacing(mesh, first, first + 2, first + 3, n);
    }
}

void tessellateEllipsoid(const TQ3EllipsoidData& e, Steps steps, const TQ3ColorRGB& surfaceColor,
                         const TQ3ColorRGB& capColor, Mesh& mesh) {
    mesh.clear();
    const ParamRange ur = paramRange(e.uMin, e.uMax), vr = paramRange(e.vMin, e.vMax);
    if (ur.empty() || vr.empty()) return;
    const Frame f(e.majorRadius, e.minorRadius, e.orientation);
    const D3 o = d3(e.origin);
    const uint32_t columns = stepsOver(steps.around, ur);
    const uint32_t rows = stepsOver(std::max<uint32_t>(steps.along, 2), vr);
    for (uint32_t i = 0; i <= rows; ++i) {
        const double v = at(vr, i, rows), phi = std::numbers::pi * v;
        const double sinPhi = std::sin(phi), cosPhi = std::cos(phi);
        for (uint32_t j = 0; j <= columns; ++j) {
            const double u = at(ur, j, columns), theta = kTwoPi * u;
            const double a = std::cos(theta) * sinPhi, b = std::sin(theta) * sinPhi, c = -cosPhi;
            addVertex(mesh, o + f.map(a, b, c), f.normal(a, b, c), u, v, surfaceColor);
        }
    }
    addSheet(mesh, 0, rows, columns, f.sign);

    const uint32_t stride = columns + 1;
    if ((e.caps & kQ3EndCapMaskBottom) != 0 && vr.lo > 0) {
        addCap(mesh, o + f.orientation * -std::cos(std::numbers::pi * vr.lo), f.up() * -1.0, 0, stride, 1, capColor);
    }
    if ((e.caps & kQ3EndCapMaskTop) != 0 && vr.hi < 1) {
        addCap(mesh, o + f.orientation * -std::cos(std::numbers::pi * vr.hi), f.up(), rows * stride, stride, 1,
               capColor);
    }
    if ((e.caps & kQ3EndCapMaskInterior) != 0 && !ur.whole()) {
        for (int cut = 0; cut < 2; ++cut) {
            const double theta = kTwoPi * (cut == 0 ? ur.lo : ur.hi);
            std::vector<D3> axis, rim;
            for (uint32_t i = 0; i <= rows; ++i) {
                const double phi = std::numbers::pi * at(vr, i, rows);
                axis.push_back(o + f.orientation * -std::cos(phi));
                rim.push_back(o + f.radial(theta) * std::sin(phi) + f.orientation * -std::cos(phi));
            }
            // The solid lies on the side of increasing u from the first cut
            // and of decreasing u from the second.
            const D3 outward = f.tangent(theta) * (cut == 0 ? -1.0 : 1.0);
            addWall(mesh, axis, rim, cross(f.radial(theta), f.orientation), outward, capColor);
        }
    }
}

void tessellateCone(const TQ3ConeData& cone, Steps steps, const TQ3ColorRGB& sideColor, const TQ3ColorRGB& baseColor,
                    const TQ3ColorRGB& capColor, Mesh& mesh) {
    mesh.clear();
    const ParamRange ur = paramRange(cone.uMin, cone.uMax), vr = paramRange(cone.vMin, cone.vMax);
    if (ur.empty() || vr.empty()) return;
    const Frame f(cone.majorRadius, cone.minorRadius, cone.orientation);
    const D3 o = d3(cone.origin);
    const uint32_t columns = stepsOver(steps.around, ur);
    const uint32_t rows = stepsOver(std::max<uint32_t>(steps.along, 1), vr);
    for (uint32_t i = 0; i <= rows; ++i) {
        const double v = at(vr, i, rows);
        for (uint32_t j = 0; j <= columns; ++j) {
            const double u = at(ur, j, columns), theta = kTwoPi * u;
            const double cosT = std::cos(theta), sinT = std::sin(theta);
            // The apex repeats once per column, each copy with the normal of
            // its own line of the side, so the side shades smoothly up to it.
            addVertex(mesh, o + f.map((1 - v) * cosT, (1 - v) * sinT, v), f.normal(cosT, sinT, 1), u, v, sideColor);
        }
    }
    addSheet(mesh, 0, rows, columns, f.sign);

    const uint32_t stride = columns + 1;
    if ((cone.caps & kQ3EndCapMaskBottom) != 0) {
        addCap(mesh, o + f.orientation * vr.lo, f.up() * -1.0, 0, stride, 1, baseColor);
    }
    if ((cone.caps & kQ3EndCapMaskTop) != 0 && vr.hi < 1) {
        addCap(mesh, o + f.orientation * vr.hi, f.up(), rows * stride, stride, 1, capColor);
    }
    if ((cone.caps & kQ3EndCapMaskInterior) != 0 && !ur.whole()) {
        for (int cut = 0; cut < 2; ++cut) {
            const double theta = kTwoPi * (cut == 0 ? ur.lo : ur.hi);
            std::vector<D3> axis, rim;
            for (uint32_t i = 0; i <= rows; ++i) {
                const double v = at(vr, i, rows);
                axis.push_back(o + f.orientation * v);
                rim.push_back(o + f.radial(theta) * (1 - v) + f.orientation * v);
            }
            const D3 outward = f.tangent(theta) * (cut == 0 ? -1.0 : 1.0);
            addWall(mesh, axis, rim, cross(f.radial(theta), f.orientation), outward, capColor);
        }
    }
}

}  // namespace q3d::views
