// `vask check PROJECT`: everything a render would load, without rendering,
// so that a long render or a farm job does not fail at its thousandth frame.
#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

#include "host/ProjectCommands.h"

namespace vask::host {

struct CheckRequest {
  std::filesystem::path project;
  std::vector<std::filesystem::path> plugins;  // defaultPluginFolders() when empty
  Verbosity verbosity = Verbosity::Normal;
};

// Checks the project, every layer's picture and every sequence file a frame
// of the composition shows (each decoded, each the size of the sequence's
// first), every effect (found, loaded, and its parameter values bound) and,
// when all that is sound, the whole composition set up as a render sets it
// up (saved sequence data included). Prints each problem as a "vask: " line
// to `err`, going on past it wherever anything is left to check (missing
// sequence files as ranges), then a count; warnings as "vask: warning: "
// lines. A clean check prints one line to `out` (nothing when Quiet; every
// picture checked too when Verbose). Returns 0 when nothing is wrong, 1
// otherwise. Never writes a file.
int runCheck(const CheckRequest& request, std::ostream& out, std::ostream& err);

}  // namespace vask::host
