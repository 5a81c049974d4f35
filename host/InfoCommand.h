// `vask info PLUGIN.so...`: what the host knows of each effect library.
#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

namespace vask::host {

// For each file: its PiPL, then (after global setup and params setup) the
// version and out flags reported at run time and the declared parameter
// table, then global setdown. Descriptions go to `out`, failures to `err`;
// every file is reported even after a failure. Returns 0 when every file was
// described without error, 1 otherwise.
int runInfo(const std::vector<std::filesystem::path>& files, std::ostream& out, std::ostream& err);

}  // namespace vask::host
