// vask: the host program.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "host/CliDesktop.h"
#include "host/InfoCommand.h"
#include "host/ModelCommand.h"
#include "host/ProjectCommands.h"

namespace {

std::optional<std::filesystem::path> pathOption(const std::string& s) {
  if (s.empty()) return std::nullopt;
  return std::filesystem::path(s);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"vask: runs effect plug-ins over compositions"};
  app.require_subcommand(1);

  std::vector<std::string> files;
  CLI::App* info =
      app.add_subcommand("info", "Describe effect libraries: PiPL, version, flags, parameters");
  info->add_option("plugins", files, "Effect libraries (.so)")->required();

  std::string project, framesText, outDir, sizeText, pluginsDir;
  int threads = 0;
  CLI::App* render = app.add_subcommand("render", "Render a project's frames to PNG files");
  render->add_option("project", project, "Project file (JSON)")->required();
  render->add_option("--frames", framesText,
                     "Frames to render: A-B (inclusive, the first frame is 0) or one frame A");
  render->add_option("--out", outDir, "Output folder (default out/<project name>)");
  render->add_option("--size", sizeText, "Output size WxH; the layers are resampled to suit");
  render->add_option("--threads", threads, "Threads renderers may use")
      ->check(CLI::Range(1, 1024));
  render->add_option("--plugins", pluginsDir,
                     "Folder of effect libraries (default: the folder of vask)");
  bool timings = false;
  render->add_flag("--timings", timings,
                   "After rendering, print the time each stage of the frames took");

  std::string saveOut;
  CLI::App* save = app.add_subcommand(
      "save", "Write a project with every effect's flattened sequence data, as a host saves it");
  save->add_option("project", project, "Project file (JSON)")->required();
  save->add_option("out", saveOut, "Project file to write")->required();
  save->add_option("--plugins", pluginsDir,
                   "Folder of effect libraries (default: the folder of vask)");

  std::string modelFile;
  bool modelJson = false;
  CLI::App* model = app.add_subcommand(
      "model", "Read a 3DMF model file and describe it: form, objects, bounds, placement, read time");
  model->add_option("file", modelFile, "3DMF file")->required();
  model->add_flag("--json", modelJson, "Print one JSON object");

  CLI11_PARSE(app, argc, argv);

  // Plug-ins' message boxes become lines on stderr.
  vask::host::CliDesktop desktop(std::cerr);
  vask::os::ScopedDesktop scoped(desktop);

  if (info->parsed()) {
    std::vector<std::filesystem::path> paths(files.begin(), files.end());
    return vask::host::runInfo(paths, std::cout, std::cerr);
  }
  if (render->parsed()) {
    vask::host::RenderRequest request;
    request.project = project;
    std::string why;
    if (!framesText.empty() && !(request.frames = vask::host::parseFrameRange(framesText, &why))) {
      std::cerr << "vask: --frames: " << why << "\n";
      return 1;
    }
    if (!sizeText.empty() && !(request.size = vask::host::parseSize(sizeText, &why))) {
      std::cerr << "vask: --size: " << why << "\n";
      return 1;
    }
    request.out = pathOption(outDir);
    if (threads > 0) request.threads = threads;
    request.plugins = pathOption(pluginsDir);
    request.progressBar = ::isatty(STDERR_FILENO) != 0;
    request.timings = timings;
    return vask::host::runRender(request, std::cout, std::cerr);
  }
  if (model->parsed()) return vask::host::runModel(modelFile, modelJson, std::cout, std::cerr);
  if (save->parsed()) {
    vask::host::SaveRequest request{project, saveOut, pathOption(pluginsDir)};
    return vask::host::runSave(request, std::cerr);
  }
  return 0;
}
