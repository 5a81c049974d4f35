// Makes the pictures the example projects use. The PNGs are checked in; run
// this again only to change them:
//
//   g++ -std=c++20 -O2 examples/images/make_images.cpp -lpng -o /tmp/make_images
//   /tmp/make_images examples/images
//
// terrain.png   48 × 27 grey hills, for a height field
// checker.png   48 × 27 two-colour checks, for a texture
// ripple/ripple_0001.png … ripple_0024.png   48 × 27 rings spreading from the
//               centre, one picture per frame of a one-second, 24 fps clip
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 48, kHeight = 27;

struct Rgb {
  double r, g, b;  // 0 … 1
};

bool write(const std::filesystem::path& file, const std::function<Rgb(double x, double y)>& colour) {
  std::vector<png_byte> rgba(kWidth * kHeight * 4);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      // Coordinates −1 … 1 across the width, keeping the picture's aspect.
      const double u = (x + 0.5) / kWidth * 2 - 1;
      const double v = ((y + 0.5) / kHeight * 2 - 1) * kHeight / kWidth;
      const Rgb c = colour(u, v);
      png_byte* p = &rgba[(y * kWidth + x) * 4];
      auto byte = [](double d) { return static_cast<png_byte>(std::lround(std::clamp(d, 0.0, 1.0) * 255)); };
      p[0] = byte(c.r);
      p[1] = byte(c.g);
      p[2] = byte(c.b);
      p[3] = 255;
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = kWidth;
  image.height = kHeight;
  image.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&image, file.c_str(), 0, rgba.data(), 0, nullptr)) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), image.message);
    return false;
  }
  return true;
}

Rgb grey(double g) { return {g, g, g}; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_images FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  bool ok = write(folder / "terrain.png", [](double u, double v) {
    const double hills = 0.55 * std::exp(-((u + 0.4) * (u + 0.4) + (v + 0.1) * (v + 0.1)) * 6) +
                         0.35 * std::exp(-((u - 0.45) * (u - 0.45) + (v - 0.15) * (v - 0.15)) * 9) +
                         0.08 * std::sin(u * 9) * std::cos(v * 7);
    return grey(0.15 + hills);
  });
  ok = ok && write(folder / "checker.png", [](double u, double v) {
    const bool dark = (static_cast<int>(std::floor(u * 4)) + static_cast<int>(std::floor(v * 4))) % 2;
    return dark ? Rgb{0.85, 0.35, 0.15} : Rgb{0.95, 0.85, 0.55};
  });
  std::filesystem::create_directories(folder / "ripple");
  for (int f = 1; f <= 24 && ok; ++f) {
    char name[32];
    std::snprintf(name, sizeof name, "ripple_%04d.png", f);
    const double phase = (f - 1) / 24.0;
    ok = write(folder / "ripple" / name, [phase](double u, double v) {
      const double r = std::sqrt(u * u + v * v);
      return grey(0.5 + 0.4 * std::cos((r - phase * 0.5) * 18) * std::exp(-r * 1.5));
    });
  }
  return ok ? 0 : 1;
}
