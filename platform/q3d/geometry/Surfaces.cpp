#include "platform/q3d/geometry/Surfaces.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/core/DoubleMath.h"

namespace q3d {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr std::uint32_t kAround = 32, kAlong = 8;

struct Range {
    double lo = 0, hi = 1;
};
Range rangeOf(float a, float b) {
    if (!std::isfinite(a) || !std::isfinite(b) || a == b) return {};
    return {std::clamp<double>(std::min(a, b), 0, 1), std::clamp<double>(std::max(a, b), 0, 1)};
}

std::uint32_t addPoint(ShapeMesh& mesh, const D3& p, const D3& n, double u, double v) {
    mesh.points.push_back({float(p.x), float(p.y), float(p.z)});
    mesh.normals.push_back({float(n.x), float(n.y), float(n.z)});
    mesh.uvs.push_back({float(u), float(v)});
    return std::uint32_t(mesh.points.size() - 1);
}

// A (nu + 1) × (nv + 1) sheet of P(u, v) with normals from the partial
// derivatives, turned to face away from `inside(u, v)`.
void addSheet(ShapeMesh& mesh, Range ur, Range vr, std::uint32_t nu, std::uint32_t nv,
              const std::function<D3(double, double)>& at, const std::function<D3(double, double)>& inside) {
    const std::uint32_t first = std::uint32_t(mesh.points.size());
    const double h = 1e-4;
    bool flip = false;
    for (std::uint32_t j = 0; j <= nv; ++j) {
        const double v = vr.lo + (vr.hi - vr.lo) * j / nv;
        for (std::uint32_t i = 0; i <= nu; ++i) {
            const double u = ur.lo + (ur.hi - ur.lo) * i / nu;
            const D3 p = at(u, v);
            D3 n = cross(at(u + h, v) - at(u - h, v), at(u, v + h) - at(u, v - h));
            if (i == nu / 2 && j == nv / 2) flip = dot(n, p - inside(u, v)) < 0;
            addPoint(mesh, p, n, u, v);
        }
    }
    for (std::uint32_t k = first; k < mesh.points.size(); ++k) {
        if (flip) mesh.normals[k] = {-mesh.normals[k].x, -mesh.normals[k].y, -mesh.normals[k].z};
    }
    for (std::uint32_t j = 0; j < nv; ++j) {
        for (std::uint32_t i = 0; i < nu; ++i) {
            const std::uint32_t a = first + j * (nu + 1) + i, b = a + 1, c = a + nu + 1, d = c + 1;
            if (flip) {
                mesh.triangles.insert(mesh.triangles.end(), {a, c, b, b, c, d});
            } else {
                mesh.triangles.insert(mesh.triangles.end(), {a, b, c, b, d, c});
            }
        }
    }
}

// A fan from `centre` over the points of `rim`, facing `outward`.
void addCap(ShapeMesh& mesh, const D3& centre, const std::vector<D3>& rim, const D3& outward) {
    const std::uint32_t c = addPoint(mesh, centre, outward, 0.5, 0.5);
    const std::uint32_t first = std::uint32_t(mesh.points.size());
    for (const D3& p : rim) addPoint(mesh, p, outward, 0, 0);
    for (std::uint32_t i = 0; i + 1 < rim.size(); ++i) {
        const D3 n = cross(rim[i] - centre, rim[i + 1] - centre);
        if (dot(n, outward) >= 0) {
            mesh.triangles.insert(mesh.triangles.end(), {c, first + i, first + i + 1});
        } else {
            mesh.triangles.insert(mesh.triangles.end(), {c, first + i + 1, first + i});
        }
    }
}

// Index of the knot span holding t, for a curve of n points and order k.
std::size_t span(std::span<const float> knots, std::size_t n, std::size_t k, double t) {
    std::size_t s = k - 1;
    while (s + 1 < n && t >= knots[s + 1]) ++s;
    return s;
}

// De Boor's evaluation of the homogeneous point at t from `point(i)`.
template <class Point>
std::array<double, 4> deBoor(std::span<const float> knots, std::size_t n, std::size_t k, double t, Point point) {
    const std::size_t s = span(knots, n, k, t);
    std::array<std::array<double, 4>, kMaxNURBOrder> d{};
    for (std::size_t j = 0; j < k; ++j) d[j] = point(s + 1 - k + j);
    for (std::size_t r = 1; r < k; ++r) {
        for (std::size_t j = k - 1; j >= r; --j) {
            const std::size_t i = s + 1 - k + j;
            const double lo = knots[i], hi = knots[i + k - r];
            const double a = hi > lo ? (t - lo) / (hi - lo) : 0;
            for (int c = 0; c < 4; ++c) d[j][c] = (1 - a) * d[j - 1][c] + a * d[j][c];
        }
    }
    return d[k - 1];
}

std::string checkKnots(std::span<const float> knots, std::size_t n, std::size_t k, const char* what) {
    if (k < 2 || k > kMaxNURBOrder) return std::string("its ") + what + " order is not between 2 and 16";
    if (n < k) return std::string("it has fewer points than its ") + what + " order";
    for (std::size_t i = 0; i < knots.size(); ++i) {
        if (!std::isfinite(knots[i])) return std::string("a ") + what + " knot is not a number";
        if (i > 0 && knots[i] < knots[i - 1]) return std::string("its ") + what + " knots decrease";
    }
    if (!(knots[n] > knots[k - 1])) return std::string("its ") + what + " knots leave nothing to draw";
    return {};
}

}  // namespace

