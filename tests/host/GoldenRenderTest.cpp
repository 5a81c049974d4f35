// A whole composition rendered by the host through the real effects and the
// Scene Render effect, compared with a committed picture: a relief raised
// from a gradient-and-bump height field, a spot light and a visible point
// light, seen from above at an angle with four samples per pixel.
//
// Tolerance: at most 0.5 % of the pixels may differ by more than 2 levels in
// any channel (the rasteriser is deterministic; the margin is for compilers'
// floating-point contraction). VASK_UPDATE_GOLDEN=1 rewrites the picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "host/PngImage.h"
#include "host/ProjectCommands.h"
#include "tests/host/HostTestSupport.h"

namespace vask::host {
namespace {

std::filesystem::path sourceDir() {
  return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
}

TEST(GoldenRender, ReliefUnderTwoLightsMatchesThePicture) {
  test::TempDir dir;
  World heights(48, 27);
  for (int y = 0; y < 27; ++y)
    for (int x = 0; x < 48; ++x) {
      const double bump = std::exp(-((x - 30) * (x - 30) + (y - 12) * (y - 12)) / 40.0);
      const auto g = static_cast<uint8_t>(std::lround(60 + 80.0 * x / 47 + 110 * bump));
      heights.at(x, y) = PF_Pixel{255, g, g, g};
    }
  writePng(dir.path() / "heights.png", heights);
  const auto project = dir.write("golden.json", std::string(R"({
    "format": 1,
    "composition": {"width": 96, "height": 54, "frame_rate": 24, "frames": 1, "background": "#000000"},
    "layers": [
      {"name": "Heights", "image": "heights.png", "visible": false},
      {"name": "Relief", "solid": [0, 0, 0, 0], "width": 8, "height": 8, "effects": [
        {"effect": "HALV VASKSHAPEMESH1", "params": {"Height Field": "Heights", "Smooth": true,
          "Color": [200, 180, 140], "X Scale": 2, "Z Scale": 1.2, "Y Scale": 0.5}}]},
      {"name": "Lights", "solid": [0, 0, 0, 0], "width": 8, "height": 8, "effects": [
        {"effect": "HALV VASKSPOT1", "params": {"X Position": 0, "Y Position": 1.2, "Z Position": 1.2,
          "Left/Right": 180, "Up/Down": -50, "Hot Angle": 25, "Outer Angle": 45, "Fall Off": "Linear"}},
        {"effect": "HALV VASKPNT1", "params": {"X Position": 0.8, "Y Position": 0.5, "Z Position": 0.3,
          "Intensity": 0.5, "Color": [120, 160, 255], "Visible": true}}]},
      {"name": "Camera", "solid": [255, 8, 10, 14], "effects": [
        {"effect": "HALV VASKSCENERENDER1", "params": {"Camera Y": 1.6, "Camera Z": 2.2,
          "Field of View": 40, "Antialiasing": "4 Samples"}}]}
    ]})"));
  RenderRequest r;
  r.project = project;
  r.out = dir.path() / "out";
  r.plugins = test::pluginFolders();
  std::ostringstream out, err;
  ASSERT_EQ(runRender(r, out, err), 0) << err.str();
  const World got = readPng(dir.path() / "out" / "frame_0000.png");

  const auto golden = sourceDir() / "tests/data/golden/e2e_relief.png";
  if (std::getenv("VASK_UPDATE_GOLDEN")) writePng(golden, got);
  const World want = readPng(golden);
  ASSERT_EQ(got.width(), want.width());
  ASSERT_EQ(got.height(), want.height());
  int differing = 0, lit = 0;
  for (int y = 0; y < got.height(); ++y)
    for (int x = 0; x < got.width(); ++x) {
      const PF_Pixel a = got.at(x, y), b = want.at(x, y);
      const int d = std::max({std::abs(a.alpha - b.alpha), std::abs(a.red - b.red),
                              std::abs(a.green - b.green), std::abs(a.blue - b.blue)});
      differing += d > 2;
      lit += a.red + a.green + a.blue > 120;
    }
  EXPECT_LE(differing, got.width() * got.height() / 200);
  EXPECT_GT(lit, got.width() * got.height() / 10) << "the relief fills part of the frame";
}

}  // namespace
}  // namespace vask::host
