// The bytes of a PNG file for a World, made fast: rendered frames are
// encoded once per frame, on a writer thread that shares the machine with
// the render.
//
// The file is 8-bit RGBA with straight (un-premultiplied) colour, every row
// Sub-filtered, the image data one zlib stream compressed by libdeflate at
// its fastest level. On rendered full-HD frames that is about twice as fast
// as zlib at level 2, for files about a tenth smaller; zlib's own level 1
// was no faster than its level 2, and the other filters cost more time than
// they saved in size.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "host/World.h"

struct libdeflate_compressor;

namespace vask::host {

class PngEncoder {
 public:
  // Throws std::bad_alloc.
  PngEncoder();
  ~PngEncoder();
  PngEncoder(const PngEncoder&) = delete;
  PngEncoder& operator=(const PngEncoder&) = delete;

  // The file for `world` (at least 1 × 1): valid until the next call. The
  // buffers are kept from call to call, so encoding frames of one size
  // allocates nothing after the first. Throws std::bad_alloc.
  std::span<const uint8_t> encode(const World& world);

 private:
  libdeflate_compressor* compressor_;
  std::vector<uint8_t> filtered_;  // the filtered rows, each led by its filter byte
  std::vector<uint8_t> file_;
};

}  // namespace vask::host
