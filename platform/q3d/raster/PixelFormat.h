// 32-bit pixel words in memory. Internal to the renderer.
//
// A pixel is the 32-bit value 0xAARRGGBB (RGB32 keeps its top byte spare);
// kQ3EndianLittle stores it as the bytes b, g, r, a, kQ3EndianBig as a, r, g,
// b. Pixel rows need not be 4-byte aligned, so words go through memcpy.
#pragma once

#include "platform/q3d/QD3D.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace q3d::raster::detail {

// True when words of this byte order must be byte-swapped against the host's.
inline bool needsByteSwap(TQ3Endian order) {
    return (order == kQ3EndianBig) != (std::endian::native == std::endian::big);
}

inline void storeWord(uint8_t* at, uint32_t word) { std::memcpy(at, &word, 4); }

}  // namespace q3d::raster::detail
