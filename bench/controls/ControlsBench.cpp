// One drag step of the manipulator, as a user's mouse makes it: the host
// sends a drag event to the effect through `main`, the tool writes its
// parameters (rotate for the object effects, aim for the Spot Light, move
// for the Point Light), the preview renders at 244 × 85 (the default
// 300-pixel control) and is copied into the window's canvas.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "host/Effect.h"
#include "host/EffectControls.h"
#include "host/Instance.h"
#include "platform/os/Desktop.h"
#include "platform/os/HeadlessDesktop.h"

namespace {

std::filesystem::path pluginPath(const std::string& name) {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / (name + ".so");
}

void fail(const std::string& what) {
  std::fprintf(stderr, "controls_bench: %s\n", what.c_str());
  std::exit(1);
}

void dragStep(benchmark::State& state, const char* plugin) {
  vask::os::HeadlessDesktop desktop;
  vask::os::ScopedDesktop scoped(desktop);
  auto effect = vask::host::Effect::load(pluginPath(plugin));
  if (!effect->globalSetup().ok() || !effect->paramsSetup().ok()) fail(std::string(plugin) + ": setup failed");
  {
    vask::host::Instance instance(effect);
    if (!instance.sequenceSetup().ok()) fail(std::string(plugin) + ": sequence setup failed");
    {
      vask::host::EffectControls window(instance, 300);
      if (!window.drawAll().ok()) fail("draw failed");
      const auto& manipulator = window.controls().back();
      if (!window.press(manipulator, {150, 40}).ok()) fail("press failed");
      int step = 0;
      for (auto _ : state) {
        // Back and forth over a few pixels, so values stay in range.
        const int dx = (step++ & 8) ? -(step & 7) : (step & 7);
        if (!window.dragTo({150 + dx, 40 + dx / 2}).ok()) fail("drag failed");
        instance.takeChangedParams();
      }
      window.release({150, 40});
    }
    instance.sequenceSetdown();
  }
  effect->globalSetdown();
}

BENCHMARK_CAPTURE(dragStep, shapemesh, "shapemesh")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(dragStep, meshfile, "meshfile")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(dragStep, beamlamp, "beamlamp")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(dragStep, glowlamp, "glowlamp")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
