// Draws the pictures of docs/ that are diagrams rather than renders: the
// keyframe curves (docs/easing.png), computed by the host's own Track, and
// the coordinate system (docs/coordinates.png). Rebuild them with
//     cmake --build <build> --target doc_pictures
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "host/Keyframes.h"
#include "host/PngImage.h"
#include "platform/os/Canvas.h"

namespace {

using vask::host::BezierHandle;
using vask::host::Interpolation;
using vask::host::Keyframe;
using vask::host::Track;
using vask::os::Canvas;
using vask::os::Pixel;

constexpr Pixel kPaper{255, 252, 252, 250};
constexpr Pixel kInk{255, 40, 44, 52};
constexpr Pixel kGrid{255, 222, 224, 228};
constexpr Pixel kCurve{255, 30, 110, 220};
constexpr Pixel kRed{255, 210, 50, 50};
constexpr Pixel kGreen{255, 40, 150, 60};
constexpr Pixel kBlue{255, 40, 90, 220};

// A line as a run of small squares, dense enough to look drawn.
void line(Canvas& c, double x0, double y0, double x1, double y1, Pixel colour, int thickness = 2) {
  const double length = std::hypot(x1 - x0, y1 - y0);
  const int steps = std::max(1, static_cast<int>(length * 2));
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    c.fillRect({static_cast<int>(std::lround(x0 + (x1 - x0) * t)) - thickness / 2,
                static_cast<int>(std::lround(y0 + (y1 - y0) * t)) - thickness / 2, thickness, thickness},
               colour);
  }
}

// One panel: the value over time of a key at (0, 0) and one at (1, 1).
void panel(Canvas& c, int x, int y, int size, const std::string& title, const Track& track) {
  c.fillRect({x, y, size, size}, Pixel{255, 255, 255, 255});
  for (int i = 0; i <= 4; ++i) {
    line(c, x + size * i / 4.0, y, x + size * i / 4.0, y + size, kGrid, 1);
    line(c, x, y + size * i / 4.0, x + size, y + size * i / 4.0, kGrid, 1);
  }
  c.frameRect({x, y, size + 1, size + 1}, kInk);
  const double lo = -0.2, hi = 1.2;  // room for an overshoot
  auto px = [&](double u) { return x + u * size; };
  auto py = [&](double v) { return y + size - (v - lo) / (hi - lo) * size; };
  double lastX = px(0), lastY = py(track.at(0)[0]);
  for (int i = 1; i <= 400; ++i) {
    const double u = i / 400.0;
    const double v = track.at(u * 100)[0] / 100;
    line(c, lastX, lastY, px(u), py(v), kCurve, 3);
    lastX = px(u);
    lastY = py(v);
  }
  for (double u : {0.0, 1.0}) c.fillRect({static_cast<int>(px(u)) - 4, static_cast<int>(py(u)) - 4, 9, 9}, kInk);
  c.drawText(title, {x, y - 10}, 15, kInk);
}

Track segment(Interpolation first, std::optional<BezierHandle> out, std::optional<BezierHandle> in) {
  return Track::keyed({Keyframe{0, {0, 0, 0, 0}, first, std::nullopt, out},
                       Keyframe{100, {100, 0, 0, 0}, Interpolation::Linear, in, std::nullopt}},
                      false);
}

void easing(const std::filesystem::path& file) {
  constexpr int kSize = 200, kGap = 50, kTop = 60;
  const struct {
    const char* title;
    Track track;
  } panels[] = {
      {"linear (default)", segment(Interpolation::Linear, {}, {})},
      {"hold", segment(Interpolation::Hold, {}, {})},
      {"ease out of the first key", segment(Interpolation::Linear, vask::host::kEaseOut, {})},
      {"ease into the second key", segment(Interpolation::Linear, {}, vask::host::kEaseIn)},
      {"ease in-out (both)", segment(Interpolation::Linear, vask::host::kEaseOut, vask::host::kEaseIn)},
      {"handles [0.6, 0] and [0.8, 1.25]", segment(Interpolation::Linear, BezierHandle{0.6, 0}, BezierHandle{0.8, 1.25})},
  };
  const int columns = 3, rows = 2;
  vask::host::World world(columns * (kSize + kGap) + kGap, rows * (kSize + kTop) + kGap);
  Canvas c(world.view()->data, world.width(), world.height(), world.rowbytes());
  c.fillRect(c.bounds(), kPaper);
  for (int i = 0; i < columns * rows; ++i) {
    panel(c, kGap + (i % columns) * (kSize + kGap), kTop - 10 + (i / columns) * (kSize + kTop), kSize,
          panels[i].title, panels[i].track);
  }
  c.drawText("value from the first key (0) to the second (1), over the time between them", {kGap, 24}, 15, kInk);
  vask::host::writePng(file, world);
}

// The axes in an oblique view, the relief's square in the X-Z plane, and
// which way the angle parameters turn things.
void coordinates(const std::filesystem::path& file) {
  vask::host::World world(880, 520);
  Canvas c(world.view()->data, world.width(), world.height(), world.rowbytes());
  c.fillRect(c.bounds(), kPaper);
  const double ox = 380, oy = 290, s = 170;
  auto project = [&](double x, double y, double z) {
    return std::pair{ox + s * (x - 0.45 * z), oy - s * (y - 0.3 * z)};
  };
  auto seg = [&](std::array<double, 3> a, std::array<double, 3> b, Pixel p, int t = 2) {
    const auto [x0, y0] = project(a[0], a[1], a[2]);
    const auto [x1, y1] = project(b[0], b[1], b[2]);
    line(c, x0, y0, x1, y1, p, t);
  };
  // The relief's square, y = 0 before scaling: corners at x, z = ±0.5.
  const Pixel square{255, 150, 150, 150};
  seg({-0.5, 0, -0.5}, {0.5, 0, -0.5}, square);
  seg({0.5, 0, -0.5}, {0.5, 0, 0.5}, square);
  seg({0.5, 0, 0.5}, {-0.5, 0, 0.5}, square);
  seg({-0.5, 0, 0.5}, {-0.5, 0, -0.5}, square);
  seg({-1.1, 0, 0}, {1.3, 0, 0}, kRed, 3);
  seg({0, -0.6, 0}, {0, 1.2, 0}, kGreen, 3);
  seg({0, 0, -1.3}, {0, 0, 1.3}, kBlue, 3);
  auto label = [&](std::array<double, 3> at, const std::string& text, Pixel p) {
    const auto [x, y] = project(at[0], at[1], at[2]);
    c.drawText(text, {static_cast<int>(x), static_cast<int>(y)}, 16, p);
  };
  label({1.32, 0.02, 0}, "+X  right", kRed);
  label({0.04, 1.22, 0}, "+Y  up: height (\"Y Scale\")", kGreen);
  label({-0.25, -0.12, 1.35}, "+Z  toward the default camera", kBlue);
  label({-1.45, 0.05, -0.5}, "image's top row (z = -0.5)", square);
  label({0.62, -0.12, 0.5}, "image's bottom row (z = +0.5)", square);
  c.drawText("Right-handed, Y up; units are the relief's width (1). Scene Render's camera starts at (0, 0, 4).",
             {20, 470}, 15, kInk);
  c.drawText("\"Left/Right\" turns about Y (+Z toward +X), \"Up/Down\" about the turned X axis, \"Vask\" rolls about Z.",
             {20, 496}, 15, kInk);
  vask::host::writePng(file, world);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DOCS_FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path docs = argv[1];
  easing(docs / "easing.png");
  coordinates(docs / "coordinates.png");
  return 0;
}
