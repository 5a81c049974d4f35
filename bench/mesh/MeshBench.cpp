// Frame setup of the Mesh Object through its real entry point: shapemesh.so,
// loaded from beside this program and driven by the host library, for
// height-field layers of 256 × 256, 1024 × 1024 and 1920 × 1080 pixels, with
// "Smooth" off and on, without and with a texture layer of the same size.
//
//  - build:  the first frame of a new sequence (grid, vertex attribute sets,
//            texture and the rest of the object are made);
//  - refill: a later frame whose pixels changed (the grid refilled in place,
//            the texture given the new pixels).
//
// The floor is the time to write width × height × 24 bytes (one vertex
// record per pixel) with a plain loop into memory already mapped; every
// figure is also given as a ratio to it. "cold" is the same loop into fresh
// heap memory, page faults included, for comparison with builds. Only frame setup is timed; frame
// setdown, sequence setup and setdown are not.
//
// Each configuration runs in a child process of its own, so that its peak
// resident size (getrusage) and the scene library's own count of held bytes
// (Q3Testing_HeldBytes, per vertex, taken with the grid alive after a
// refill) are its own.
//
// Usage: mesh_bench [--quick]      --quick: 256 × 256 only
//        mesh_bench --one W H MODE [BUILDS REFILLS]
//                                   one configuration; MODE: plain, smooth,
//                                   textured or both (smooth and textured);
//                                   optionally the number of timed frames
// Build with the release preset; the machine should be otherwise idle.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/Effect.h"
#include "host/Instance.h"
#include "host/LayerSource.h"
#include "host/World.h"
#include "platform/os/Desktop.h"
#include "platform/os/HeadlessDesktop.h"
#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DTesting.h"
#include "shell/ParamTables.h"

namespace {

using namespace vask;
using Clock = std::chrono::steady_clock;

struct Config {
  int width;
  int height;
  bool smooth;
  bool textured;
  int buildReps = 0;   // 0: chosen by size
  int refillReps = 0;  // likewise
};

struct Stats {
  double best = 0, median = 0, worst = 0;  // milliseconds
};

Stats statsOf(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return {ms.front(), ms[ms.size() / 2], ms.back()};
}

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::filesystem::path pluginPath() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "shapemesh.so";
}

// A layer with varied pixels; `phase` shifts the pattern so that two layers
// differ everywhere.
host::World patternLayer(int width, int height, int phase) {
  host::World w(width, height);
  auto* base = reinterpret_cast<unsigned char*>(w.view()->data);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<PF_Pixel*>(base + static_cast<std::size_t>(y) * w.rowbytes());
    for (int x = 0; x < width; ++x) {
      const int v = (x * 3 + y * 5 + phase * 17) & 0xFF;
      row[x] = PF_Pixel{255, static_cast<uint8_t>(v), static_cast<uint8_t>(v ^ 0x5A),
                        static_cast<uint8_t>(255 - v)};
    }
  }
  return w;
}

// The floor: width × height vertex records of 24 bytes written with a plain
// loop, into a buffer written once before so no page fault is timed.
double floorMilliseconds(std::size_t vertices, int reps) {
  struct Record {
    float x, y, z;
    void* set;
  };
  static_assert(sizeof(Record) == 24);
  std::vector<Record> buffer(vertices);
  std::vector<double> ms;
  for (int k = 0; k < reps + 1; ++k) {
    const auto start = Clock::now();
    Record* out = buffer.data();
    float x = 0.0f;
    for (std::size_t i = 0; i < vertices; ++i) {
      out[i] = Record{x, 0.25f, -x, nullptr};
      x += 1e-6f;
    }
    const double t = millisecondsSince(start);
    if (k > 0) ms.push_back(t);  // the first pass only warms up
    // Keep the writes observable.
    if (buffer[vertices / 2].y != 0.25f) std::abort();
  }
  return statsOf(ms).best;
}

// The same writes into fresh memory from the heap: what first touching the
// pages adds, as every build pays for its vertex array. Best of `reps`.
double coldFloorMilliseconds(std::size_t vertices, int reps) {
  std::vector<double> ms;
  for (int k = 0; k < reps; ++k) {
    const auto start = Clock::now();
    auto* out = static_cast<float*>(std::malloc(vertices * 24));
    if (out == nullptr) std::abort();
    float x = 0.0f;
    for (std::size_t i = 0; i < vertices; ++i) {
      out[6 * i] = x;
      out[6 * i + 1] = 0.25f;
      out[6 * i + 2] = -x;
      std::memset(out + 6 * i + 3, 0, 12);
      x += 1e-6f;
    }
    const double t = millisecondsSince(start);
    if (out[vertices * 3] == 1.0f) std::abort();
    std::free(out);
    ms.push_back(t);
  }
  return statsOf(ms).best;
}

bool check(const host::CommandResult& r, const char* what) {
  if (r.ok()) return true;
  std::fprintf(stderr, "%s failed: %d %s\n", what, static_cast<int>(r.err), r.message.c_str());
  return false;
}

class MeshRun {
 public:
  MeshRun(std::shared_ptr<host::Effect> effect, const Config& c, std::shared_ptr<host::LayerTable> layers)
      : instance_(std::move(effect)) {
    instance_.setLayerSource(std::move(layers));
    instance_.setLayerParam(shapemesh::kHeightField, 1);
    if (c.textured) instance_.setLayerParam(shapemesh::kTexture, 3);
    instance_.param(shapemesh::kSmooth).u.bd.value = c.smooth ? 1 : 0;
    ok_ = check(instance_.sequenceSetup(), "sequence setup");
  }
  ~MeshRun() {
    if (instance_.sequenceOpen()) instance_.sequenceSetdown();
  }
  bool ok() const { return ok_; }

