// `vask studio PROJECT [--port N] [--no-open]`: the project opened live in a
// local web page (host/studio/StudioServer.h), until Ctrl-C or SIGTERM.
#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

namespace vask::host {

struct StudioRequest {
  std::filesystem::path project;
  int port = 0;        // 0: a free port
  bool open = true;    // open the page in the default browser (xdg-open)
  std::vector<std::filesystem::path> plugins;  // defaultPluginFolders() when empty
};

// Starts the studio, prints its address (with the token) to `out`, and
// serves until the process is asked to stop. Returns 0, or 1 after printing
// why to `err` (the project does not load, the port cannot be had).
int runStudio(const StudioRequest& request, std::ostream& out, std::ostream& err);

}  // namespace vask::host
