#include "platform/q3d/raster/Renderer.h"

#include "platform/q3d/core/LargeBuffer.h"
#include "platform/q3d/raster/Clipper.h"
#include "platform/q3d/raster/Gouraud.h"
#include "platform/q3d/raster/GridCells.h"
#include "platform/q3d/raster/Pipeline.h"
#include "platform/q3d/raster/PixelFormat.h"
#include "platform/q3d/raster/Projection.h"
#include "platform/q3d/raster/Raster.h"
#include "platform/q3d/raster/Shading.h"
#include "platform/q3d/raster/TextureSampler.h"
#include "platform/q3d/raster/TexturedPixel.h"
#include "platform/q3d/raster/ThreadPool.h"
#include "platform/q3d/raster/TriangleSource.h"
#include "platform/q3d/raster/VertexStage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <type_traits>
#include <vector>

namespace q3d::raster {

using namespace detail;

namespace {

// A buffer that only grows, left uninitialised: every stage writes what it
// later reads. Its memory comes from LargeBuffer: the per-vertex arrays of a
// full-HD grid are tens of megabytes, which fresh 4 KiB pages would make the
// first frame pay for page by page.
template <class T>
class Scratch {
    static_assert(std::is_trivially_copyable_v<T> && alignof(T) <= 16);

public:
    T* reserve(size_t count) {
        if (count > capacity_) {
            size_t grown = std::max(count, capacity_ + capacity_ / 2);
            if (grown > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
            buffer_ = LargeBuffer(grown * sizeof(T));
            capacity_ = grown;
        }
        return static_cast<T*>(buffer_.data());
    }

private:
    LargeBuffer buffer_;
    size_t capacity_ = 0;
};

// The keys of one tile from one front-end range, in submission order.
class Bin {
public:
    void clear() { size_ = 0; }
    size_t size() const { return size_; }
    const uint32_t* data() const { return data_.get(); }

    void push(uint32_t key) {
        if (size_ == capacity_) {
            grow();
        }
        data_[size_++] = key;
    }

    void push(uint32_t first, uint32_t second, uint32_t third) {
        if (capacity_ - size_ < 3) {
            grow();
        }
        data_[size_] = first;
        data_[size_ + 1] = second;
        data_[size_ + 2] = third;
        size_ += 3;
    }

private:
    void grow() {
        size_t capacity = std::max<size_t>(256, capacity_ * 2);
        std::unique_ptr<uint32_t[]> data(new uint32_t[capacity]);
        if (size_ != 0) {
            std::memcpy(data.get(), data_.get(), size_ * sizeof(uint32_t));
        }
        data_ = std::move(data);
        capacity_ = capacity;
    }

    std::unique_ptr<uint32_t[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

constexpr uint32_t kVertexChunk = 16384;
constexpr size_t kMaxBins = size_t(1) << 18;
// Draws smaller than this run their front end as one range.
constexpr uint32_t kSmallDraw = 4096;
// Untextured triangles whose box holds at most this many pixel centres a
// side go to the bins as finished pixels.
constexpr int32_t kFragmentBox = 2;
// Fixed-point positions beyond this are not trusted (a clipped corner of a
// degenerate camera); well past the guard band.
constexpr int32_t kFixedLimit = 1 << 25;

inline void unpack(uint32_t colour, float rgb[3]) {
    rgb[0] = float((colour >> 16) & 255);
    rgb[1] = float((colour >> 8) & 255);
    rgb[2] = float(colour & 255);
}

inline uint32_t roundByte(float v) {
    if (!(v > 0.0f)) {
        return 0;
    }
    return v >= 254.5f ? 255u : uint32_t(v + 0.5f);
}

// Whether the triangle covers the centre of pixel (x, y) under the
// top-left rule, exactly as the back end decides it. `back`: its screen area
// is positive (clockwise on the screen). On success `weight` holds the edge
// values opposite the corners a, B, C, where (B, C) = back ? (b, c) : (c, b)
// is the order the back end uses.
inline bool centreWeights(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, bool back,
                          int32_t x, int32_t y, int64_t weight[3]) {
    const ScreenVertex* v[3] = {&a, back ? &b : &c, back ? &c : &b};
    const int64_t px = int64_t(x) * kSubPixel + kHalfPixel;
    const int64_t py = int64_t(y) * kSubPixel + kHalfPixel;
    int64_t outside = 0;
    int64_t e[3];
    for (int i = 0; i < 3; ++i) {
        const ScreenVertex& from = *v[i];
        const ScreenVertex& to = *v[(i + 1) % 3];
        const int64_t dx = int64_t(to.x) - from.x;
        const int64_t dy = int64_t(to.y) - from.y;
        const int64_t bias = (dy < 0 || (dy == 0 && dx > 0)) ? 0 : 1;
        e[i] = dx * (py - from.y) - dy * (px - from.x);
        outside |= e[i] - bias;
    }
    // Edge i runs from v[i] to v[i+1] and is opposite v[i+2].
    weight[0] = e[1];
    weight[1] = e[2];
    weight[2] = e[0];
    return outside >= 0;
}

inline void setFactors(const LitFactors& lit, float colour[3], float specular[3]) {
    for (int i = 0; i < 3; ++i) {
        colour[i] = float(lit.factor[i]) * (1.0f / 256.0f);
        specular[i] = float(lit.specular[i]);
    }
}

}  // namespace

// Everything one draw call needs, filled by prepareDraw.
struct DrawSetup {
    VertexInput in;
    VertexOutput out;
    bool facet = false;     // lit per triangle (no vertex normals)
    bool textured = false;
    bool twoSided = false;  // per-vertex back shades exist
    Backfacing backfacing = Backfacing::Remove;
    uint32_t* facetColour = nullptr;     // 3 per key
    LitFactors* facetLit = nullptr;      // 1 per key
    std::optional<TextureSampler> sampler;
};

struct Renderer::Impl {
    explicit Impl(unsigned threads) : pool(threads) {}

    ThreadPool pool;

    // Frame.
    bool inFrame = false;
    bool targetOk = false;
    RasterTarget target;
    Scratch<float> depth;
    int32_t tilesX = 0;
    int32_t tilesY = 0;

    // Camera and lights.
    Camera camera;
    std::vector<Light> lights;
    Shading shading;

