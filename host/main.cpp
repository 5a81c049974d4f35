// vask: the host program.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "host/InfoCommand.h"

int main(int argc, char** argv) {
  CLI::App app{"vask: runs effect plug-ins over compositions"};
  app.require_subcommand(1);

  std::vector<std::string> files;
  CLI::App* info =
      app.add_subcommand("info", "Describe effect libraries: PiPL, version, flags, parameters");
  info->add_option("plugins", files, "Effect libraries (.so)")->required();

  CLI11_PARSE(app, argc, argv);

  if (info->parsed()) {
    std::vector<std::filesystem::path> paths(files.begin(), files.end());
    return vask::host::runInfo(paths, std::cout, std::cerr);
  }
  return 0;
}
