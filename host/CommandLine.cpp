#include "host/CommandLine.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/CheckCommand.h"
#include "host/CliDesktop.h"
#include "host/ControlsCommand.h"
#include "host/InfoCommand.h"
#include "host/ModelCommand.h"
#include "host/ProjectCommands.h"
#include "host/studio/StudioCommand.h"
#include "vask/Version.h"

namespace vask::host {
namespace {

constexpr const char* kExitStatuses =
    "Exit status: 0 success; 1 the command failed (a \"vask: \" line says why; vask check: one line per\n"
    "problem); 2 the command line is wrong; 128 + N a render stopped by signal N (130: Ctrl-C).\n"
    "The project format, the commands and the farm job files: docs/ (installed in share/doc/vask).\n";

// CLI11's own range check says "Value x not in range"; ours says what is
// wrong with the text in the words the rest of vask's messages use.
CLI::Validator wholeNumber(int64_t lo, int64_t hi) {
  const std::string range = std::to_string(lo) + " … " + std::to_string(hi);
  return CLI::Validator(
      [lo, hi, range](std::string& text) -> std::string {
        int64_t n = 0;
        const char* end = text.data() + text.size();
        const auto [p, ec] = std::from_chars(text.data(), end, n);
        if (ec == std::errc::result_out_of_range || (ec == std::errc() && p == end && (n < lo || n > hi))) {
          return text + " is outside " + range;
        }
        if (ec != std::errc() || p != end) return "\"" + text + "\" is not a whole number (" + range + ")";
        return {};
      },
      range);
}

std::optional<std::filesystem::path> pathOption(const std::string& s) {
  if (s.empty()) return std::nullopt;
  return std::filesystem::path(s);
}

std::vector<std::filesystem::path> paths(const std::vector<std::string>& texts) {
  return {texts.begin(), texts.end()};
}

struct Verbosities {
  bool quiet = false, verbose = false;
  Verbosity level() const { return quiet ? Verbosity::Quiet : verbose ? Verbosity::Verbose : Verbosity::Normal; }
};

void addVerbosity(CLI::App* command, Verbosities& v) {
  auto* q = command->add_flag("-q,--quiet", v.quiet, "Print only warnings and failures");
  auto* loud = command->add_flag("-v,--verbose", v.verbose, "Also print where effects were found and every step");
  q->excludes(loud);
}

void addPlugins(CLI::App* command, std::vector<std::string>& folders) {
  command->add_option("--plugins", folders,
                      "Folder of effect libraries; repeat for more, earlier ones first (default: "
                      "$VASK_PLUGIN_PATH, then the installed effects or the folder of vask)");
}

// The help of `command` (the whole program's when it is `app`), its usage
// line naming the program as it is typed.
std::string helpOf(const CLI::App& app, const CLI::App* command) {
  if (command == &app) return app.get_formatter()->make_help(&app, "vask", CLI::AppFormatMode::Normal);
  std::string text = command->help();
  const std::string name = command->get_name();
  if (const auto at = text.find("Usage: " + name); at != std::string::npos) text.insert(at + 7, "vask ");
  return text;
}

// A usage failure: the reason, and where to read the usage.
int usage(std::ostream& err, const std::string& why, const std::string& command) {
  err << "vask: " << (command.empty() ? "" : command + ": ") << why << "\n"
      << "vask: run \"vask help" << (command.empty() ? "" : " " + command) << "\" for the usage\n";
  return kExitUsage;
}

}  // namespace

int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"vask " + std::string(kVersionText) +
               ": renders compositions through 3D effect plug-ins, and describes and drives the effects"};
  app.name("vask");
  app.require_subcommand(1);
  app.footer(kExitStatuses);
  app.set_version_flag("--version", std::string("vask ") + kVersionText, "Print the version and exit");
  app.set_help_flag("-h,--help", "Print this help and exit");

  std::string helpTopic;
  CLI::App* help = app.add_subcommand("help", "Print the commands, or one command's options");
  help->add_option("command", helpTopic, "The command to describe");

  std::string project, framesText, outPath, sizeText, saveOut;
  std::vector<std::string> pluginFolders;
  Verbosities verbosity;

  int threads = 0;
  int64_t startNumber = 0;
  bool timings = false, skipExisting = false;
  CLI::App* render = app.add_subcommand("render", "Render a project's frames to PNG files");
  render->add_option("project", project, "Project file (JSON)")->required();
  render->add_option("--frames", framesText,
                     "Frames to render (the first is 0): A, A-B, A-BxS (every S-th), or a comma-separated "
                     "list of these, such as 0-47x2 or 1,5,9-12; default all");
  render->add_option("--out", outPath,
                     "Output folder, or a file pattern with #### or %04d such as shots/sh010_####.png "
                     "(default out/<project name>/frame_####.png)");
  render->add_option("--start-number", startNumber,
                     "File number of frame 0: frame F is written as number F + N (default 0)")
      ->check(wholeNumber(0, 999999999));
  render->add_flag("--skip-existing", skipExisting, "Leave out frames whose file already exists");
  render->add_option("--size", sizeText, "Output size WxH; the layers are resampled to suit");
  render->add_option("--threads", threads, "Threads renderers may use")->check(wholeNumber(1, 1024));
  addPlugins(render, pluginFolders);
  render->add_flag("--timings", timings, "After rendering, print the time each stage of the frames took");
  addVerbosity(render, verbosity);

  CLI::App* check = app.add_subcommand(
      "check", "Load a project and everything it uses (every picture, sequence file, effect and value) "
               "without rendering; list every problem");
  check->add_option("project", project, "Project file (JSON)")->required();
  addPlugins(check, pluginFolders);
  addVerbosity(check, verbosity);

  CLI::App* save = app.add_subcommand(
      "save", "Write a project with every effect's flattened sequence data, as a host saves it; relative "
              "paths are rewritten to suit the new file's folder");
  save->add_option("project", project, "Project file (JSON)")->required();
  save->add_option("out", saveOut, "Project file to write")->required();
  addPlugins(save, pluginFolders);
  addVerbosity(save, verbosity);

  std::vector<std::string> files;
  CLI::App* info = app.add_subcommand("info", "Describe effect libraries: PiPL, version, flags, parameters");
  info->add_option("plugins", files, "Effect libraries (.so)")->required();

  std::string modelFile;
  bool modelJson = false;
  CLI::App* model = app.add_subcommand(
      "model", "Read a 3DMF model file and describe it: form, objects, bounds, placement, read time");
  model->add_option("file", modelFile, "3DMF file")->required();
  model->add_flag("--json", modelJson, "Print one JSON object");

  ControlsRequest controlsRequest;
  std::string controlsSave;
  CLI::App* controls = app.add_subcommand(
      "controls", "Draw an effect's custom controls to PNG, replaying pointer events on them");
  controls->add_option("project", controlsRequest.project, "Project file (JSON)")->required();
  controls->add_option("--layer", controlsRequest.layer, "The layer, by name")->required();
  controls->add_option("--effect", controlsRequest.effect, "The effect, 1-based in the layer's list")
      ->check(wholeNumber(1, 1000));
  controls->add_option("--frame", controlsRequest.frame, "Frame whose values the controls show")
      ->check(wholeNumber(0, 999999999));
  controls->add_option("--width", controlsRequest.width, "Width of the controls in pixels (300)")
      ->check(wholeNumber(1, 4096));
  controls->add_option("--out", controlsRequest.out, "The panel after the events (PNG)")->required();
  controls->add_option("--save", controlsSave, "Write the project with the new values here");
  addPlugins(controls, pluginFolders);
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
  controls->add_option("--click-import", imports, "Press the Model control's Import button and choose FILE");

  StudioRequest studioRequest;
  bool studioNoOpen = false;
  CLI::App* studio = app.add_subcommand(
      "studio", "Edit a project live in a local web page: viewer, timeline, every effect's controls");
  studio->add_option("project", studioRequest.project, "Project file (JSON)")->required();
  studio->add_option("--port", studioRequest.port, "Port on 127.0.0.1 (default: a free one)")
      ->check(CLI::Range(0, 65535));
  studio->add_flag("--no-open", studioNoOpen, "Print the address without opening a browser");
  addPlugins(studio, pluginFolders);

  // A first word that names no command is told as such, not as a stray
  // argument.
  if (argc > 1 && argv[1][0] != '-' && app.get_subcommands([&](const CLI::App* c) {
                                          return c->get_name() == argv[1];
                                        }).empty()) {
    return usage(err, "there is no command \"" + std::string(argv[1]) + "\"", "");
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    const auto parsed = app.get_subcommands();
    out << helpOf(app, parsed.empty() ? &app : parsed.front());
    return kExitSuccess;
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return kExitSuccess;
  } catch (const CLI::CallForVersion&) {
    out << "vask " << kVersionText << "\n";
    return kExitSuccess;
  } catch (const CLI::ParseError& e) {
    const auto parsed = app.get_subcommands();
    return usage(err, e.what(), parsed.empty() ? std::string() : parsed.front()->get_name());
  }

  if (help->parsed()) {
    if (helpTopic.empty()) {
      out << helpOf(app, &app);
      return kExitSuccess;
    }
    for (const CLI::App* command : app.get_subcommands({})) {
      if (command->get_name() == helpTopic) {
        out << helpOf(app, command);
        return kExitSuccess;
      }
    }
    return usage(err, "there is no command \"" + helpTopic + "\"", "");
  }

  // Plug-ins' message boxes become lines on stderr.
  CliDesktop desktop(err);
  os::ScopedDesktop scoped(desktop);
  const auto plugins = paths(pluginFolders);

  if (info->parsed()) return runInfo(paths(files), out, err);
  if (model->parsed()) return runModel(modelFile, modelJson, out, err);
  if (check->parsed()) return runCheck(CheckRequest{project, plugins, verbosity.level()}, out, err);
  if (studio->parsed()) {
    studioRequest.open = !studioNoOpen;
    studioRequest.plugins = plugins;
    return runStudio(studioRequest, out, err);
  }
  if (save->parsed()) return runSave(SaveRequest{project, saveOut, plugins, verbosity.level()}, err);
  if (render->parsed()) {
    RenderRequest request;
    request.project = project;
    std::string why;
    if (!framesText.empty() && !(request.frames = parseFrameList(framesText, &why))) {
      return usage(err, "--frames: " + why, "render");
    }
    if (!sizeText.empty() && !(request.size = parseSize(sizeText, &why))) {
      return usage(err, "--size: " + why, "render");
    }
    request.out = pathOption(outPath);
    request.startNumber = startNumber;
    request.skipExisting = skipExisting;
    if (threads > 0) request.threads = threads;
    request.plugins = plugins;
    request.progressBar = &err == &std::cerr && ::isatty(STDERR_FILENO) != 0;
    request.verbosity = verbosity.level();
    request.timings = timings;
    return runRender(request, out, err);
  }
  if (controls->parsed()) {
    using Event = ControlsEvent;
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
        const auto p = parsePoint(value, &why);
        if (!p) return usage(err, name + ": " + why, "controls");
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
    controlsRequest.plugins = plugins;
    controlsRequest.answerOpenFile = [&desktop](const std::string& path) { desktop.queueOpenFileAnswer(path); };
    return runControls(controlsRequest, out, err);
  }
  return kExitSuccess;
}

}  // namespace vask::host
