// Draws the demo composition's images: an animated height field (a numbered
// PNG sequence of travelling ripples over a gentle hill) and the texture laid
// over it. The output is committed under examples/demo/; run again after a
// change:  vask_demo_images examples/demo
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "host/PngImage.h"
#include "host/World.h"
#include "tools/demo/RippleHeights.h"

namespace {

constexpr int kWidth = 192, kHeight = 108, kFrames = 48;
constexpr double kPi = 3.14159265358979;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path out = argv[1];
  try {
    std::filesystem::create_directories(out / "heights");
    for (int f = 0; f < kFrames; ++f) {
      vask::host::World w(kWidth, kHeight);
      const double phase = 2.0 * kPi * f / kFrames;
      for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
          const auto g = static_cast<uint8_t>(std::lround(
              255.0 * vask::demo::rippleHeight(x / double(kWidth - 1), y / double(kHeight - 1), phase)));
          w.at(x, y) = PF_Pixel{255, g, g, g};
        }
      char name[32];
      std::snprintf(name, sizeof name, "h_%04d.png", f + 1);
      vask::host::writePng(out / "heights" / name, w);
    }
    // The texture: warm bands across the hill, cooler in the valleys.
    vask::host::World t(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const double u = x / double(kWidth - 1), v = y / double(kHeight - 1);
        const double h = vask::demo::rippleHeight(u, v, 0.0);
        const double band = 0.5 + 0.5 * std::sin((u + v) * 18.0);
        const auto c = [](double k) { return static_cast<uint8_t>(std::lround(255.0 * std::clamp(k, 0.0, 1.0))); };
        t.at(x, y) = PF_Pixel{255, c(0.35 + 0.6 * h), c(0.3 + 0.35 * band * h + 0.2 * (1 - h)),
                              c(0.55 - 0.4 * h + 0.15 * band)};
      }
    vask::host::writePng(out / "texture.png", t);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vask_demo_images: %s\n", e.what());
    return 1;
  }
  return 0;
}
