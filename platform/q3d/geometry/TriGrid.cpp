#include "platform/q3d/geometry/TriGrid.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/q3d/core/Boundary.h"
#include "platform/q3d/core/LentArrays.h"

namespace q3d {
namespace {

TQ3AttributeSet handleOfSet(AttributeSet* set) {
    return reinterpret_cast<TQ3AttributeSet>(static_cast<Object*>(set));
}

// Vertex arrays at least this big are written around the caches (below).
constexpr std::size_t kStreamBytes = std::size_t{16} << 20;

// Writes a vertex of an array lent to a caller. A big array is far larger
// than the caches and the caller reads it next from memory anyway, so
// streaming stores skip reading each line in just to overwrite it; a small
// one is better left in the cache for the caller.
inline void storeVertex(TQ3Vertex3D& vertex, const TQ3Point3D& point, TQ3AttributeSet set, bool stream) {
#if defined(__x86_64__)
    if (!stream) {
        vertex.point = point;
        vertex.attributeSet = set;
        return;
    }
    long long xy;
    long long z = 0;
    std::memcpy(&xy, &point.x, sizeof xy);
    std::memcpy(&z, &point.z, sizeof point.z);
    auto* words = reinterpret_cast<long long*>(&vertex);
    static_assert(sizeof(TQ3Vertex3D) == 24 && offsetof(TQ3Vertex3D, attributeSet) == 16);
    _mm_stream_si64(words, xy);
    _mm_stream_si64(words + 1, z);
    _mm_stream_si64(words + 2, reinterpret_cast<long long>(set));
#else
    (void)stream;
    vertex.point = point;
    vertex.attributeSet = set;
#endif
}

// Orders the streaming stores before anything else the caller does.
inline void finishStores() {
#if defined(__x86_64__)
    _mm_sfence();
#endif
}

// Copies `bytes` (whole 4-byte words) into a grid's own array. A refill of a
// big grid rewrites the whole array and nothing reads it again before the
// frame is drawn, so streaming stores skip reading each line in just to
// overwrite it.
void copyIntoGrid(void* to, const void* from, std::size_t bytes, bool stream) {
#if defined(__x86_64__)
    if (stream) {
        auto* out = static_cast<unsigned char*>(to);
        const auto* in = static_cast<const unsigned char*>(from);
        const std::size_t head =
            std::min(bytes, (16 - reinterpret_cast<std::uintptr_t>(out) % 16) % 16);
        std::memcpy(out, in, head);
        std::size_t done = head;
        for (; done + 16 <= bytes; done += 16) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + done),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done)));
        }
        std::memcpy(out + done, in + done, bytes - done);
        _mm_sfence();
        return;
    }
#endif
    (void)stream;
    std::memcpy(to, from, bytes);
}

// Zeroes a new grid array, around the caches when it is big (as above).
void zeroGridArray(void* to, std::size_t bytes) {
#if defined(__x86_64__)
    if (bytes >= kStreamBytes) {
        auto* out = static_cast<unsigned char*>(to);
        const std::size_t head = std::min(bytes, (16 - reinterpret_cast<std::uintptr_t>(out) % 16) % 16);
        std::memset(out, 0, head);
        std::size_t done = head;
        const __m128i zero = _mm_setzero_si128();
        for (; done + 16 <= bytes; done += 16) _mm_stream_si128(reinterpret_cast<__m128i*>(out + done), zero);
        std::memset(out + done, 0, bytes - done);
        _mm_sfence();
        return;
    }
#endif
    std::memset(to, 0, bytes);
}

std::size_t facetsOf(std::size_t rows, std::size_t columns) {
    return rows == 0 || columns == 0 ? 0 : 2 * (rows - 1) * (columns - 1);
}

