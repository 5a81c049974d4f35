// Soak: renders the demo composition (an animated relief, a travelling spot
// light, a circling point light, a swinging Scene Render camera: every
// keyframed parameter changes every frame) for many frames, cycling through
// its 48, and watches for anything that grows. Prints the resident memory
// after the warm-up and at the end, its largest rise in between, the scene
// library's live objects during and after the run, and the host's handles.
//
//   soak_bench [--frames N] [--size WxH] [--threads N] [--project FILE]
//
// Exit status 1 when resident memory rose by more than 1 % after the
// warm-up, or objects or handles did not come back to where they started.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "host/Composition.h"
#include "host/HandleSuite.h"
#include "host/PluginCatalog.h"
#include "host/Project.h"
#include "host/ProjectCommands.h"
#include "platform/q3d/QD3DTesting.h"

namespace {

using namespace vask::host;

// Resident memory in bytes, from /proc/self/statm.
double residentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

double mib(double bytes) { return bytes / (1024.0 * 1024.0); }

}  // namespace

int main(int argc, char** argv) {
  int64_t total = 10000;
  int threads = 1;
  std::optional<std::pair<int32_t, int32_t>> size;
  std::filesystem::path projectFile = std::filesystem::path(VASK_SOURCE_DIR) / "examples/demo/demo.json";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i], value = argv[i + 1];
    if (flag == "--frames") total = std::stoll(value);
    else if (flag == "--threads") threads = std::stoi(value);
    else if (flag == "--project") projectFile = value;
    else if (flag == "--size") size = parseSize(value);
    else {
      std::cerr << "soak_bench: unknown option " << flag << "\n";
      return 2;
    }
  }

  const TQ3Uns32 objectsBefore = Q3Testing_LiveObjectCount();
  const std::size_t handlesBefore = handles::liveCount();
  std::vector<std::string> warnings;
  const PluginCatalog catalog = PluginCatalog::scan(programFolder());
  CompositionOptions options;
  options.size = size;
  options.threads = threads;
  auto composition = std::make_unique<Composition>(loadProject(projectFile), catalog, options, warnings);
  const int64_t cycle = composition->frameCount();
  const int32_t width = composition->width(), height = composition->height();

  // Warm-up: two passes over the composition, so that every cache, pool and
  // buffer has reached the size the frames need.
  const int64_t warmup = std::min<int64_t>(total, 2 * cycle);
  const auto start = std::chrono::steady_clock::now();
  double afterWarmup = 0, highest = 0;
  TQ3Uns32 objectsLow = ~0u, objectsHigh = 0;
  for (int64_t f = 0; f < total; ++f) {
    composition->renderFrame(f % cycle);
    const TQ3Uns32 objects = Q3Testing_LiveObjectCount();
    objectsLow = std::min(objectsLow, objects);
    objectsHigh = std::max(objectsHigh, objects);
    if (f + 1 == warmup) afterWarmup = highest = residentBytes();
    if (f + 1 > warmup && (f + 1) % cycle == 0) highest = std::max(highest, residentBytes());
    if ((f + 1) % 1000 == 0) {
      std::fprintf(stderr, "%lld frames, resident %.1f MiB, %u scene objects\n", static_cast<long long>(f + 1),
                   mib(residentBytes()), objects);
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double atEnd = residentBytes();
  for (const auto& failure : composition->shutDown()) std::cerr << "warning: " << failure << "\n";
  composition.reset();
  const TQ3Uns32 objectsAfter = Q3Testing_LiveObjectCount();
  const std::size_t handlesAfter = handles::liveCount();

  const double rise = afterWarmup > 0 ? (highest - afterWarmup) / afterWarmup * 100.0 : 0;
  std::printf("soak: %lld frames of %s at %d x %d, %d thread%s, %.1f s (%.1f frames/s)\n",
              static_cast<long long>(total), projectFile.filename().c_str(),
              width, height, threads, threads == 1 ? "" : "s", seconds,
              static_cast<double>(total) / seconds);
  std::printf("resident memory: %.2f MiB after %lld warm-up frames, %.2f MiB at most after, %.2f MiB at the end "
              "(rise %.3f %%)\n",
              mib(afterWarmup), static_cast<long long>(warmup), mib(highest), mib(atEnd), rise);
  std::printf("scene objects: %u before, %u to %u during the frames, %u after shutdown\n", objectsBefore,
              objectsLow, objectsHigh, objectsAfter);
  std::printf("host handles: %zu before, %zu after shutdown\n", handlesBefore, handlesAfter);
  const bool ok = rise <= 1.0 && objectsAfter == objectsBefore && handlesAfter == handlesBefore;
  std::printf("%s\n", ok ? "flat: memory within 1 %, objects and handles balanced" : "NOT FLAT");
  return ok ? 0 : 1;
}