void tessellateCylinder(const SurfaceFrame& f, TQ3Uns32 caps, ShapeMesh& mesh, const PartColors* colors) {
    const D3 o = d3(f.origin), a = d3(f.majorRadius), b = d3(f.minorRadius), h = d3(f.orientation);
    const Range ur = rangeOf(f.uMin, f.uMax), vr = rangeOf(f.vMin, f.vMax);
    auto ring = [&](double u) { return a * std::cos(kTwoPi * u) + b * std::sin(kTwoPi * u); };
    auto at = [&](double u, double v) { return o + ring(u) + h * v; };
    addSheet(mesh, ur, vr, kAround, kAlong, at, [&](double, double v) { return o + h * v; });
    if (colors != nullptr) mesh.colors.assign(mesh.points.size(), colors->side);
    for (const bool top : {false, true}) {
        if ((caps & (top ? kQ3EndCapMaskTop : kQ3EndCapMaskBottom)) == 0) continue;
        const double v = top ? vr.hi : vr.lo;
        std::vector<D3> rim;
        for (std::uint32_t i = 0; i <= kAround; ++i) rim.push_back(at(ur.lo + (ur.hi - ur.lo) * i / kAround, v));
        addCap(mesh, o + h * v, rim, top ? h : h * -1.0);
        if (colors != nullptr) {
            const TQ3ColorRGB* part = top ? colors->top : colors->bottom;
            mesh.colors.resize(mesh.points.size(), part != nullptr ? *part : colors->side);
        }
    }
}

void tessellateDisk(const SurfaceFrame& f, ShapeMesh& mesh) {
    const D3 o = d3(f.origin), a = d3(f.majorRadius), b = d3(f.minorRadius);
    const Range ur = rangeOf(f.uMin, f.uMax), vr = rangeOf(f.vMin, f.vMax);
    const D3 up = cross(a, b);
    const std::uint32_t first = std::uint32_t(mesh.points.size());
    for (std::uint32_t j = 0; j <= kAlong; ++j) {
        const double v = vr.lo + (vr.hi - vr.lo) * j / kAlong;
        for (std::uint32_t i = 0; i <= kAround; ++i) {
            const double u = ur.lo + (ur.hi - ur.lo) * i / kAround;
            addPoint(mesh, o + (a * std::cos(kTwoPi * u) + b * std::sin(kTwoPi * u)) * v, up, u, v);
        }
    }
    for (std::uint32_t j = 0; j < kAlong; ++j) {
        for (std::uint32_t i = 0; i < kAround; ++i) {
            const std::uint32_t p = first + j * (kAround + 1) + i, q = p + 1, r = p + kAround + 1, s = r + 1;
            mesh.triangles.insert(mesh.triangles.end(), {p, q, r, q, s, r});
        }
    }
}