// The vertex count of rows × columns, or 0 with an error posted when the
// grid cannot exist.
std::size_t checkedVertexCount(TQ3Uns32 rows, TQ3Uns32 columns) noexcept {
    if (rows == 0 || columns == 0) {
        postError(kQ3ErrorGeometryInsufficientNumberOfPoints);
        return 0;
    }
    const std::uint64_t count = std::uint64_t{rows} * columns;
    if (count > std::numeric_limits<TQ3Uns32>::max()) {
        postError(kQ3ErrorParameterOutOfRange);
        return 0;
    }
    return static_cast<std::size_t>(count);
}

}  // namespace

TriGrid::~TriGrid() {
    for (AttributeSet* set : vertexSets_) {
        if (set != nullptr) release(*set);
    }
    for (AttributeSet* set : facetSets_) {
        if (set != nullptr) release(*set);
    }
    if (gridSet_ != nullptr) release(*gridSet_);
}

std::size_t TriGrid::facetCount() const { return facetsOf(rows_, columns_); }

bool TriGrid::assign(const TQ3TriGridData& data) {
    if (data.vertices == nullptr) {
        postError(kQ3ErrorNULLParameter);
        return false;
    }
    const std::size_t count = checkedVertexCount(data.numRows, data.numColumns);
    if (count == 0) return false;
    const std::size_t facets = facetsOf(data.numRows, data.numColumns);
    if (!checkSets({&data.triGridAttributeSet, 1})) return false;
    if (data.facetAttributeSet != nullptr && !checkSets({data.facetAttributeSet, facets})) return false;
    const TQ3Vertex3D* vertices = data.vertices;
    const bool sameCount = count == points_.size();
    AttributeSet* const* held = sameCount && !vertexSets_.empty() ? vertexSets_.data() : nullptr;

    // A refill: same size, no facet sets, the grid set and every vertex set
    // handed back as they were. One pass copies the points while it checks
    // that; it leaves at the first vertex whose set differs (with the points
    // of the vertices after it copied) for the general path below. It runs
    // backwards: the caller has just gone through the array front to back,
    // so its end is still in cache (and emptying then starts at the front).
    if (sameCount && data.facetAttributeSet == nullptr && facetSets_.empty() &&
        data.triGridAttributeSet == handleOfSet(gridSet_)) {
        TQ3Point3D* points = points_.data();
        std::size_t i = count;
        if (held != nullptr) {
            for (; i > 0 && vertices[i - 1].attributeSet == handleOfSet(held[i - 1]); --i) {
                points[i - 1] = vertices[i - 1].point;
            }
        } else {
            for (; i > 0 && vertices[i - 1].attributeSet == nullptr; --i) points[i - 1] = vertices[i - 1].point;
        }
        if (i == 0) {
            rows_ = data.numRows;
            columns_ = data.numColumns;
            dropDense();
            return true;
        }
    }

    // Everything that can throw happens before anything changes, and every
    // new reference is taken before any old one is dropped: a set may move
    // from one place to another.
    std::vector<AttributeSet*> newFacets(data.facetAttributeSet != nullptr ? facets : 0);
    LargeArray<TQ3Point3D> newPoints;
    LargeArray<AttributeSet*> newVertexSets;
    LargeArray<AttributeSet*> oldVertexSets;
    if (sameCount) {
        // Check the sets that differ from those held at the same index.
        // Backwards: the caller has just gone through the array front to
        // back, so its end is still in cache, and the copy below then starts
        // where this pass ends.
        std::size_t changed = 0;
        bool anySet = false;
        for (std::size_t i = count; i-- > 0;) {
            const TQ3AttributeSet incoming = vertices[i].attributeSet;
            if (incoming == (held != nullptr ? handleOfSet(held[i]) : nullptr)) {
                anySet |= incoming != nullptr;
                continue;
            }
            ++changed;
            if (incoming != nullptr) {
                if (resolveAs<AttributeSet>(incoming) == nullptr) return false;
                anySet = true;
            }
        }
        if (changed != 0 && anySet) newVertexSets = LargeArray<AttributeSet*>(count);
        TQ3Point3D* points = points_.data();
        if (changed == 0) {
            for (std::size_t i = 0; i < count; ++i) points[i] = vertices[i].point;
        } else {
            AttributeSet** sets = newVertexSets.data();
            for (std::size_t i = 0; i < count; ++i) {
                points[i] = vertices[i].point;
                if (sets == nullptr) continue;
                sets[i] = heldSet(vertices[i].attributeSet);
                if (sets[i] != nullptr) retain(*sets[i]);
            }
            oldVertexSets = std::move(vertexSets_);
            vertexSets_ = std::move(newVertexSets);
        }
    } else {
        // A new grid, or a new size: one pass into new arrays checks each set,
        // takes its reference and copies the point; a refused set undoes the
        // references taken so far.
        newPoints = LargeArray<TQ3Point3D>(count);
        newVertexSets = LargeArray<AttributeSet*>(count);
        TQ3Point3D* points = newPoints.data();
        AttributeSet** sets = newVertexSets.data();
        bool anySet = false;
        for (std::size_t i = 0; i < count; ++i) {
            points[i] = vertices[i].point;
            AttributeSet* set = nullptr;
            if (vertices[i].attributeSet != nullptr) {
                set = resolveAs<AttributeSet>(vertices[i].attributeSet);
                if (set == nullptr) {
                    for (std::size_t k = 0; k < i; ++k) {
                        if (sets[k] != nullptr) release(*sets[k]);
                    }
                    return false;
                }
                retain(*set);
                anySet = true;
            }
            sets[i] = set;
        }
        if (!anySet) newVertexSets = LargeArray<AttributeSet*>();
        oldVertexSets = std::move(vertexSets_);
        vertexSets_ = std::move(newVertexSets);
        points_ = std::move(newPoints);
    }
    for (std::size_t k = 0; k < newFacets.size(); ++k) {
        newFacets[k] = heldSet(data.facetAttributeSet[k]);
        if (newFacets[k] != nullptr) retain(*newFacets[k]);
    }
    AttributeSet* newGridSet = heldSet(data.triGridAttributeSet);
    if (newGridSet != nullptr) retain(*newGridSet);

    for (AttributeSet* set : oldVertexSets) {
        if (set != nullptr) release(*set);
    }
    for (AttributeSet* set : facetSets_) {
        if (set != nullptr) release(*set);
    }
    facetSets_ = std::move(newFacets);
    if (gridSet_ != nullptr) release(*gridSet_);
    gridSet_ = newGridSet;
    rows_ = data.numRows;
    columns_ = data.numColumns;
    // The record names every vertex's set: dense values no longer apply.
    dropDense();
    return true;
}

