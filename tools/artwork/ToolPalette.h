// The tool palette's button artwork: eight button pictures side by side, each
// in three looks (normal, pressed or selected, disabled) stacked in rows.
#pragma once

#include <array>

#include "tools/artwork/Raster.h"

namespace artwork {

// Cell geometry shared with the palette widget: neighbouring cells share
// their 1-pixel border line, so image i starts at x = 25 × i and the looks at
// y = 0, 21 and 42.
inline constexpr int kCellWidth = 26;
inline constexpr int kCellHeight = 22;
inline constexpr int kOverlap = 1;
inline constexpr int kButtons = 8;
inline constexpr int kLooks = 3;
inline constexpr int kPaletteWidth = kButtons * (kCellWidth - kOverlap) + kOverlap;  // 201
inline constexpr int kPaletteHeight = kLooks * (kCellHeight - kOverlap) + kOverlap;  // 64

// The colour of every cell's outer border line.
inline constexpr std::uint32_t kBorderColor = 0x3C3C3C;

enum class Glyph {
    OrbitCamera,
    PanCamera,
    DollyCamera,
    ResetCamera,
    RotateObject,
    MoveObject,
    ScaleObject,
    ResetObject,
    AimSpotLight,
    MoveSpotLight,
    ResetSpotLight,
    MovePointLight,
    ResetPointLight,
    None,  // a plain button face, for a button without an action
};

// The whole palette bitmap for the eight glyphs, 201 × 64, opaque.
Layer drawToolPalette(const std::array<Glyph, kButtons>& glyphs);

}  // namespace artwork
