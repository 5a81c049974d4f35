// PNG files in and out of worlds.
//
// Inside the host a picture is a World of premultiplied alpha-red-green-blue
// pixels; on disk it is an 8-bit RGBA PNG with straight (un-premultiplied)
// colour. Reading accepts any PNG libpng reads (grey, palette, 1 to 16 bits,
// with or without alpha or a transparency chunk, interlaced or not) and gives
// the values as stored: the file's gamma, chromaticity, sRGB and ICC chunks
// are not applied, as compositing hosts do by default, so that a height
// field's numbers arrive as the heights they are. 16-bit samples become
// 8-bit by v × 255 / 65535, rounded; sub-byte grey is scaled to 0 … 255.
#pragma once

#include <filesystem>
#include <span>
#include <vector>

#include "host/World.h"

namespace vask::host {

// Largest picture read, in pixels (a 16384 × 16384 image); larger files are
// refused before any pixel memory is taken.
inline constexpr uint64_t kMaxPngPixels = uint64_t{1} << 28;

// True when `bytes` start with the PNG signature.
bool isPng(std::span<const std::byte> bytes);

struct PngSize {
  int32_t width = 0, height = 0;
};

// The size of the PNG at `path` from its header, without decoding pixels.
// Throws HostError as readPng does.
PngSize readPngSize(const std::filesystem::path& path);

// The picture at `path`, premultiplied. Throws HostError starting with the
// path: the file cannot be opened (the system's reason), is not a PNG, is
// damaged (libpng's reason), or is larger than kMaxPngPixels or World::kMaxSide.
World readPng(const std::filesystem::path& path);

// Writes `world` to `path` as 8-bit RGBA, un-premultiplying each pixel (a
// pixel of alpha 0 is written as transparent black). Writes a temporary file
// beside `path` and renames it, so `path` never names a partial file. Throws
// HostError naming `path` when it cannot be written.
void writePng(const std::filesystem::path& path, const World& world);

// `world` as the bytes of the PNG file writePng would write. Throws
// HostError for an empty world.
std::vector<std::byte> encodePng(const World& world);

// The premultiplied pixel of a straight colour, and back. Rounded to nearest;
// unpremultiply of alpha 0 gives transparent black.
PF_Pixel premultiply(PF_Pixel straight);
PF_Pixel unpremultiply(PF_Pixel premultiplied);

}  // namespace vask::host
