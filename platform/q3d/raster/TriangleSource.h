// Where a draw's triangles come from: a triangle grid or an index list.
// Internal to the renderer.
//
// A source hands out triangles in submission order as (key, corner indices).
// Keys are below kKeyLimit (2^30) and unique within the draw; facets (per-triangle data)
// are stored at their key. Work is split into units (grid quad rows, list
// triangles) so that the front end can take contiguous ranges.
#pragma once

#include <cstddef>
#include <cstdint>

namespace q3d::raster::detail {

// Key of a grid triangle: (index of the quad's corner (r, c)) × 2 + half.
struct GridSource {
    uint32_t rows;
    uint32_t columns;

    uint32_t unitCount() const { return rows - 1; }
    size_t keyLimit() const { return size_t(rows) * columns * 2; }

    void corners(uint32_t key, uint32_t index[3]) const {
        uint32_t v = key >> 1;
        if ((key & 1) == 0) {
            index[0] = v;
            index[1] = v + 1;
            index[2] = v + columns;
        } else {
            index[0] = v + 1;
            index[1] = v + columns + 1;
            index[2] = v + columns;
        }
    }

    template <class Fn>
    void forEach(uint32_t unitBegin, uint32_t unitEnd, Fn&& fn) const {
        for (uint32_t r = unitBegin; r < unitEnd; ++r) {
            uint32_t v = r * columns;
            uint32_t rowEnd = v + columns - 1;
            for (; v < rowEnd; ++v) {
                fn(v << 1, v, v + 1, v + columns);
                fn((v << 1) | 1, v + 1, v + columns + 1, v + columns);
            }
        }
    }
};

// Key of a list triangle: its position in the list.
struct ListSource {
    const uint32_t* indices;
    uint32_t triangleCount;
    uint32_t vertexCount;

    uint32_t unitCount() const { return triangleCount; }
    size_t keyLimit() const { return triangleCount; }

    void corners(uint32_t key, uint32_t index[3]) const {
        const uint32_t* t = indices + size_t(key) * 3;
        index[0] = t[0];
        index[1] = t[1];
        index[2] = t[2];
    }

    template <class Fn>
    void forEach(uint32_t unitBegin, uint32_t unitEnd, Fn&& fn) const {
        for (uint32_t key = unitBegin; key < unitEnd; ++key) {
            const uint32_t* t = indices + size_t(key) * 3;
            if (t[0] < vertexCount && t[1] < vertexCount && t[2] < vertexCount) {
                fn(key, t[0], t[1], t[2]);
            }
        }
    }
};

}  // namespace q3d::raster::detail
