// `vask model FILE [--json]`: reads a 3DMF file through the scene library
// and describes it: its form, its top-level objects, what was posted while
// reading, its bounds, the centre and scale a File Object would store, its
// triangle mesh totals and the read time.
#pragma once

#include <filesystem>
#include <ostream>

namespace vask::host {

// Describes `file` on `out` (one JSON object with `json`). A file that
// cannot be opened or read gives one line on `err` naming the file and the
// error (its QuickDraw 3D name for reading errors) and returns 1; else 0.
int runModel(const std::filesystem::path& file, bool json, std::ostream& out, std::ostream& err);

}  // namespace vask::host
