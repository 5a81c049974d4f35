// The relief mesh's grid, built and refilled through the C API the way the
// plug-in does it, with one vertex per pixel:
//  - build: a new attribute set per vertex (surface UV when textured), a
//    normal added to each in a second pass, Q3TriGrid_New, then every set
//    disposed (the grid keeps its own references);
//  - refill, every frame: Q3TriGrid_GetData, new heights and a new normal
//    added to each of the grid's own sets, Q3TriGrid_SetData,
//    Q3TriGrid_EmptyData.
// The caller's vertex array for a build is allocated once, outside the
// timing, as the plug-in's heap would hand back the same block.
//
// Counters: heldBytesPerVertex is everything the library holds in its own
// blocks (Q3Testing_HeldBytes: pool chunks whole, grid arrays, lent and
// kept arrays) divided by the grid's vertices, taken while the grid is
// alive after a refill. It counts the whole process, so for a small grid it
// includes the pool's first chunk of every size class in use.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DSet.h"
#include "platform/q3d/QD3DTesting.h"

namespace {

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "%s failed: error %d\n", what, static_cast<int>(Q3Error_Get(nullptr)));
    std::abort();
}

struct GridSize {
    TQ3Uns32 columns;
    TQ3Uns32 rows;
    std::size_t vertices() const { return std::size_t{columns} * rows; }
};

GridSize sizeOf(const benchmark::State& state) {
    return {static_cast<TQ3Uns32>(state.range(0)), static_cast<TQ3Uns32>(state.range(1))};
}

bool texturedOf(const benchmark::State& state) { return state.range(2) != 0; }

// What the plug-in's build does; `vertices` has room for the grid.
TQ3GeometryObject buildGrid(GridSize size, bool textured, std::vector<TQ3Vertex3D>& vertices) {
    const float dx = 1.0f / static_cast<float>(size.columns - 1);
    const float dz = 1.0f / static_cast<float>(size.rows - 1);
    std::size_t i = 0;
    float z = 0.5f;
    for (TQ3Uns32 r = 0; r < size.rows; ++r, z -= dz) {
        float x = -0.5f;
        for (TQ3Uns32 c = 0; c < size.columns; ++c, ++i, x += dx) {
            TQ3Vertex3D& vertex = vertices[i];
            vertex.point = {x, 0.0f, z};
            vertex.attributeSet = Q3AttributeSet_New();
            if (textured) {
                const TQ3Param2D uv{static_cast<float>(c) * dx, static_cast<float>(r) * dz};
                Q3AttributeSet_Add(vertex.attributeSet, kQ3AttributeTypeSurfaceUV, &uv);
            }
        }
    }
    const TQ3Vector3D up{0.0f, 1.0f, 0.0f};
    for (std::size_t v = 0; v < size.vertices(); ++v) {
        Q3AttributeSet_Add(vertices[v].attributeSet, kQ3AttributeTypeNormal, &up);
    }
    const TQ3TriGridData data{size.rows, size.columns, vertices.data(), nullptr, nullptr};
    TQ3GeometryObject grid = Q3TriGrid_New(&data);
    for (std::size_t v = 0; v < size.vertices(); ++v) Q3Object_Dispose(vertices[v].attributeSet);
    return grid;
}

// Time spent in each step of refills, in milliseconds.
struct RefillSteps {
    double get = 0, add = 0, set = 0, empty = 0;
};

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point& mark) {
    const Clock::time_point now = Clock::now();
    const double elapsed = std::chrono::duration<double, std::milli>(now - mark).count();
    mark = now;
    return elapsed;
}

// What the plug-in's refill does.
void refillGrid(TQ3GeometryObject grid, float height, RefillSteps* steps = nullptr) {
    Clock::time_point mark = Clock::now();
    TQ3TriGridData data;
    require(Q3TriGrid_GetData(grid, &data) == kQ3Success, "Q3TriGrid_GetData");
    const double get = millisecondsSince(mark);
    const std::size_t count = std::size_t{data.numRows} * data.numColumns;
    const TQ3Vector3D normal{0.0f, 1.0f, 0.0f};
    for (std::size_t v = 0; v < count; ++v) {
        data.vertices[v].point.y = height;
        Q3AttributeSet_Add(data.vertices[v].attributeSet, kQ3AttributeTypeNormal, &normal);
    }
    const double add = millisecondsSince(mark);
    require(Q3TriGrid_SetData(grid, &data) == kQ3Success, "Q3TriGrid_SetData");
    const double set = millisecondsSince(mark);
    require(Q3TriGrid_EmptyData(&data) == kQ3Success, "Q3TriGrid_EmptyData");
    if (steps != nullptr) {
        steps->get += get;
        steps->add += add;
        steps->set += set;
        steps->empty += millisecondsSince(mark);
    }
}