void tessellateTorus(const SurfaceFrame& f, float ratio, ShapeMesh& mesh) {
    const D3 o = d3(f.origin), a = d3(f.majorRadius), b = d3(f.minorRadius), h = d3(f.orientation);
    const Range ur = rangeOf(f.uMin, f.uMax), vr = rangeOf(f.vMin, f.vMax);
    const double tube = length(h);
    auto centre = [&](double u) { return o + a * std::cos(kTwoPi * u) + b * std::sin(kTwoPi * u); };
    auto at = [&](double u, double v) {
        const D3 c = centre(u), out = c - o;
        const double l = length(out);
        const D3 radial = l > 0 ? out * (double(ratio) * tube / l) : D3{};
        return c + radial * std::cos(kTwoPi * v) + h * std::sin(kTwoPi * v);
    };
    addSheet(mesh, ur, vr, kAround, kAround / 2, at, [&](double u, double) { return centre(u); });
}

std::string tessellateNURBCurve(TQ3Uns32 order, std::span<const float> points4, std::span<const float> knots,
                                ShapeMesh& mesh) {
    const std::size_t n = points4.size() / 4;
    if (std::string problem = checkKnots(knots, n, order, "curve"); !problem.empty()) return problem;
    const std::size_t samples = std::min<std::size_t>(256, 8 * (n - order + 1) + 1);
    const double t0 = knots[order - 1], t1 = knots[n];
    const std::uint32_t first = std::uint32_t(mesh.points.size());
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = t0 + (t1 - t0) * double(i) / double(samples - 1);
        const auto p = deBoor(knots, n, order, t, [&](std::size_t j) {
            return std::array<double, 4>{points4[4 * j], points4[4 * j + 1], points4[4 * j + 2], points4[4 * j + 3]};
        });
        const double w = p[3] != 0 ? p[3] : 1;
        mesh.points.push_back({float(p[0] / w), float(p[1] / w), float(p[2] / w)});
        if (i > 0) mesh.lines.insert(mesh.lines.end(), {first + std::uint32_t(i) - 1, first + std::uint32_t(i)});
    }
    return {};
}

std::string tessellateNURBPatch(TQ3Uns32 uOrder, TQ3Uns32 vOrder, TQ3Uns32 rows, TQ3Uns32 columns,
                                std::span<const float> points4, std::span<const float> uKnots,
                                std::span<const float> vKnots, ShapeMesh& mesh) {
    if (std::string problem = checkKnots(uKnots, columns, uOrder, "u"); !problem.empty()) return problem;
    if (std::string problem = checkKnots(vKnots, rows, vOrder, "v"); !problem.empty()) return problem;
    const std::size_t nu = std::min<std::size_t>(64, 4 * (columns - uOrder + 1)),
                      nv = std::min<std::size_t>(64, 4 * (rows - vOrder + 1));
    const double u0 = uKnots[uOrder - 1], u1 = uKnots[columns], v0 = vKnots[vOrder - 1], v1 = vKnots[rows];
    auto at = [&](double u, double v) {
        u = std::clamp(u0 + (u1 - u0) * u, u0, u1);
        v = std::clamp(v0 + (v1 - v0) * v, v0, v1);
        const auto p = deBoor(vKnots, rows, vOrder, v, [&](std::size_t r) {
            return deBoor(uKnots, columns, uOrder, u, [&](std::size_t c) {
                const float* q = &points4[4 * (std::size_t(r) * columns + c)];
                return std::array<double, 4>{q[0], q[1], q[2], q[3]};
            });
        });
        const double w = p[3] != 0 ? p[3] : 1;
        return D3{p[0] / w, p[1] / w, p[2] / w};
    };
    // The patch is open: its normals follow the order of its points.
    addSheet(mesh, {}, {}, std::uint32_t(nu), std::uint32_t(nv), at, [&](double u, double v) {
        return at(u, v) - cross(at(u + 1e-4, v) - at(u - 1e-4, v), at(u, v + 1e-4) - at(u, v - 1e-4));
    });
    return {};
}

}  // namespace q3d
