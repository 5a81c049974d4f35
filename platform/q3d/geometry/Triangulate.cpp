#include "platform/q3d/geometry/Triangulate.h"

#include <algorithm>
#include <cmath>

namespace q3d {
namespace {

struct P2 {
    double x, y;
};

double cross(const P2& o, const P2& a, const P2& b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

bool inTriangle(const P2& p, const P2& a, const P2& b, const P2& c) {
    return cross(a, b, p) >= 0 && cross(b, c, p) >= 0 && cross(c, a, p) >= 0;
}

bool segmentsCross(const P2& a, const P2& b, const P2& c, const P2& d) {
    const double d1 = cross(c, d, a), d2 = cross(c, d, b), d3 = cross(a, b, c), d4 = cross(a, b, d);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

void fan(std::span<const std::uint32_t> ring, std::vector<std::uint32_t>& triangles) {
    for (std::size_t i = 1; i + 1 < ring.size(); ++i) triangles.insert(triangles.end(), {ring[0], ring[i], ring[i + 1]});
}

}  // namespace

void triangulatePolygon(std::span<const TQ3Point3D> points, std::span<const std::vector<std::uint32_t>> contours,
                        std::vector<std::uint32_t>& triangles, std::uint64_t& budget) {
    if (contours.empty() || contours[0].size() < 3) return;
    std::size_t total = 0;
    for (const auto& c : contours) total += c.size();
    auto spend = [&](std::uint64_t steps) {
        budget = budget > steps ? budget - steps : 0;
        return budget > 0;
    };
    if (total > kMaxClippedPoints || !spend(total * total)) {
        fan(contours[0], triangles);
        return;
    }
    // Newell's normal of the outline picks the projection plane.
    double n[3] = {0, 0, 0};
    const auto& outline = contours[0];
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const TQ3Point3D& a = points[outline[i]];
        const TQ3Point3D& b = points[outline[(i + 1) % outline.size()]];
        n[0] += double(a.y - b.y) * (a.z + b.z);
        n[1] += double(a.z - b.z) * (a.x + b.x);
        n[2] += double(a.x - b.x) * (a.y + b.y);
    }
    const int drop = std::fabs(n[0]) >= std::fabs(n[1]) && std::fabs(n[0]) >= std::fabs(n[2]) ? 0
                     : std::fabs(n[1]) >= std::fabs(n[2])                                     ? 1
                                                                                              : 2;
    // Projected so that the outline runs counter-clockwise in 2D.
    const bool flip = n[drop] < 0;
    auto project = [&](std::uint32_t index) {
        const TQ3Point3D& p = points[index];
        P2 q = drop == 0 ? P2{p.y, p.z} : drop == 1 ? P2{p.z, p.x} : P2{p.x, p.y};
        if (flip) q.x = -q.x;
        return q;
    };

    std::vector<std::uint32_t> ring(outline.begin(), outline.end());
    // Bridge each hole to the ring: from the hole's corner of largest x to
    // the nearest ring corner whose segment crosses no edge.
    for (std::size_t h = 1; h < contours.size(); ++h) {
        const auto& hole = contours[h];
        if (hole.size() < 3) continue;
        std::size_t from = 0;
        for (std::size_t i = 1; i < hole.size(); ++i) {
            if (project(hole[i]).x > project(hole[from]).x) from = i;
        }
        const P2 a = project(hole[from]);
        std::size_t best = ring.size();
        double bestDistance = 0;
        for (std::size_t j = 0; j < ring.size(); ++j) {
            const P2 b = project(ring[j]);
            const double distance = (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
            if (best != ring.size() && distance >= bestDistance) continue;
            bool clear = true;
            for (std::size_t k = 0; k < ring.size() && clear; ++k) {
                clear = !segmentsCross(a, b, project(ring[k]), project(ring[(k + 1) % ring.size()]));
            }
            for (std::size_t k = 0; k < hole.size() && clear; ++k) {
                clear = !segmentsCross(a, b, project(hole[k]), project(hole[(k + 1) % hole.size()]));
            }
            if (clear) best = j, bestDistance = distance;
        }
        if (best == ring.size()) best = 0;
        if (!spend(ring.size() * (ring.size() + hole.size()))) break;
        std::vector<std::uint32_t> merged(ring.begin(), ring.begin() + std::ptrdiff_t(best) + 1);
        for (std::size_t i = 0; i <= hole.size(); ++i) merged.push_back(hole[(from + i) % hole.size()]);
        merged.insert(merged.end(), ring.begin() + std::ptrdiff_t(best), ring.end());
        ring.swap(merged);
    }

    std::vector<P2> at;
    at.reserve(ring.size());
    for (std::uint32_t index : ring) at.push_back(project(index));
    std::vector<std::size_t> live(ring.size());
    for (std::size_t i = 0; i < live.size(); ++i) live[i] = i;
    std::size_t misses = 0, i = 0;
    while (live.size() > 3) {
        if (misses > live.size() || !spend(live.size())) break;  // no ear left (or no time): the rest is fanned
        const std::size_t count = live.size();
        const std::size_t ia = live[(i + count - 1) % count], ib = live[i % count], ic = live[(i + 1) % count];
        bool ear = cross(at[ia], at[ib], at[ic]) > 0;
        for (std::size_t k = 0; k < count && ear; ++k) {
            const std::size_t q = live[k];
            if (q == ia || q == ib || q == ic) continue;
            if (ring[q] == ring[ia] || ring[q] == ring[ib] || ring[q] == ring[ic]) continue;  // bridge twins
            ear = !inTriangle(at[q], at[ia], at[ib], at[ic]);
        }
        if (ear) {
            triangles.insert(triangles.end(), {ring[ia], ring[ib], ring[ic]});
            live.erase(live.begin() + std::ptrdiff_t(i % count));
            misses = 0;
            if (i >= live.size()) i = 0;
        } else {
            ++misses;
            i = (i + 1) % count;
        }
    }
    std::vector<std::uint32_t> rest;
    for (std::size_t q : live) rest.push_back(ring[q]);
    fan(rest, triangles);
}

}  // namespace q3d