    // Per-draw scratch, kept across draws and frames.
    Scratch<ScreenVertex> screen;
    Scratch<uint8_t> outcodes;
    Scratch<uint32_t> colours;
    Scratch<uint32_t> coloursBack;
    Scratch<TexShade> texShades;
    Scratch<LitFactors> texBack;
    Scratch<uint32_t> facetColours;
    Scratch<LitFactors> facetLits;
    std::vector<Bin> bins;  // ranges × tiles
    std::vector<std::vector<ClippedTriangle>> clipped;  // per range
    std::vector<Scratch<int32_t>> cellRows;              // per range, grids only
    std::vector<uint32_t> activeTiles;
    uint32_t rangeCount = 0;

    bool ready() const { return inFrame && targetOk && target.width > 0 && target.height > 0; }
    int32_t tileCount() const { return tilesX * tilesY; }

    bool prepareDraw(const VertexArrays& vertices, const DrawState& state, bool surface, DrawSetup& d);
    void runVertices(const DrawSetup& d, uint32_t count);

    template <class Source>
    void drawSurface(const VertexArrays& vertices, const Source& source, const DrawState& state);
    template <class Source, bool Facet>
    void frontEnd(const DrawSetup& d, const Source& source, uint32_t range, uint32_t unitBegin,
                  uint32_t unitEnd);
    template <class Triangle>
    void frontEndCells(const DrawSetup& d, const GridSource& source, uint32_t range, uint32_t rowBegin,
                       uint32_t rowEnd, Triangle& triangle);
    template <class Source>
    void clipTriangle(const DrawSetup& d, uint32_t range, uint32_t key, const uint32_t index[3],
                      uint8_t orCodes);
    template <class Source>
    void rasterTile(const DrawSetup& d, const Source& source, uint32_t tile);
    template <class Source>
    void drawWire(const DrawSetup& d, const Source& source, Fill fill);

    void shadeFacet(const DrawSetup& d, uint32_t key, const uint32_t index[3], bool back);
    void emitFragment(const DrawSetup& d, Bin* rangeBins, uint32_t key, const uint32_t index[3], bool back,
                      int64_t area, const int64_t weight[3], int32_t x, int32_t y);
    void cornerClip(const DrawSetup& d, const uint32_t index[3], float clip[3][4]) const;
    static bool backFacing(const float clip[3][4], bool& degenerate);
    void cornerColours(const DrawSetup& d, uint32_t key, const uint32_t index[3], bool back,
                       float rgb[3][3]);
    void bin(Bin* rangeBins, uint32_t key, int32_t cx0, int32_t cy0, int32_t cx1, int32_t cy1,
             const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c);
    void drawClippedLine(const DrawSetup& d, const float clipA[4], const float clipB[4], uint8_t planes,
                         const float rgbA[3], const float rgbB[3]);
};

Renderer::Renderer(unsigned threadCount)
    : impl_(std::make_unique<Impl>(std::clamp(threadCount, 1u, kMaxThreads))) {}

Renderer::~Renderer() = default;

unsigned Renderer::threadCount() const { return impl_->pool.threadCount(); }

bool Renderer::beginFrame(const TQ3Pixmap& pixmap, const TQ3ColorARGB* clearColor) {
    Impl& m = *impl_;
    m.inFrame = true;
    m.targetOk = false;
    const bool formatOk = pixmap.pixelSize == 32 &&
                          (pixmap.pixelType == kQ3PixelTypeRGB32 || pixmap.pixelType == kQ3PixelTypeARGB32) &&
                          (pixmap.byteOrder == kQ3EndianLittle || pixmap.byteOrder == kQ3EndianBig) &&
                          pixmap.width <= kMaxTargetSide && pixmap.height <= kMaxTargetSide &&
                          uint64_t(pixmap.rowBytes) >= uint64_t(pixmap.width) * 4;
    const bool empty = pixmap.width == 0 || pixmap.height == 0;
    if (!formatOk || (!empty && pixmap.image == nullptr)) {
        return false;
    }
    m.targetOk = true;
    m.target = RasterTarget{};
    if (empty) {
        return true;
    }
    m.target.pixels = static_cast<uint8_t*>(pixmap.image);
    m.target.rowBytes = pixmap.rowBytes;
    m.target.width = int32_t(pixmap.width);
    m.target.height = int32_t(pixmap.height);
    m.target.swapBytes = needsByteSwap(pixmap.byteOrder);
    m.target.depth = m.depth.reserve(size_t(pixmap.width) * pixmap.height);
    m.tilesX = (m.target.width + kTileSize - 1) >> kTileShift;
    m.tilesY = (m.target.height + kTileSize - 1) >> kTileShift;

    uint32_t word = 0;
    if (clearColor != nullptr) {
        auto channel = [](float v) { return roundByte(v * 255.0f); };
        uint32_t alpha = pixmap.pixelType == kQ3PixelTypeARGB32 ? channel(clearColor->a) : 255u;
        word = (alpha << 24) | (channel(clearColor->r) << 16) | (channel(clearColor->g) << 8) |
               channel(clearColor->b);
        if (m.target.swapBytes) {
            word = __builtin_bswap32(word);
        }
    }
    const int32_t bands = std::min<int32_t>(m.target.height, int32_t(m.pool.threadCount()) * 4);
    const RasterTarget& target = m.target;
    m.pool.run(size_t(bands), [&](size_t band) {
        int32_t y0 = int32_t(int64_t(target.height) * int64_t(band) / bands);
        int32_t y1 = int32_t(int64_t(target.height) * int64_t(band + 1) / bands);
        clearRows(target, y0, y1, clearColor != nullptr ? &word : nullptr);
    });
    return true;
}

void Renderer::endFrame() {
    impl_->inFrame = false;
    impl_->targetOk = false;
}

void Renderer::setCamera(const Camera& camera) { impl_->camera = camera; }

void Renderer::setLights(std::span<const Light> lights) { impl_->lights.assign(lights.begin(), lights.end()); }

bool Renderer::Impl::prepareDraw(const VertexArrays& vertices, const DrawState& state, bool surface,
                                 DrawSetup& d) {
    if (!ready() || vertices.points == nullptr || vertices.count == 0) {
        return false;
    }
    Mat4 worldToClip;
    if (!worldToPixelClip(camera, uint32_t(target.width), uint32_t(target.height), worldToClip)) {
        return false;
    }
    Mat4 localToWorld = toMat4(state.localToWorld);
    if (!isFinite(localToWorld)) {
        return false;
    }
    Mat4 localToClip = multiply(localToWorld, worldToClip);
    if (!isFinite(localToClip)) {
        return false;
    }
    VertexInput& in = d.in;
    in.points = vertices.points;
    in.normals = vertices.normals;
    in.uvs = vertices.uvs;
    in.colors = vertices.colors;
    in.count = vertices.count;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            in.toClip[i][j] = float(localToClip.m[i][j]);
        }
        for (int j = 0; j < 3; ++j) {
            in.toWorld[i][j] = float(localToWorld.m[i][j]);
        }
    }
    double normals[3][3];
    normalMatrix(localToWorld, normals);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            in.normalToWorld[i][j] = float(normals[i][j]);
        }
    }
    in.guard[0] = -kGuardBand;
    in.guard[1] = float(target.width) + kGuardBand;
    in.guard[2] = -kGuardBand;
    in.guard[3] = float(target.height) + kGuardBand;