bool TriGrid::makeBlank(TQ3Uns32 rows, TQ3Uns32 columns, bool normals, bool uvs) {
    const std::size_t count = checkedVertexCount(rows, columns);
    if (count == 0) return false;
    LargeArray<TQ3Point3D> newPoints(count);
    LargeArray<TQ3Vector3D> newNormals(normals ? count : 0);
    LargeArray<TQ3Param2D> newUVs(uvs ? count : 0);
    // Kept blocks come back with stale contents.
    zeroGridArray(newPoints.data(), count * sizeof(TQ3Point3D));
    if (normals) zeroGridArray(newNormals.data(), count * sizeof(TQ3Vector3D));
    if (uvs) zeroGridArray(newUVs.data(), count * sizeof(TQ3Param2D));
    points_ = std::move(newPoints);
    normals_ = std::move(newNormals);
    uvs_ = std::move(newUVs);
    denseTypes_ = (normals ? AttributeSet::bit(kQ3AttributeTypeNormal) : 0u) |
                  (uvs ? AttributeSet::bit(kQ3AttributeTypeSurfaceUV) : 0u);
    rows_ = rows;
    columns_ = columns;
    return true;
}

void TriGrid::dropDense() noexcept {
    denseTypes_ = 0;
    normals_ = LargeArray<TQ3Vector3D>();
    uvs_ = LargeArray<TQ3Param2D>();
}

