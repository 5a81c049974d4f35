// vask: the host program.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/CliDesktop.h"
#include "host/ControlsCommand.h"
#include "host/InfoCommand.h"
#include "host/ModelCommand.h"
#include "host/ProjectCommands.h"
#include "host/studio/StudioCommand.h"

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

  vask::host::ControlsRequest controlsRequest;
  std::string controlsSave;
  CLI::App* controls = app.add_subcommand(
      "controls", "Draw an effect's custom controls to PNG, replaying pointer events on them");
  controls->add_option("project", controlsRequest.project, "Project file (JSON)")->required();
  controls->add_option("--layer", controlsRequest.layer, "The layer, by name")->required();
  controls->add_option("--effect", controlsRequest.effect, "The effect, 1-based in the layer's list")
      ->check(CLI::Range(1, 1000));
  controls->add_option("--frame", controlsRequest.frame, "Frame whose values the controls show")
      ->check(CLI::Range(0, 999999999));
  controls->add_option("--width", controlsRequest.width, "Width of the controls in pixels (300)")
      ->check(CLI::Range(1, 4096));
  controls->add_option("--out", controlsRequest.out, "The panel after the events (PNG)")->required();
  controls->add_option("--save", controlsSave, "Write the project with the new values here");
  controls->add_option("--plugins", pluginsDir,
                       "Folder of effect libraries (default: the folder of vask)");
  // The events, replayed in the order given.
  std::vector<std::string> tools, presses, drags, imports, targets;
  controls->add_option("--tool", tools,
                       "Press and release a tool's palette button: orbit, pan, dolly, "
                       "reset-camera, rotate, aim, move, scale, reset");
  controls->add_option("--press", presses, "Click at X,Y (pixels from the control's corner)");
  controls->add_option("--drag", drags, "Move to X,Y with the button down");
  int releases = 0, shifts = 0;
  controls->add_flag("--release", releases, "Let the button go");
  controls->add_flag("--shift", shifts, "Hold Shift for the events after this");
  controls->add_option("--control", targets,
                       "Send the events after this to a control: manipulator (default) or model");
  controls->add_option("--click-import", imports,
                       "Press the Model control's Import button and choose FILE");

  vask::host::StudioRequest studioRequest;
  bool studioNoOpen = false;
  CLI::App* studio = app.add_subcommand(
      "studio", "Edit a project live in a local web page: viewer, timeline, every effect's controls");
  studio->add_option("project", studioRequest.project, "Project file (JSON)")->required();
  studio->add_option("--port", studioRequest.port, "Port on 127.0.0.1 (default: a free one)")
      ->check(CLI::Range(0, 65535));
  studio->add_flag("--no-open", studioNoOpen, "Print the address without opening a browser");
  studio->add_option("--plugins", pluginsDir,
                     "Folder of effect libraries (default: the folder of vask)");

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

  if (controls->parsed()) {
    using Event = vask::host::ControlsEvent;
    std::map<const CLI::Option*, std::size_t> taken;
    for (const CLI::Option* option : controls->parse_order()) {
      const std::size_t k = taken[option]++;
      const std::string name = option->get_name();
      const auto& results = option->results();
      const std::string value = k < results.size() ? results[k] : std::string();
      Event e{Event::Kind::Release, value, {}};
      if (name == "--tool") {
        e.kind = Event::Kind::Tool;
      } else if (name == "--press" || name == "--drag") {
        e.kind = name == "--press" ? Event::Kind::Press : Event::Kind::Drag;
        std::string why;
        const auto p = vask::host::parsePoint(value, &why);
        if (!p) {
          std::cerr << "vask: " << name << ": " << why << "\n";
          return 1;
        }
        e.point = *p;
      } else if (name == "--release") {
        e.kind = Event::Kind::Release;
      } else if (name == "--shift") {
        e.kind = Event::Kind::Shift;
      } else if (name == "--control") {
        e.kind = Event::Kind::Control;
      } else if (name == "--click-import") {
        e.kind = Event::Kind::ClickImport;
      } else {
        continue;
      }
      controlsRequest.events.push_back(std::move(e));
    }
    controlsRequest.save = pathOption(controlsSave);
    controlsRequest.plugins = pathOption(pluginsDir);
    controlsRequest.answerOpenFile = [&desktop](const std::string& path) {
      desktop.queueOpenFileAnswer(path);
    };
    return vask::host::runControls(controlsRequest, std::cout, std::cerr);
  }
  if (studio->parsed()) {
    studioRequest.open = !studioNoOpen;
    studioRequest.plugins = pathOption(pluginsDir);
    return vask::host::runStudio(studioRequest, std::cout, std::cerr);
  }
  if (save->parsed()) {
    vask::host::SaveRequest request{project, saveOut, pathOption(pluginsDir)};
    return vask::host::runSave(request, std::cerr);
  }
  return 0;
}