    shading.prepare(lights, state.material, toMat4(camera.worldToView), camera.kind);
    const bool lit = shading.lit();
    in.shading = &shading;
    in.diffuse = state.material.diffuseColor;
    in.specular = state.material.specularColor;

    d.backfacing = state.backfacing;
    // Surfaces without normals are lit per triangle; lines and points are
    // then left unlit.
    d.facet = surface && lit && vertices.normals == nullptr;
    if (!surface && vertices.normals == nullptr) {
        in.shading = nullptr;
    }
    d.textured = surface && state.fill == Fill::Filled && state.texture != nullptr &&
                 vertices.uvs != nullptr && TextureSampler::accepts(state.texture->pixmap);
    if (d.textured) {
        d.sampler.emplace(*state.texture);
    }
    d.twoSided = surface && lit && !d.facet && state.backfacing == Backfacing::Flip;
    in.textured = d.textured;
    in.twoSided = d.twoSided;
    in.shadeVertices = !d.facet;

    const size_t count = vertices.count;
    d.out.screen = screen.reserve(count);
    d.out.outcode = outcodes.reserve(count);
    if (d.textured) {
        d.out.tex = texShades.reserve(count);
        if (d.twoSided) {
            d.out.texBack = texBack.reserve(count);
        }
    } else {
        d.out.colour = colours.reserve(count);
        if (d.twoSided) {
            d.out.colourBack = coloursBack.reserve(count);
        }
    }
    return true;
}

void Renderer::Impl::runVertices(const DrawSetup& d, uint32_t count) {
    // Chunk boundaries are multiples of 4, so every vertex is computed in
    // the same lane of the same group whatever the thread count.
    size_t chunks = (size_t(count) + kVertexChunk - 1) / kVertexChunk;
    pool.run(chunks, [&](size_t chunk) {
        uint32_t begin = uint32_t(chunk * kVertexChunk);
        uint32_t end = uint32_t(std::min<size_t>(count, (chunk + 1) * kVertexChunk));
        runVertexStage(d.in, d.out, begin, end);
    });
}

void Renderer::Impl::cornerClip(const DrawSetup& d, const uint32_t index[3], float clip[3][4]) const {
    float xyz[12];
    for (int lane = 0; lane < 4; ++lane) {
        std::memcpy(xyz + 3 * lane, &d.in.points[index[std::min(lane, 2)]], 3 * sizeof(float));
    }
    simd::F c[4];
    clipGroup(d.in, xyz, c);
    alignas(16) float lanes[4][4];
    for (int j = 0; j < 4; ++j) {
        _mm_store_ps(lanes[j], c[j]);
    }
    for (int corner = 0; corner < 3; ++corner) {
        for (int j = 0; j < 4; ++j) {
            clip[corner][j] = lanes[j][corner];
        }
    }
}

// Facing of a triangle from its clip-space corners: the sign of the
// determinant of their (x, y, w) is the sign of the screen area whenever
// all w > 0, and stays the facing of the visible part when some corners lie
// behind the eye.
bool Renderer::Impl::backFacing(const float c[3][4], bool& degenerate) {
    double det = double(c[0][0]) * (double(c[1][1]) * c[2][3] - double(c[1][3]) * c[2][1]) -
                 double(c[0][1]) * (double(c[1][0]) * c[2][3] - double(c[1][3]) * c[2][0]) +
                 double(c[0][3]) * (double(c[1][0]) * c[2][1] - double(c[1][1]) * c[2][0]);
    degenerate = !(det != 0.0) || !std::isfinite(det);
    return det > 0.0;
}