  // One frame; returns the milliseconds of its frame setup, or −1.
  double frame() {
    const auto start = Clock::now();
    const auto r = instance_.frameSetup();
    const double t = millisecondsSince(start);
    if (!check(r, "frame setup") || !check(instance_.frameSetdown(), "frame setdown")) return -1;
    return t;
  }

 private:
  host::Instance instance_;
  bool ok_ = false;
};

int runConfig(const Config& c) {
  os::HeadlessDesktop desktop;
  os::ScopedDesktop scoped(desktop);
  std::shared_ptr<host::Effect> effect = host::Effect::load(pluginPath());
  if (!check(effect->globalSetup(), "global setup") || !check(effect->paramsSetup(), "params setup"))
    return 1;

  const std::size_t vertices = static_cast<std::size_t>(c.width) * c.height;
  const bool big = vertices > 500000;
  const int buildReps = c.buildReps > 0 ? c.buildReps : big ? 5 : 20;
  const int refillReps = c.refillReps > 0 ? c.refillReps : big ? 10 : 50;

  // Layers 1 and 2: two height fields; 3 and 4: two textures.
  auto layers = std::make_shared<host::LayerTable>();
  auto heightA = std::make_shared<host::World>(patternLayer(c.width, c.height, 0));
  auto heightB = std::make_shared<host::World>(patternLayer(c.width, c.height, 1));
  auto textureA = std::make_shared<host::World>(patternLayer(c.width, c.height, 2));
  auto textureB = std::make_shared<host::World>(patternLayer(c.width, c.height, 3));
  layers->set(1, heightA);
  layers->set(3, textureA);

  const double floor = floorMilliseconds(vertices, big ? 10 : 50);
  const double coldFloor = coldFloorMilliseconds(vertices, 3);
  const TQ3Uns64 heldBefore = Q3Testing_HeldBytes();

  std::vector<double> builds;
  double firstBuild = 0;
  for (int k = 0; k < buildReps; ++k) {
    MeshRun run(effect, c, layers);
    if (!run.ok()) return 1;
    const double t = run.frame();
    if (t < 0) return 1;
    if (k == 0) firstBuild = t;
    builds.push_back(t);
  }

  std::vector<double> refills;
  double heldPerVertex = 0;
  {
    MeshRun run(effect, c, layers);
    if (!run.ok() || run.frame() < 0) return 1;
    for (int k = 0; k < refillReps; ++k) {
      const bool second = (k % 2) == 0;
      layers->set(1, second ? heightB : heightA);
      layers->set(3, second ? textureB : textureA);
      const double t = run.frame();
      if (t < 0) return 1;
      refills.push_back(t);
    }
    heldPerVertex = static_cast<double>(Q3Testing_HeldBytes() - heldBefore) / static_cast<double>(vertices);
  }
  if (!check(effect->globalSetdown(), "global setdown")) return 1;

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const Stats b = statsOf(builds);
  const Stats r = statsOf(refills);
  std::printf(
      "%4dx%-4d smooth %-3s texture %-3s | floor %6.2f ms (cold %6.2f) | build best %8.2f ms (%5.1fx) median %8.2f "
      "worst %8.2f first %8.2f | refill best %8.2f ms (%5.1fx) median %8.2f worst %8.2f | "
      "q3d held %5.1f B/vertex | max RSS %6.1f MB\n",
      c.width, c.height, c.smooth ? "on" : "off", c.textured ? "on" : "off", floor, coldFloor, b.best, b.best / floor,
      b.median, b.worst, firstBuild, r.best, r.best / floor, r.median, r.worst, heldPerVertex,
      static_cast<double>(usage.ru_maxrss) / 1024.0);
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Config> configs;
  if (argc >= 5 && std::strcmp(argv[1], "--one") == 0) {
    configs.push_back({std::atoi(argv[2]), std::atoi(argv[3]), argv[4][0] == 's' || argv[4][0] == 'b',
                       argv[4][0] == 't' || argv[4][0] == 'b'});
    if (argc == 7) {
      configs.back().buildReps = std::atoi(argv[5]);
      configs.back().refillReps = std::atoi(argv[6]);
    }
  } else {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    std::vector<std::pair<int, int>> sizes{{256, 256}};
    if (!quick) {
      sizes.push_back({1024, 1024});
      sizes.push_back({1920, 1080});
    }
    for (const auto& [w, h] : sizes)
      for (bool smooth : {false, true})
        for (bool textured : {false, true}) configs.push_back({w, h, smooth, textured});
  }
  const char* threads = std::getenv("VASK_RENDER_THREADS");
  std::printf("shapemesh frame setup, %s thread(s) (VASK_RENDER_THREADS); ratios are to the floor (24 bytes "
              "written per vertex)\n",
              threads ? threads : "1");
  std::fflush(stdout);
  int failures = 0;
  for (const Config& c : configs) {
    const pid_t child = fork();
    if (child < 0) {
      std::perror("fork");
      return 1;
    }
    if (child == 0) {
      int status = 1;
      try {
        status = runConfig(c);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
      }
      std::fflush(nullptr);
      _exit(status);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "%dx%d smooth %d texture %d: failed\n", c.width, c.height, c.smooth, c.textured);
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