void TriGrid::makeSets() {
    if (denseTypes_ == 0) return;
    const std::size_t count = points_.size();
    LargeArray<AttributeSet*> sets(count);
    AttributeSet** out = sets.data();
    const bool normals = (denseTypes_ & AttributeSet::bit(kQ3AttributeTypeNormal)) != 0;
    const bool uvs = (denseTypes_ & AttributeSet::bit(kQ3AttributeTypeSurfaceUV)) != 0;
    std::size_t made = 0;
    try {
        for (; made < count; ++made) {
            auto set = std::make_unique<AttributeSet>();
            if (normals) set->setNormal(normals_[made]);
            if (uvs) set->setSurfaceUV(uvs_[made]);
            out[made] = set.get();
            adopt(std::move(set));  // the grid's reference
        }
    } catch (...) {
        for (std::size_t k = 0; k < made; ++k) release(*out[k]);
        throw;
    }
    vertexSets_ = std::move(sets);
    dropDense();
}

bool TriGrid::allHaveSets(TQ3Uns32 first, TQ3Uns32 count) const {
    if (denseTypes_ != 0 || count == 0) return true;
    AttributeSet* const* sets = vertexSets_.empty() ? nullptr : vertexSets_.data() + first;
    for (TQ3Uns32 i = 0; i < count; ++i) {
        if (sets == nullptr || sets[i] == nullptr) {
            postError(kQ3ErrorInvalidParameter);
            return false;
        }
    }
    return true;
}

void TriGrid::copyTo(TQ3TriGridData& out) {
    // A caller that holds a vertex's set changes the grid through it: from
    // here on the values live in the sets.
    makeSets();
    const std::size_t count = points_.size();
    auto* vertices = static_cast<TQ3Vertex3D*>(lendArray(count * sizeof(TQ3Vertex3D)));
    TQ3AttributeSet* facets = nullptr;
    if (!facetSets_.empty()) {
        try {
            facets = static_cast<TQ3AttributeSet*>(lendArray(facetSets_.size() * sizeof(TQ3AttributeSet)));
        } catch (...) {
            giveBackArray(vertices);
            throw;
        }
    }
    const TQ3Point3D* points = points_.data();
    const bool stream = count * sizeof(TQ3Vertex3D) >= kStreamBytes;
    if (vertexSets_.empty()) {
        for (std::size_t i = 0; i < count; ++i) storeVertex(vertices[i], points[i], nullptr, stream);
    } else {
        AttributeSet* const* sets = vertexSets_.data();
        pool::CountCursor cursor;  // the grid's own sets: always live
        for (std::size_t i = 0; i < count; ++i) {
            storeVertex(vertices[i], points[i], handleOfSet(sets[i]), stream);
            if (sets[i] != nullptr) ++*cursor.liveCount(sets[i]);
        }
    }
    if (stream) finishStores();
    for (std::size_t k = 0; k < facetSets_.size(); ++k) {
        facets[k] = handleOfSet(facetSets_[k]);
        if (facetSets_[k] != nullptr) retain(*facetSets_[k]);
    }
    if (gridSet_ != nullptr) retain(*gridSet_);
    out.numRows = rows_;
    out.numColumns = columns_;
    out.vertices = vertices;
    out.facetAttributeSet = facets;
    out.triGridAttributeSet = handleOfSet(gridSet_);
}

bool TriGrid::setVertexRange(TQ3Uns32 first, TQ3Uns32 count, const TQ3Point3D* points,
                             const TQ3Vector3D* normals) {
    if (std::uint64_t{first} + count > points_.size()) {
        postError(kQ3ErrorParameterOutOfRange);
        return false;
    }
    if (count == 0) return true;
    if (normals != nullptr) {
        if (denseTypes_ != 0 && normals_.empty()) makeSets();
        if (!allHaveSets(first, count)) return false;
    }
    const bool stream = points_.size() * sizeof(TQ3Point3D) >= kStreamBytes;
    copyIntoGrid(points_.data() + first, points, std::size_t{count} * sizeof(TQ3Point3D), stream);
    if (normals == nullptr) return true;
    if (denseTypes_ != 0) {
        copyIntoGrid(normals_.data() + first, normals, std::size_t{count} * sizeof(TQ3Vector3D), stream);
    } else {
        AttributeSet* const* sets = vertexSets_.data() + first;
        for (TQ3Uns32 i = 0; i < count; ++i) sets[i]->setNormal(normals[i]);
    }
    return true;
}

