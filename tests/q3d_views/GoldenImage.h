// Golden pictures: 8-bit RGB PNG files under tests/data/golden/ that a
// rendered pixmap is compared with, and how a test rewrites them.
//
// A test renders, then calls expectMatchesGolden(name, pixmap, tolerance).
// With VASK_UPDATE_GOLDEN=1 in the environment the picture is written to
// the golden folder instead (look at it before committing it). On a
// mismatch the rendered picture is written next to the test's temporary
// files and its path printed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/q3d/QD3D.h"

namespace viewtest {

struct RgbImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;  // rows top first, 3 bytes per pixel
};

// The colour channels of a 32-bit pixmap (RGB32 or ARGB32, either order).
RgbImage fromPixmap(const TQ3Pixmap& pixmap);

// Reads an 8-bit RGB or RGBA PNG (alpha dropped); false with `error` set.
bool readPng(const std::string& path, RgbImage& image, std::string& error);
// Writes an 8-bit RGB PNG; false with `error` set.
bool writePng(const std::string& path, const RgbImage& image, std::string& error);

// How close a picture must be: at most `maxDifferingPixels` pixels may have a
// channel more than `channelTolerance` away from the golden one. Rendering is
// deterministic; the slack covers floating-point differences between
// compilers and build types on edge pixels.
struct Tolerance {
    uint32_t channelTolerance = 2;
    uint64_t maxDifferingPixels = 0;
};

// GoogleTest expectations against tests/data/golden/<name>.png.
void expectMatchesGolden(const std::string& name, const RgbImage& image, Tolerance tolerance);

}  // namespace viewtest
