// The content of the example models: one object of every kind the reader
// draws, laid out in a row, written in any form.
#pragma once

#include "tools/models/ModelWriter.h"

namespace vask::models {

// Every geometry kind, with attribute sets, a texture, transforms, a group,
// a reference through a table of contents and a custom type. Finishes the
// file (its table of contents is written last).
void writeGallery(ModelWriter& w);

// A small rocket: cylinder body, cone nose, torus ring, box fins, in one
// display group. Finishes the file.
void writeRocket(ModelWriter& w);

}  // namespace vask::models