bool TriGrid::setVertexUVs(TQ3Uns32 first, TQ3Uns32 count, const TQ3Param2D* uvs) {
    if (std::uint64_t{first} + count > points_.size()) {
        postError(kQ3ErrorParameterOutOfRange);
        return false;
    }
    if (count == 0) return true;
    if (denseTypes_ != 0 && uvs_.empty()) makeSets();
    if (!allHaveSets(first, count)) return false;
    if (denseTypes_ != 0) {
        const bool stream = points_.size() * sizeof(TQ3Point3D) >= kStreamBytes;
        copyIntoGrid(uvs_.data() + first, uvs, std::size_t{count} * sizeof(TQ3Param2D), stream);
    } else {
        AttributeSet* const* sets = vertexSets_.data() + first;
        for (TQ3Uns32 i = 0; i < count; ++i) sets[i]->setSurfaceUV(uvs[i]);
    }
    return true;
}

void TriGrid::vertexArrays(TQ3Point3D*& points, TQ3Vector3D*& normals, TQ3Param2D*& uvs) {
    points = points_.data();
    normals = normals_.empty() ? nullptr : normals_.data();
    uvs = uvs_.empty() ? nullptr : uvs_.data();
}

bool emptyTriGridData(TQ3TriGridData& data) noexcept {
    // The length of each array: its own when the library lent it; for a
    // caller's own array, what the record says, which must describe a grid
    // that can exist.
    const std::uint64_t claimed = std::uint64_t{data.numRows} * data.numColumns;
    const bool claimable = claimed <= std::numeric_limits<TQ3Uns32>::max();
    const auto lengthOf = [&](const void* array, std::size_t elementBytes, std::size_t claimedCount) {
        const std::size_t lent = lentBytes(array);
        return lent != 0 ? lent / elementBytes : claimable ? claimedCount : 0;
    };
    bool allLive = true;
    if ((data.vertices != nullptr && lentBytes(data.vertices) == 0 && !claimable) ||
        (data.facetAttributeSet != nullptr && lentBytes(data.facetAttributeSet) == 0 && !claimable)) {
        postError(kQ3ErrorParameterOutOfRange);
        return false;
    }
    if (data.vertices != nullptr) {
        const std::size_t count = lengthOf(data.vertices, sizeof(TQ3Vertex3D), static_cast<std::size_t>(claimed));
        // Front to back: a refill's set-back has just read the array back to
        // front, leaving its start in cache.
        pool::CountCursor cursor;
        for (std::size_t i = 0; i < count; ++i) {
            const TQ3AttributeSet set = data.vertices[i].attributeSet;
            if (set != nullptr) allLive = disposeQuietly(set, cursor) && allLive;
        }
        giveBackArray(data.vertices);
        data.vertices = nullptr;
    }
    if (data.facetAttributeSet != nullptr) {
        const std::size_t count = lengthOf(data.facetAttributeSet, sizeof(TQ3AttributeSet),
                                           claimable ? facetsOf(data.numRows, data.numColumns) : 0);
        for (std::size_t k = 0; k < count; ++k) {
            const TQ3AttributeSet set = data.facetAttributeSet[k];
            if (set != nullptr) allLive = disposeQuietly(set) && allLive;
        }
        giveBackArray(data.facetAttributeSet);
        data.facetAttributeSet = nullptr;
    }
    if (data.triGridAttributeSet != nullptr) {
        allLive = disposeQuietly(data.triGridAttributeSet) && allLive;
        data.triGridAttributeSet = nullptr;
    }
    if (!allLive) postError(kQ3ErrorInvalidObject);
    return allLive;
}

}  // namespace q3d

