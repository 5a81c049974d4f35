// Pixel work on premultiplied worlds: laying one layer over another and
// resampling a layer to a new size.
#pragma once

#include <cstdint>

#include "host/World.h"

namespace vask::host {

// `top` over `bottom`, both premultiplied: each channel c becomes
// top.c + bottom.c × (255 − top.alpha) / 255, rounded to nearest.
PF_Pixel over(PF_Pixel top, PF_Pixel bottom);

// Lays `layer` over `target` with its top-left pixel at column x, row y of
// `target` (either may be negative or past the edge: only the overlap is
// touched).
void compositeOver(World& target, const World& layer, int32_t x, int32_t y);

// `source` resampled to width × height (each ≥ 1) with a tent filter:
// bilinear when enlarging, averaging over each output pixel's footprint when
// shrinking, so that neither blocks nor loses thin detail. Premultiplied
// pixels are filtered as they are, which keeps colour from bleeding out of
// transparent areas. The same size gives an exact copy.
World resample(const World& source, int32_t width, int32_t height);

}  // namespace vask::host
