#include "platform/q3d/raster/Clipper.h"

#include <algorithm>
#include <utility>

namespace q3d::raster::detail {

namespace {

void lerp(const ClipVertex& from, const ClipVertex& to, float t, int attributeCount, ClipVertex& out) {
    for (int i = 0; i < 4; ++i) {
        out.c[i] = from.c[i] + t * (to.c[i] - from.c[i]);
    }
    for (int i = 0; i < attributeCount; ++i) {
        out.a[i] = from.a[i] + t * (to.a[i] - from.a[i]);
    }
}

}  // namespace

float planeDistance(const float c[4], int plane, const float guard[4]) {
    switch (plane) {
        case 0: return c[0] - guard[0] * c[3];
        case 1: return guard[1] * c[3] - c[0];
        case 2: return c[1] - guard[2] * c[3];
        case 3: return guard[3] * c[3] - c[1];
        case 4: return c[2];
        default: return c[3] - c[2];
    }
}

int clipPolygon(ClipVertex* poly, int count, uint8_t planes, const float guard[4], int attributeCount,
                ClipVertex* scratch) {
    ClipVertex* in = poly;
    ClipVertex* out = scratch;
    for (int plane = 0; plane < 6 && count > 0; ++plane) {
        if (!(planes & (1 << plane))) {
            continue;
        }
        float distance[kMaxClipVertices];
        bool allInside = true;
        for (int i = 0; i < count; ++i) {
            distance[i] = planeDistance(in[i].c, plane, guard);
            allInside = allInside && distance[i] >= 0.0f;
        }
        if (allInside) {
            continue;
        }
        int produced = 0;
        for (int i = 0; i < count && produced + 2 <= kMaxClipVertices; ++i) {
            int j = (i + 1) % count;
            float di = distance[i];
            float dj = distance[j];
            bool insideI = di >= 0.0f;
            bool insideJ = dj >= 0.0f;
            if (insideI) {
                out[produced++] = in[i];
            }
            if (insideI != insideJ) {
                if (insideI) {
                    lerp(in[i], in[j], di / (di - dj), attributeCount, out[produced++]);
                } else {
                    lerp(in[j], in[i], dj / (dj - di), attributeCount, out[produced++]);
                }
            }
        }
        count = produced;
        std::swap(in, out);
    }
    if (in != poly) {
        std::copy(in, in + count, poly);
    }
    return count;
}

bool clipSegment(ClipVertex& a, ClipVertex& b, uint8_t planes, const float guard[4], int attributeCount) {
    float t0 = 0.0f;
    float t1 = 1.0f;
    for (int plane = 0; plane < 6; ++plane) {
        if (!(planes & (1 << plane))) {
            continue;
        }
        float da = planeDistance(a.c, plane, guard);
        float db = planeDistance(b.c, plane, guard);
        if (da < 0.0f && db < 0.0f) {
            return false;
        }
        if (da < 0.0f) {
            t0 = std::max(t0, da / (da - db));
        } else if (db < 0.0f) {
            t1 = std::min(t1, da / (da - db));
        }
        if (!(t0 <= t1)) {
            return false;
        }
    }
    ClipVertex start = a;
    ClipVertex end = b;
    if (t0 > 0.0f) {
        lerp(a, b, t0, attributeCount, start);
    }
    if (t1 < 1.0f) {
        lerp(a, b, t1, attributeCount, end);
    }
    a = start;
    b = end;
    return true;
}

}  // namespace q3d::raster::detail