void Renderer::Impl::shadeFacet(const DrawSetup& d, uint32_t key, const uint32_t index[3], bool back) {
    const auto& m = d.in.toWorld;
    double p[3][3];
    for (int corner = 0; corner < 3; ++corner) {
        const TQ3Point3D& q = d.in.points[index[corner]];
        for (int j = 0; j < 3; ++j) {
            p[corner][j] = double(q.x) * m[0][j] + double(q.y) * m[1][j] + double(q.z) * m[2][j] + m[3][j];
        }
    }
    double e1[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
    double e2[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
    double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    double scale = length > 1e-300 && std::isfinite(length) ? 1.0 / length : 0.0;
    if (back && d.backfacing == Backfacing::Flip) {
        scale = -scale;
    }
    simd::F P[3];
    simd::F N[3];
    for (int j = 0; j < 3; ++j) {
        P[j] = simd::set1(float((p[0][j] + p[1][j] + p[2][j]) / 3.0));
        N[j] = simd::set1(float(n[j] * scale));
    }
    simd::F Cd[3];
    if (d.in.colors != nullptr) {
        const TQ3ColorRGB* c = d.in.colors;
        Cd[0] = _mm_setr_ps(c[index[0]].r, c[index[1]].r, c[index[2]].r, c[index[2]].r);
        Cd[1] = _mm_setr_ps(c[index[0]].g, c[index[1]].g, c[index[2]].g, c[index[2]].g);
        Cd[2] = _mm_setr_ps(c[index[0]].b, c[index[1]].b, c[index[2]].b, c[index[2]].b);
    } else {
        Cd[0] = simd::set1(d.in.diffuse.r);
        Cd[1] = simd::set1(d.in.diffuse.g);
        Cd[2] = simd::set1(d.in.diffuse.b);
    }
    uint32_t colour[4];
    LitFactors lit[4];
    shadeGroup(d.in, P, N, Cd, colour, lit);
    if (d.textured) {
        d.facetLit[key] = lit[0];
    } else {
        std::memcpy(d.facetColour + size_t(key) * 3, colour, 3 * sizeof(uint32_t));
    }
}

// Shades the one pixel an untextured triangle covers, with the arithmetic
// of the back end (Gouraud.h) and its corner order, and bins it.
void Renderer::Impl::emitFragment(const DrawSetup& d, Bin* rangeBins, uint32_t key, const uint32_t index[3], bool back,
                                  int64_t area, const int64_t weight[3], int32_t x, int32_t y) {
    uint32_t colour[3];
    if (d.facet) {
        std::memcpy(colour, d.facetColour + size_t(key) * 3, sizeof colour);
    } else {
        const uint32_t* source = back && d.twoSided ? d.out.colourBack : d.out.colour;
        for (int i = 0; i < 3; ++i) {
            colour[i] = source[index[i]];
        }
    }
    // The corner order a, B, C of centreWeights.
    const int order[3] = {0, back ? 1 : 2, back ? 2 : 1};
    GouraudCorners g;
    for (int i = 0; i < 3; ++i) {
        g.z[i] = d.out.screen[index[order[i]]].z;
        g.colour[i] = unpackColour(colour[order[i]]);
    }
    g.invArea = 1.0f / static_cast<float>(area < 0 ? -area : area);
    const GouraudWeights f(g, weight[0], weight[1], weight[2]);
    const float z = gouraudDepth(g, f);
    uint32_t depthBits;
    std::memcpy(&depthBits, &z, 4);
    const uint32_t place = uint32_t((y & (kTileSize - 1)) * kTileSize + (x & (kTileSize - 1)));
    rangeBins[(y >> kTileShift) * tilesX + (x >> kTileShift)].push(kFragmentKey | place, depthBits,
                                                                    gouraudColour(g, f));
}

void Renderer::Impl::bin(Bin* rangeBins, uint32_t key, int32_t cx0, int32_t cy0, int32_t cx1, int32_t cy1,
                         const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c) {
    const int32_t tx0 = cx0 >> kTileShift;
    const int32_t tx1 = cx1 >> kTileShift;
    const int32_t ty0 = cy0 >> kTileShift;
    const int32_t ty1 = cy1 >> kTileShift;
    if (tx0 == tx1 && ty0 == ty1) {
        rangeBins[ty0 * tilesX + tx0].push(key);
        return;
    }
    const bool test = (tx1 - tx0 + 1) * (ty1 - ty0 + 1) > 4;
    // Edges oriented so that the inside is where they are >= 0.
    const ScreenVertex* v[3] = {&a, &b, &c};
    int64_t area = (int64_t(b.x) - a.x) * (int64_t(c.y) - a.y) - (int64_t(c.x) - a.x) * (int64_t(b.y) - a.y);
    if (area < 0) {
        std::swap(v[1], v[2]);
    }
    for (int32_t ty = ty0; ty <= ty1; ++ty) {
        for (int32_t tx = tx0; tx <= tx1; ++tx) {
            if (test) {
                // Skip the tile when all its pixel centres are outside one edge.
                int64_t left = int64_t(tx) * kTileSize * kSubPixel + kHalfPixel;
                int64_t topRow = int64_t(ty) * kTileSize * kSubPixel + kHalfPixel;
                int64_t right = left + int64_t(kTileSize - 1) * kSubPixel;
                int64_t bottom = topRow + int64_t(kTileSize - 1) * kSubPixel;
                bool outside = false;
                for (int e = 0; e < 3 && !outside; ++e) {
                    const ScreenVertex& from = *v[e];
                    const ScreenVertex& to = *v[(e + 1) % 3];
                    int64_t dx = int64_t(to.x) - from.x;
                    int64_t dy = int64_t(to.y) - from.y;
                    // E(p) = dx (py − fy) − dy (px − fx) is largest at the
                    // corner picked by the signs of its slopes.
                    int64_t px = dy <= 0 ? right : left;
                    int64_t py = dx >= 0 ? bottom : topRow;
                    outside = dx * (py - from.y) - dy * (px - from.x) < 0;
                }
                if (outside) {
                    continue;
                }
            }
            rangeBins[ty * tilesX + tx].push(key);
        }
    }
}

template <class Source, bool Facet>
void Renderer::Impl::frontEnd(const DrawSetup& d, const Source& source, uint32_t range, uint32_t unitBegin,
                              uint32_t unitEnd) {
    Bin* rangeBins = bins.data() + size_t(range) * size_t(tileCount());
    const ScreenVertex* sv = d.out.screen;
    const uint8_t* oc = d.out.outcode;
    const int32_t lastX = target.width - 1;
    const int32_t lastY = target.height - 1;
    const bool remove = d.backfacing == Backfacing::Remove;
    auto triangle = [&](uint32_t key, uint32_t i0, uint32_t i1, uint32_t i2) {
        const uint8_t orCodes = oc[i0] | oc[i1] | oc[i2];
        if (orCodes != 0) [[unlikely]] {
            if (!(orCodes & kOutInvalid) && !(oc[i0] & oc[i1] & oc[i2] & kOutPlanes)) {
                const uint32_t index[3] = {i0, i1, i2};
                clipTriangle<Source>(d, range, key, index, orCodes);
            }
            return;
        }
        const ScreenVertex& a = sv[i0];
        const ScreenVertex& b = sv[i1];
        const ScreenVertex& c = sv[i2];
        const int32_t minX = std::min(a.x, std::min(b.x, c.x));
        const int32_t maxX = std::max(a.x, std::max(b.x, c.x));
        const int32_t minY = std::min(a.y, std::min(b.y, c.y));
        const int32_t maxY = std::max(a.y, std::max(b.y, c.y));
        // Pixel centres within the bounding box, on the target.
        const int32_t cx0 = std::max((minX + kHalfPixel - 1) >> kSubPixelBits, 0);
        const int32_t cx1 = std::min((maxX - kHalfPixel) >> kSubPixelBits, lastX);
        const int32_t cy0 = std::max((minY + kHalfPixel - 1) >> kSubPixelBits, 0);
        const int32_t cy1 = std::min((maxY - kHalfPixel) >> kSubPixelBits, lastY);
        if (cx0 > cx1 || cy0 > cy1) {
            return;
        }
        const int64_t area =
            (int64_t(b.x) - a.x) * (int64_t(c.y) - a.y) - (int64_t(c.x) - a.x) * (int64_t(b.y) - a.y);
        if (area == 0) {
            return;
        }
        // Counter-clockwise as the eye sees it is clockwise with y down.
        const bool back = area > 0;
        if (back && remove) {
            return;
        }
        const uint32_t index[3] = {i0, i1, i2};
        // Most triangles of a dense mesh have one pixel centre in their box:
        // test it here rather than bin a triangle that covers nothing, and
        // bin a covered one as its finished pixel.
        if (cx0 == cx1 && cy0 == cy1) {
            int64_t weight[3];
            if (!centreWeights(a, b, c, back, cx0, cy0, weight)) {
                return;
            }
            if constexpr (Facet) {
                shadeFacet(d, key, index, back);
            }
            if (!d.textured) {
                emitFragment(d, rangeBins, key, index, back, area, weight, cx0, cy0);
                return;
            }
        } else {
            if constexpr (Facet) {
                shadeFacet(d, key, index, back);
            }
            // So are the few pixels of a triangle with a handful of centres
            // in its box: each is what the back end would make of it (the
            // edge values are exact integers however they are reached), at
            // the triangle's place in the order.
            if (!d.textured && cx1 - cx0 < kFragmentBox && cy1 - cy0 < kFragmentBox) {
                for (int32_t y = cy0; y <= cy1; ++y) {
                    for (int32_t x = cx0; x <= cx1; ++x) {
                        int64_t weight[3];
                        if (centreWeights(a, b, c, back, x, y, weight)) {
                            emitFragment(d, rangeBins, key, index, back, area, weight, x, y);
                        }
                    }
                }
                return;
            }
        }
        bin(rangeBins, key, cx0, cy0, cx1, cy1, a, b, c);
    };
    if constexpr (std::is_same_v<Source, GridSource> && !Facet) {
        if (cellsAvailable()) {
            frontEndCells(d, source, range, unitBegin, unitEnd, triangle);
            return;
        }
    }
    source.forEach(unitBegin, unitEnd, triangle);
}

template <class Triangle>
void Renderer::Impl::frontEndCells(const DrawSetup& d, const GridSource& source, uint32_t range, uint32_t rowBegin,
                                   uint32_t rowEnd, Triangle& triangle) {
    Bin* rangeBins = bins.data() + size_t(range) * size_t(tileCount());
    const uint32_t columns = source.columns;
    const ScreenVertex* sv = d.out.screen;
    const uint8_t* oc = d.out.outcode;
    // Two vertex rows of positions and depths by column, refilled as the
    // rows advance.
    int32_t* rowX[2];
    int32_t* rowY[2];
    float* rowZ[2];
    {
        int32_t* buffer = cellRows[range].reserve(size_t(columns) * 6);
        for (int k = 0; k < 2; ++k) {
            rowX[k] = buffer + size_t(columns) * (3 * k);
            rowY[k] = buffer + size_t(columns) * (3 * k + 1);
            rowZ[k] = reinterpret_cast<float*>(buffer + size_t(columns) * (3 * k + 2));
        }
    }
    auto loadRow = [&](uint32_t r, int k) {
        const ScreenVertex* row = sv + size_t(r) * columns;
        for (uint32_t c = 0; c < columns; ++c) {
            rowX[k][c] = row[c].x;
            rowY[k][c] = row[c].y;
            rowZ[k][c] = row[c].z;
        }
    };
    const bool shade = !d.textured;
    const CellTarget cellTarget{target.width - 1, target.height - 1, tilesX, d.backfacing == Backfacing::Remove,
                                shade};
    const TexShade* tex = d.out.tex;
    CellBatch batch;
    int top = 0;
    if (rowBegin < rowEnd) {
        loadRow(rowBegin, top);
    }
    for (uint32_t r = rowBegin; r < rowEnd; ++r) {
        loadRow(r + 1, top ^ 1);
        const uint32_t first = r * columns;
        const uint32_t* front = shade ? d.out.colour : nullptr;
        const uint32_t* reverse = shade && d.twoSided ? d.out.colourBack : nullptr;
        const CellRows rows{rowX[top],
                            rowY[top],
                            rowZ[top],
                            oc + first,
                            front != nullptr ? front + first : nullptr,
                            reverse != nullptr ? reverse + first : nullptr,
                            rowX[top ^ 1],
                            rowY[top ^ 1],
                            rowZ[top ^ 1],
                            oc + first + columns,
                            front != nullptr ? front + first + columns : nullptr,
                            reverse != nullptr ? reverse + first + columns : nullptr};
        uint32_t c = 0;
        for (; c + CellBatch::kCells < columns; c += CellBatch::kCells) {
            classifyCells(rows, c, cellTarget, batch);
            for (uint32_t todo = batch.generic | batch.covered; todo != 0; todo &= todo - 1) {
                const int k = __builtin_ctz(todo);
                const int half = k & 1;
                const int cell = k >> 1;
                if (batch.generic & (1u << k)) {
                    const uint32_t key = ((first + c + uint32_t(cell)) << 1) | uint32_t(half);
                    uint32_t index[3];
                    source.corners(key, index);
                    triangle(key, index[0], index[1], index[2]);
                    continue;
                }
                uint32_t centres = uint32_t(batch.centres[half][cell]);
                if (shade) {
                    for (; centres != 0; centres &= centres - 1) {
                        const int j = __builtin_ctz(centres);
                        rangeBins[batch.tile[half][j][cell]].push(
                            batch.entry[half][j][cell], batch.depth[half][j][cell], batch.colour[half][j][cell]);
                    }
                    continue;
                }
                // Textured: the pixel as the back end's triangle loop would
                // make it, from the corners in its order.
                const uint32_t key = ((first + c + uint32_t(cell)) << 1) | uint32_t(half);
                uint32_t index[3];
                source.corners(key, index);
                const bool back = (batch.back >> k) & 1;
                TriangleSetup t;
                for (int corner = 0; corner < 3; ++corner) {
                    const uint32_t i = index[corner];
                    t.z[corner] = sv[i].z;
                    t.invW[corner] = sv[i].invW;
                    t.u[corner] = tex[i].u;
                    t.v[corner] = tex[i].v;
                    setFactors(back && d.twoSided ? d.out.texBack[i] : tex[i].lit, t.colour[corner],
                               t.specular[corner]);
                }
                const int order[3] = {0, back ? 1 : 2, back ? 2 : 1};
                const TexturedCorners corners = texturedCorners(t, order);
                for (; centres != 0; centres &= centres - 1) {
                    const int j = __builtin_ctz(centres);
                    const uint32_t colour =
                        texturedColour(corners, batch.weight[half][j][0][cell], batch.weight[half][j][1][cell],
                                       batch.weight[half][j][2][cell], *d.sampler);
                    rangeBins[batch.tile[half][j][cell]].push(batch.entry[half][j][cell], batch.depth[half][j][cell],
                                                              colour);
                }
            }
        }
        for (; c + 1 < columns; ++c) {
            const uint32_t v = first + c;
            triangle(v << 1, v, v + 1, v + columns);
            triangle((v << 1) | 1, v + 1, v + columns + 1, v + columns);
        }
        top ^= 1;
    }
}

template <class Source>
void Renderer::Impl::clipTriangle(const DrawSetup& d, uint32_t range, uint32_t key, const uint32_t index[3],
                                  uint8_t orCodes) {
    float c[3][4];
    cornerClip(d, index, c);
    bool degenerate = false;
    const bool back = backFacing(c, degenerate);
    if (degenerate || (back && d.backfacing == Backfacing::Remove)) {
        return;
    }
    if (d.facet) {
        shadeFacet(d, key, index, back);
    }
    ClipVertex poly[kMaxClipVertices];
    ClipVertex scratch[kMaxClipVertices];
    const int attributes = d.textured ? 8 : 3;
    const bool useBack = back && d.twoSided;
    for (int corner = 0; corner < 3; ++corner) {
        ClipVertex& v = poly[corner];
        std::memcpy(v.c, c[corner], sizeof v.c);
        std::fill(std::begin(v.a), std::end(v.a), 0.0f);
        const uint32_t i = index[corner];
        if (d.textured) {
            const TexShade& t = d.out.tex[i];
            const LitFactors& lit = d.facet ? d.facetLit[key] : (useBack ? d.out.texBack[i] : t.lit);
            v.a[0] = t.u;
            v.a[1] = t.v;
            for (int k = 0; k < 3; ++k) {
                v.a[2 + k] = float(lit.factor[k]);
                v.a[5 + k] = float(lit.specular[k]);
            }
        } else {
            uint32_t colour = d.facet ? d.facetColour[size_t(key) * 3 + corner]
                                      : (useBack ? d.out.colourBack[i] : d.out.colour[i]);
            unpack(colour, v.a);
        }
    }
    const int count = clipPolygon(poly, 3, orCodes & kOutPlanes, d.in.guard, attributes, scratch);
    if (count < 3) {
        return;
    }
    ScreenVertex projected[kMaxClipVertices];
    for (int first = 0; first < count; first += 4) {
        alignas(16) float lanes[4][4];
        for (int j = 0; j < 4; ++j) {
            for (int lane = 0; lane < 4; ++lane) {
                lanes[j][lane] = poly[std::min(first + lane, count - 1)].c[j];
            }
        }
        simd::F clip[4];
        for (int j = 0; j < 4; ++j) {
            clip[j] = _mm_load_ps(lanes[j]);
        }
        ScreenVertex group[4];
        uint8_t codes[4];
        projectGroup(clip, d.in.guard, group, codes);
        for (int lane = 0; lane < 4 && first + lane < count; ++lane) {
            const ScreenVertex& s = group[lane];
            if (codes[lane] & kOutInvalid || !(s.invW > 0.0f) || s.x < -kFixedLimit || s.x > kFixedLimit ||
                s.y < -kFixedLimit || s.y > kFixedLimit) {
                return;
            }
            projected[first + lane] = s;
        }
    }
    Bin* rangeBins = bins.data() + size_t(range) * size_t(tileCount());
    std::vector<ClippedTriangle>& list = clipped[range];
    for (int k = 1; k + 1 < count; ++k) {
        const int corners[3] = {0, k, k + 1};
        const ScreenVertex& a = projected[0];
        const ScreenVertex& b = projected[k];
        const ScreenVertex& cc = projected[k + 1];
        const int32_t minX = std::min(a.x, std::min(b.x, cc.x));
        const int32_t maxX = std::max(a.x, std::max(b.x, cc.x));
        const int32_t minY = std::min(a.y, std::min(b.y, cc.y));
        const int32_t maxY = std::max(a.y, std::max(b.y, cc.y));
        const int32_t cx0 = std::max((minX + kHalfPixel - 1) >> kSubPixelBits, 0);
        const int32_t cx1 = std::min((maxX - kHalfPixel) >> kSubPixelBits, target.width - 1);
        const int32_t cy0 = std::max((minY + kHalfPixel - 1) >> kSubPixelBits, 0);
        const int32_t cy1 = std::min((maxY - kHalfPixel) >> kSubPixelBits, target.height - 1);
        if (cx0 > cx1 || cy0 > cy1) {
            continue;
        }
        const int64_t area =
            (int64_t(b.x) - a.x) * (int64_t(cc.y) - a.y) - (int64_t(cc.x) - a.x) * (int64_t(b.y) - a.y);
        if (area == 0 || list.size() >= kKeyLimit) {
            continue;
        }
        ClippedTriangle t;
        for (int corner = 0; corner < 3; ++corner) {
            const ClipVertex& v = poly[corners[corner]];
            t.v[corner] = projected[corners[corner]];
            if (d.textured) {
                TexShade& s = t.tex[corner];
                s.u = v.a[0];
                s.v = v.a[1];
                for (int i = 0; i < 3; ++i) {
                    float f = std::clamp(v.a[2 + i] + 0.5f, 0.0f, 65535.0f);
                    s.lit.factor[i] = uint16_t(f);
                    s.lit.specular[i] = uint8_t(roundByte(v.a[5 + i]));
                }
                s.lit.pad = 0;
                t.colour[corner] = 0;
            } else {
                t.colour[corner] = packColour(roundByte(v.a[0]), roundByte(v.a[1]), roundByte(v.a[2]));
            }
        }
        const uint32_t clippedKey = kClippedKey | uint32_t(list.size());
        list.push_back(t);
        bin(rangeBins, clippedKey, cx0, cy0, cx1, cy1, a, b, cc);
    }
}

template <class Source>
void Renderer::Impl::rasterTile(const DrawSetup& d, const Source& source, uint32_t tile) {
    const int32_t tx = int32_t(tile) % tilesX;
    const int32_t ty = int32_t(tile) / tilesX;
    const TileRect rect{tx * kTileSize, ty * kTileSize, std::min((tx + 1) * kTileSize, target.width),
                        std::min((ty + 1) * kTileSize, target.height)};
    const ScreenVertex* screenVertices = d.out.screen;
    for (uint32_t range = 0; range < rangeCount; ++range) {
        const Bin& keys = bins[size_t(range) * size_t(tileCount()) + tile];
        const uint32_t* data = keys.data();
        const std::vector<ClippedTriangle>& list = clipped[range];
        if (!d.textured) {
            for (size_t n = 0; n < keys.size(); ++n) {
                const uint32_t key = data[n];
                if ((key & kEntryKind) == kFragmentKey) {
                    float z;
                    std::memcpy(&z, &data[n + 1], 4);
                    rasterFragment(target, rect.x0 + int32_t(key & (kTileSize - 1)),
                                   rect.y0 + int32_t((key >> kTileShift) & (kTileSize - 1)), z, data[n + 2]);
                    n += 2;
                    continue;
                }
                if (key & kClippedKey) {
                    const ClippedTriangle& c = list[key & ~kEntryKind];
                    rasterGouraud(target, rect, c.v[0], c.v[1], c.v[2], c.colour[0], c.colour[1], c.colour[2]);
                    continue;
                }
                uint32_t index[3];
                source.corners(key, index);
                const ScreenVertex& a = screenVertices[index[0]];
                const ScreenVertex& b = screenVertices[index[1]];
                const ScreenVertex& c = screenVertices[index[2]];
                if (d.facet) {
                    const uint32_t* colour = d.facetColour + size_t(key) * 3;
                    rasterGouraud(target, rect, a, b, c, colour[0], colour[1], colour[2]);
                    continue;
                }
                const uint32_t* colour = d.out.colour;
                if (d.twoSided &&
                    (int64_t(b.x) - a.x) * (int64_t(c.y) - a.y) - (int64_t(c.x) - a.x) * (int64_t(b.y) - a.y) > 0) {
                    colour = d.out.colourBack;
                }
                rasterGouraud(target, rect, a, b, c, colour[index[0]], colour[index[1]], colour[index[2]]);
            }
            continue;
        }
        TriangleSetup t;
        for (size_t n = 0; n < keys.size(); ++n) {
            const uint32_t key = data[n];
            if ((key & kEntryKind) == kFragmentKey) {
                float z;
                std::memcpy(&z, &data[n + 1], 4);
                rasterFragment(target, rect.x0 + int32_t(key & (kTileSize - 1)),
                               rect.y0 + int32_t((key >> kTileShift) & (kTileSize - 1)), z, data[n + 2]);
                n += 2;
                continue;
            }
            if (key & kClippedKey) {
                const ClippedTriangle& c = list[key & ~kEntryKind];
                for (int corner = 0; corner < 3; ++corner) {
                    t.x[corner] = c.v[corner].x;
                    t.y[corner] = c.v[corner].y;
                    t.z[corner] = c.v[corner].z;
                    t.invW[corner] = c.v[corner].invW;
                    t.u[corner] = c.tex[corner].u;
                    t.v[corner] = c.tex[corner].v;
                    setFactors(c.tex[corner].lit, t.colour[corner], t.specular[corner]);
                }
                rasterTexturedTriangle(target, rect, t, *d.sampler);
                continue;
            }
            uint32_t index[3];
            source.corners(key, index);
            for (int corner = 0; corner < 3; ++corner) {
                const ScreenVertex& s = screenVertices[index[corner]];
                t.x[corner] = s.x;
                t.y[corner] = s.y;
                t.z[corner] = s.z;
                t.invW[corner] = s.invW;
            }
            const bool back = d.twoSided && (int64_t(t.x[1]) - t.x[0]) * (int64_t(t.y[2]) - t.y[0]) -
                                                    (int64_t(t.x[2]) - t.x[0]) * (int64_t(t.y[1]) - t.y[0]) >
                                                0;
            for (int corner = 0; corner < 3; ++corner) {
                const uint32_t i = index[corner];
                const TexShade& s = d.out.tex[i];
                t.u[corner] = s.u;
                t.v[corner] = s.v;
                const LitFactors& lit = d.facet ? d.facetLit[key] : (back ? d.out.texBack[i] : s.lit);
                setFactors(lit, t.colour[corner], t.specular[corner]);
            }
            rasterTexturedTriangle(target, rect, t, *d.sampler);
        }
    }
}

void Renderer::Impl::cornerColours(const DrawSetup& d, uint32_t key, const uint32_t index[3], bool back,
                                   float rgb[3][3]) {
    if (d.facet) {
        shadeFacet(d, key, index, back);
    }
    for (int corner = 0; corner < 3; ++corner) {
        const uint32_t i = index[corner];
        uint32_t colour = d.facet ? d.facetColour[size_t(key) * 3 + corner]
                                  : (back && d.twoSided ? d.out.colourBack[i] : d.out.colour[i]);
        unpack(colour, rgb[corner]);
    }
}

void Renderer::Impl::drawClippedLine(const DrawSetup& d, const float clipA[4], const float clipB[4],
                                     uint8_t planes, const float rgbA[3], const float rgbB[3]) {
    ClipVertex a;
    ClipVertex b;
    std::memcpy(a.c, clipA, sizeof a.c);
    std::memcpy(b.c, clipB, sizeof b.c);
    std::memcpy(a.a, rgbA, 3 * sizeof(float));
    std::memcpy(b.a, rgbB, 3 * sizeof(float));
    if (!clipSegment(a, b, planes & kOutPlanes, d.in.guard, 3)) {
        return;
    }
    if (!(a.c[3] > 0.0f) || !(b.c[3] > 0.0f)) {
        return;
    }
    LinePoint pa{a.c[0] / a.c[3], a.c[1] / a.c[3], a.c[2] / a.c[3], {a.a[0], a.a[1], a.a[2]}};
    LinePoint pb{b.c[0] / b.c[3], b.c[1] / b.c[3], b.c[2] / b.c[3], {b.a[0], b.a[1], b.a[2]}};
    rasterLine(target, pa, pb);
}

template <class Source>
void Renderer::Impl::drawWire(const DrawSetup& d, const Source& source, Fill fill) {
    const ScreenVertex* sv = d.out.screen;
    const uint8_t* oc = d.out.outcode;
    source.forEach(0, source.unitCount(), [&](uint32_t key, uint32_t i0, uint32_t i1, uint32_t i2) {
        const uint8_t orCodes = oc[i0] | oc[i1] | oc[i2];
        if ((orCodes & kOutInvalid) || (oc[i0] & oc[i1] & oc[i2] & kOutPlanes)) {
            return;
        }
        const uint32_t index[3] = {i0, i1, i2};
        float clip[3][4];
        cornerClip(d, index, clip);
        bool back = false;
        if (orCodes == 0) {
            const ScreenVertex& a = sv[i0];
            const ScreenVertex& b = sv[i1];
            const ScreenVertex& c = sv[i2];
            back = (int64_t(b.x) - a.x) * (int64_t(c.y) - a.y) - (int64_t(c.x) - a.x) * (int64_t(b.y) - a.y) > 0;
        } else {
            bool degenerate = false;
            back = backFacing(clip, degenerate);
        }
        if (back && d.backfacing == Backfacing::Remove) {
            return;
        }
        float rgb[3][3];
        cornerColours(d, key, index, back, rgb);
        if (fill == Fill::Points) {
            for (int corner = 0; corner < 3; ++corner) {
                const uint32_t i = index[corner];
                if (oc[i] == 0) {
                    LinePoint p{float(sv[i].x) / kSubPixel, float(sv[i].y) / kSubPixel, sv[i].z,
                                {rgb[corner][0], rgb[corner][1], rgb[corner][2]}};
                    rasterPoint(target, p);
                }
            }
            return;
        }
        for (int e = 0; e < 3; ++e) {
            int f = (e + 1) % 3;
            drawClippedLine(d, clip[e], clip[f], oc[index[e]] | oc[index[f]], rgb[e], rgb[f]);
        }
    });
}

template <class Source>
void Renderer::Impl::drawSurface(const VertexArrays& vertices, const Source& source, const DrawState& state) {
    DrawSetup d;
    if (!prepareDraw(vertices, state, true, d) || source.unitCount() == 0) {
        return;
    }
    if (d.facet) {
        if (d.textured) {
            d.facetLit = facetLits.reserve(source.keyLimit());
        } else {
            d.facetColour = facetColours.reserve(source.keyLimit() * 3);
        }
    }
    runVertices(d, vertices.count);
    if (state.fill != Fill::Filled) {
        drawWire(d, source, state.fill);
        return;
    }

    const uint32_t units = source.unitCount();
    const bool small = source.keyLimit() < kSmallDraw;
    const size_t tiles = size_t(tileCount());
    // A few ranges per thread balance the front end; the cap bounds the
    // bins (ranges × tiles) on very large targets.
    rangeCount = small ? 1u : std::min<uint32_t>(units, pool.threadCount() * 3);
    rangeCount = std::clamp<uint32_t>(rangeCount, 1u, uint32_t(std::max<size_t>(1, kMaxBins / tiles)));
    if (bins.size() < rangeCount * tiles) {
        bins.resize(rangeCount * tiles);
    }
    if (clipped.size() < rangeCount) {
        clipped.resize(rangeCount);
    }
    if (cellRows.size() < rangeCount) {
        cellRows.resize(rangeCount);
    }
    for (uint32_t range = 0; range < rangeCount; ++range) {
        for (size_t tile = 0; tile < tiles; ++tile) {
            bins[range * tiles + tile].clear();
        }
        clipped[range].clear();
    }
    pool.run(rangeCount, [&](size_t range) {
        uint32_t begin = uint32_t(uint64_t(units) * range / rangeCount);
        uint32_t end = uint32_t(uint64_t(units) * (range + 1) / rangeCount);
        if (d.facet) {
            frontEnd<Source, true>(d, source, uint32_t(range), begin, end);
        } else {
            frontEnd<Source, false>(d, source, uint32_t(range), begin, end);
        }
    });

    activeTiles.clear();
    for (size_t tile = 0; tile < tiles; ++tile) {
        for (uint32_t range = 0; range < rangeCount; ++range) {
            if (bins[range * tiles + tile].size() != 0) {
                activeTiles.push_back(uint32_t(tile));
                break;
            }
        }
    }
    pool.run(activeTiles.size(), [&](size_t job) { rasterTile(d, source, activeTiles[job]); });
}

void Renderer::drawTriangles(const VertexArrays& vertices, std::span<const uint32_t> indices,
                             const DrawState& state) {
    size_t triangles = indices.size() / 3;
    if (triangles == 0 || triangles >= kKeyLimit) {
        return;
    }
    ListSource source{indices.data(), uint32_t(triangles), vertices.count};
    impl_->drawSurface(vertices, source, state);
}

void Renderer::drawTriGrid(const VertexArrays& vertices, uint32_t rows, uint32_t columns, const DrawState& state) {
    if (rows < 2 || columns < 2) {
        return;
    }
    uint64_t count = uint64_t(rows) * columns;
    if (count > vertices.count || count * 2 > kKeyLimit) {
        return;
    }
    GridSource source{rows, columns};
    impl_->drawSurface(vertices, source, state);
}

void Renderer::drawLines(const VertexArrays& vertices, std::span<const uint32_t> indices, const DrawState& state) {
    Impl& m = *impl_;
    DrawSetup d;
    if (indices.size() < 2 || !m.prepareDraw(vertices, state, false, d)) {
        return;
    }
    m.runVertices(d, vertices.count);
    const uint8_t* oc = d.out.outcode;
    for (size_t n = 0; n + 1 < indices.size(); n += 2) {
        uint32_t ends[3] = {indices[n], indices[n + 1], indices[n + 1]};
        if (ends[0] >= vertices.count || ends[1] >= vertices.count) {
            continue;
        }
        uint8_t codes = oc[ends[0]] | oc[ends[1]];
        if ((codes & kOutInvalid) || (oc[ends[0]] & oc[ends[1]] & kOutPlanes)) {
            continue;
        }
        float c[3][4];
        m.cornerClip(d, ends, c);
        float rgb[2][3];
        unpack(d.out.colour[ends[0]], rgb[0]);
        unpack(d.out.colour[ends[1]], rgb[1]);
        m.drawClippedLine(d, c[0], c[1], codes, rgb[0], rgb[1]);
    }
}

void Renderer::drawPoints(const VertexArrays& vertices, const DrawState& state) {
    Impl& m = *impl_;
    DrawSetup d;
    if (!m.prepareDraw(vertices, state, false, d)) {
        return;
    }
    m.runVertices(d, vertices.count);
    for (uint32_t i = 0; i < vertices.count; ++i) {
        if (d.out.outcode[i] != 0) {
            continue;
        }
        const ScreenVertex& s = d.out.screen[i];
        LinePoint p{float(s.x) / kSubPixel, float(s.y) / kSubPixel, s.z, {0, 0, 0}};
        unpack(d.out.colour[i], p.rgb);
        rasterPoint(m.target, p);
    }
}

}  // namespace q3d::raster