using q3d::TriGrid;

TQ3GeometryObject Q3TriGrid_New(const TQ3TriGridData* triGridData) {
    if (!q3d::mayCreate(__func__)) return nullptr;
    if (triGridData == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return nullptr;
    }
    return q3d::guarded<TQ3Object>(nullptr, [&]() -> TQ3Object {
        auto grid = std::make_unique<TriGrid>();
        if (!grid->assign(*triGridData)) return nullptr;
        return q3d::adopt(std::move(grid));
    });
}

TQ3GeometryObject Q3TriGrid_NewBlank(TQ3Uns32 numRows, TQ3Uns32 numColumns, TQ3Boolean vertexNormals,
                                     TQ3Boolean vertexUVs) {
    if (!q3d::mayCreate(__func__)) return nullptr;
    return q3d::guarded<TQ3Object>(nullptr, [&]() -> TQ3Object {
        auto grid = std::make_unique<TriGrid>();
        if (!grid->makeBlank(numRows, numColumns, vertexNormals != kQ3False, vertexUVs != kQ3False)) return nullptr;
        return q3d::adopt(std::move(grid));
    });
}

TQ3Status Q3TriGrid_SetData(TQ3GeometryObject triGrid, const TQ3TriGridData* triGridData) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    TriGrid* grid = q3d::resolveAs<TriGrid>(triGrid);
    if (grid == nullptr) return kQ3Failure;
    if (triGridData == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    return q3d::guarded(kQ3Failure, [&] { return grid->assign(*triGridData) ? kQ3Success : kQ3Failure; });
}

TQ3Status Q3TriGrid_GetData(TQ3GeometryObject triGrid, TQ3TriGridData* triGridData) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    TriGrid* grid = q3d::resolveAs<TriGrid>(triGrid);
    if (grid == nullptr) return kQ3Failure;
    if (triGridData == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    return q3d::guarded(kQ3Failure, [&] {
        grid->copyTo(*triGridData);
        return kQ3Success;
    });
}

TQ3Status Q3TriGrid_SetVertexRange(TQ3GeometryObject triGrid, TQ3Uns32 first, TQ3Uns32 count,
                                   const TQ3Point3D* points, const TQ3Vector3D* normals) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    TriGrid* grid = q3d::resolveAs<TriGrid>(triGrid);
    if (grid == nullptr) return kQ3Failure;
    if (points == nullptr && count != 0) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    return q3d::guarded(kQ3Failure,
                        [&] { return grid->setVertexRange(first, count, points, normals) ? kQ3Success : kQ3Failure; });
}

TQ3Status Q3TriGrid_SetVertexUVs(TQ3GeometryObject triGrid, TQ3Uns32 first, TQ3Uns32 count, const TQ3Param2D* uvs) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    TriGrid* grid = q3d::resolveAs<TriGrid>(triGrid);
    if (grid == nullptr) return kQ3Failure;
    if (uvs == nullptr && count != 0) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    return q3d::guarded(kQ3Failure, [&] { return grid->setVertexUVs(first, count, uvs) ? kQ3Success : kQ3Failure; });
}

TQ3Status Q3TriGrid_GetVertexArrays(TQ3GeometryObject triGrid, TQ3Point3D** points, TQ3Vector3D** normals,
                                    TQ3Param2D** uvs) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    TriGrid* grid = q3d::resolveAs<TriGrid>(triGrid);
    if (grid == nullptr) return kQ3Failure;
    if (points == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    TQ3Vector3D* n = nullptr;
    TQ3Param2D* t = nullptr;
    grid->vertexArrays(*points, n, t);
    if (normals != nullptr) *normals = n;
    if (uvs != nullptr) *uvs = t;
    return kQ3Success;
}

TQ3Status Q3TriGrid_EmptyData(TQ3TriGridData* triGridData) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    if (triGridData == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    return q3d::emptyTriGridData(*triGridData) ? kQ3Success : kQ3Failure;
}
