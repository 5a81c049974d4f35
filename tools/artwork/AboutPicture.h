// The About box's picture: an abstract night scene, a relief grid in
// perspective lit by a spot light's cone. 125 × 153 pixels in 16 colours.
#pragma once

#include <vector>

#include "tools/artwork/ImageFiles.h"

namespace artwork {

inline constexpr int kAboutWidth = 125;
inline constexpr int kAboutHeight = 153;

// The picture in its 16-colour palette.
IndexedImage drawAboutPicture();

}  // namespace artwork