void setCounters(benchmark::State& state, GridSize size) {
    state.counters["vertices"] = static_cast<double>(size.vertices());
    state.counters["heldBytesPerVertex"] =
        static_cast<double>(Q3Testing_HeldBytes()) / static_cast<double>(size.vertices());
    state.counters["nsPerVertex"] = benchmark::Counter(
        static_cast<double>(size.vertices()), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Build(benchmark::State& state) {
    const GridSize size = sizeOf(state);
    std::vector<TQ3Vertex3D> vertices(size.vertices());
    for (auto _ : state) {
        TQ3GeometryObject grid = buildGrid(size, texturedOf(state), vertices);
        require(grid != nullptr, "Q3TriGrid_New");
        state.PauseTiming();
        refillGrid(grid, 0.25f);  // so that the held bytes include the kept vertex array
        setCounters(state, size);
        Q3Object_Dispose(grid);
        state.ResumeTiming();
    }
}

void BM_Refill(benchmark::State& state) {
    const GridSize size = sizeOf(state);
    std::vector<TQ3Vertex3D> vertices(size.vertices());
    TQ3GeometryObject grid = buildGrid(size, texturedOf(state), vertices);
    require(grid != nullptr, "Q3TriGrid_New");
    float height = 0.0f;
    RefillSteps steps;
    for (auto _ : state) {
        refillGrid(grid, height, &steps);
        height += 0.001f;
    }
    setCounters(state, size);
    // Milliseconds per refill in each step: GetData, the caller's loop of
    // Q3AttributeSet_Add, SetData, EmptyData.
    const auto perRefill = [&](double total) {
        return benchmark::Counter(total, benchmark::Counter::kAvgIterations);
    };
    state.counters["getMs"] = perRefill(steps.get);
    state.counters["addMs"] = perRefill(steps.add);
    state.counters["setMs"] = perRefill(steps.set);
    state.counters["emptyMs"] = perRefill(steps.empty);
    Q3Object_Dispose(grid);
}

// Disposing the grid releases its last reference to every set.
void BM_Dispose(benchmark::State& state) {
    const GridSize size = sizeOf(state);
    std::vector<TQ3Vertex3D> vertices(size.vertices());
    for (auto _ : state) {
        state.PauseTiming();
        TQ3GeometryObject grid = buildGrid(size, texturedOf(state), vertices);
        require(grid != nullptr, "Q3TriGrid_New");
        state.ResumeTiming();
        Q3Object_Dispose(grid);
    }
}

void smallGrid(benchmark::internal::Benchmark* b) {
    b->ArgNames({"columns", "rows", "textured"})->Args({256, 256, 0})->Args({256, 256, 1});
    b->Unit(benchmark::kMillisecond);
}

void frameGrid(benchmark::internal::Benchmark* b) {
    b->ArgNames({"columns", "rows", "textured"})->Args({1920, 1080, 0})->Args({1920, 1080, 1});
    b->Unit(benchmark::kMillisecond);
}

// Small grids first, so that their held bytes are their own; then the first
// build of a frame-sized grid, which pays for faulting in fresh pool memory;
// then the frame-sized runs.
BENCHMARK(BM_Build)->Apply(smallGrid);
BENCHMARK(BM_Refill)->Apply(smallGrid);
BENCHMARK(BM_Dispose)->Apply(smallGrid);
BENCHMARK(BM_Build)->Name("BM_ColdBuild")->ArgNames({"columns", "rows", "textured"})->Args({1920, 1080, 1})
    ->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Build)->Apply(frameGrid);
BENCHMARK(BM_Refill)->Apply(frameGrid);
BENCHMARK(BM_Dispose)->Apply(frameGrid);

}  // namespace

int main(int argc, char** argv) {
    require(Q3Initialize() == kQ3Success, "Q3Initialize");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Q3Exit();
    return 0;
}
