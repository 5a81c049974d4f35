// Colours as a project writes them.
//
// Format 2 (the current format):
//   "#rrggbb", "#rrggbbaa"            hexadecimal bytes
//   [r, g, b], [r, g, b, a]           whole numbers 0 … 255
//   {"r": …, "g": …, "b": …, "a": …}  numbers 0 … 1 ("a" optional)
// Alpha is 255 (1) when not given. Anything else is refused: a fraction in
// an array, a number outside its range, a member other than r, g, b, a. A
// colour that could mean two things is never guessed at.
//
// Format 1 (read as it always was, so that saved projects keep their look):
//   "#rrggbb", [r, g, b] and [a, r, g, b] (alpha first), each number rounded
//   to a whole one and clamped to 0 … 255.
#pragma once

#include <string>
#include <vector>

#include "host/Project.h"

namespace vask::host {

// The straight colour `value` stands for in a document of `format` (1 or 2).
// Format 1 clamps out-of-range numbers, describing each clamp in `warnings`;
// format 2 adds nothing to `warnings`. Throws ProjectError with just the
// reason (the caller names the place).
PF_Pixel parseColour(const Json& value, int format, std::vector<std::string>* warnings);

// Whether a format-1 `value` looks written for 0 … 1 ([1.0, 0.94, 0.85]):
// an array whose numbers all lie within 0 … 1 and are not all whole. Format 1
// reads such a colour as almost black, which is never what was meant.
bool looksLikeUnitColour(const Json& value);

}  // namespace vask::host
