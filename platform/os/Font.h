// The drawing layer's font: one FreeType face of DejaVu Sans per process,
// loaded on first use. Internal to libvask_os; Canvas is its public face.
#pragma once

#include "platform/os/Canvas.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace vask::os::font {

// One rendered glyph: `rows` rows of `width` coverage bytes (0 … 255),
// `pitch` bytes apart, whose top-left pixel lies `left` pixels right of and
// `top` pixels above the glyph's pen position on the baseline.
struct GlyphImage {
    const std::uint8_t* coverage = nullptr;
    int width = 0;
    int rows = 0;
    int pitch = 0;
    int left = 0;
    int top = 0;
    int penX = 0;  // the pen position, pixels right of the text's start
};

using GlyphSink = std::function<void(const GlyphImage&)>;

// Lays out `utf8` at `pixelSize` and hands every glyph with ink to `sink`
// (which may be empty, to measure only). Returns the measures, or the reason
// it could not (the font, the size). Serialised: the face is shared.
TextResult layOut(std::string_view utf8, int pixelSize, const GlyphSink& sink);

// Replaces the font path and forgets the loaded face (empty: the default).
void setPath(std::string_view path);

}  // namespace vask::os::font
