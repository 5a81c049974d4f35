// Tiles frames into one contact-sheet PNG, each scaled down by box filtering:
//     vask_contact_sheet OUT.png COLUMNS SCALE FRAME.png...
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "host/PngImage.h"
#include "host/World.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s OUT.png COLUMNS SCALE FRAME.png...\n", argv[0]);
    return 2;
  }
  const int columns = std::max(1, std::atoi(argv[2]));
  const int scale = std::max(1, std::atoi(argv[3]));
  try {
    std::vector<vask::host::World> frames;
    for (int i = 4; i < argc; ++i) frames.push_back(vask::host::readPng(argv[i]));
    const int fw = frames[0].width() / scale, fh = frames[0].height() / scale;
    const int rows = (static_cast<int>(frames.size()) + columns - 1) / columns;
    const int gap = 4;
    vask::host::World sheet(columns * (fw + gap) + gap, rows * (fh + gap) + gap);
    sheet.fill(PF_Pixel{255, 24, 24, 28});
    for (std::size_t k = 0; k < frames.size(); ++k) {
      const vask::host::World& f = frames[k];
      const int ox = gap + static_cast<int>(k) % columns * (fw + gap);
      const int oy = gap + static_cast<int>(k) / columns * (fh + gap);
      for (int y = 0; y < fh; ++y)
        for (int x = 0; x < fw; ++x) {
          unsigned a = 0, r = 0, g = 0, b = 0, n = 0;
          for (int sy = 0; sy < scale; ++sy)
            for (int sx = 0; sx < scale; ++sx) {
              const int px = x * scale + sx, py = y * scale + sy;
              if (px >= f.width() || py >= f.height()) continue;
              const PF_Pixel p = f.at(px, py);
              a += p.alpha, r += p.red, g += p.green, b += p.blue, ++n;
            }
          if (n == 0) continue;
          sheet.at(ox + x, oy + y) = PF_Pixel{static_cast<uint8_t>(a / n), static_cast<uint8_t>(r / n),
                                              static_cast<uint8_t>(g / n), static_cast<uint8_t>(b / n)};
        }
    }
    vask::host::writePng(argv[1], sheet);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "vask_contact_sheet: %s\n", e.what());
    return 1;
  }
  return 0;
}
