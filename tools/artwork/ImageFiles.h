// Palette images and the files the generator writes: Windows bitmap files
// (4 and 8 bits per pixel) and PNG previews for looking at the artwork.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/artwork/Raster.h"

namespace artwork {

struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<Rgb8> palette;
    std::vector<std::uint8_t> indices;  // row by row, top row first
};

// The image in at most `maxColors` colours: exact when it has no more;
// otherwise its most frequent colours are kept exactly (the flat faces and
// borders of the buttons) and the rest are merged by median cut.
IndexedImage quantize(const std::vector<Rgb8>& pixels, int width, int height,
                      std::size_t maxColors);

// The image mapped onto a fixed palette, with 4 × 4 ordered dithering when
// `dither` is set (smooth gradients in few colours).
IndexedImage mapToPalette(const std::vector<Rgb8>& pixels, int width, int height,
                          const std::vector<Rgb8>& palette, bool dither);

// The decoded colours of an indexed image, to preview what the file holds.
std::vector<Rgb8> expand(const IndexedImage& image);

// A whole bitmap file: 14-byte file header, 40-byte information header, a
// full palette of 2^bitCount entries (unused entries black, used-colour
// count 0), rows bottom-up padded to 4 bytes. bitCount is 4 or 8.
std::vector<std::uint8_t> encodeBmp(const IndexedImage& image, int bitCount);

// An 8-bit RGB PNG (stored, uncompressed), each pixel drawn `scale` × `scale`.
std::vector<std::uint8_t> encodePng(const std::vector<Rgb8>& pixels, int width, int height,
                                    int scale);

}  // namespace artwork
