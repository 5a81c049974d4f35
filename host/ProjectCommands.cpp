#include "host/ProjectCommands.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "host/AtomicFile.h"
#include "host/Composition.h"
#include "host/FrameWriter.h"
#include "host/HostError.h"
#include "host/Interruption.h"
#include "host/PluginCatalog.h"
#include "host/PngImage.h"
#include "host/Project.h"
#include "host/ProjectPaths.h"

namespace vask::host {
namespace {

using Clock = std::chrono::steady_clock;

bool wholeNumber(std::string_view s, int64_t max, int64_t& out) {
  if (s.empty() || s.size() > 18) return false;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > max) return false;
  out = v;
  return true;
}

void printWarnings(const std::vector<std::string>& warnings, std::ostream& err) {
  for (const auto& w : warnings) err << "vask: warning: " << w << "\n";
}

PluginCatalog catalogFor(const std::vector<std::filesystem::path>& plugins, Verbosity verbosity,
                         std::ostream& err) {
  PluginCatalog catalog = PluginCatalog::scan(plugins.empty() ? defaultPluginFolders() : plugins);
  printWarnings(catalog.warnings(), err);
  if (verbosity == Verbosity::Verbose) {
    err << "vask: effects from " << catalog.foldersText() << ": " << catalog.matchNames().size() << " found\n";
  }
  return catalog;
}

// Builds the composition, printing the warnings gathered even when it fails.
std::unique_ptr<Composition> compose(Project project, const PluginCatalog& catalog,
                                     const CompositionOptions& options, std::ostream& err) {
  std::vector<std::string> warnings;
  try {
    auto c = std::make_unique<Composition>(std::move(project), catalog, options, warnings);
    printWarnings(warnings, err);
    return c;
  } catch (...) {
    printWarnings(warnings, err);
    throw;
  }
}

// Makes sure frames can be written into `folder` before any is rendered.
void prepareFolder(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    throw HostError(folder.string() + ": cannot create the output folder: " + ec.message());
  }
  if (!std::filesystem::is_directory(folder, ec)) {
    throw HostError(folder.string() + ": the output folder is not a folder");
  }
  const auto probe = folder / (".vask-probe-" + std::to_string(::getpid()));
  try {
    replaceFileWithText(probe, "");
  } catch (const HostError& e) {
    throw HostError(folder.string() + ": cannot write into the output folder: " + e.what());
  }
  std::filesystem::remove(probe, ec);
}

bool samePlace(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  const auto ca = std::filesystem::weakly_canonical(a, ec);
  if (ec) return false;
  const auto cb = std::filesystem::weakly_canonical(b, ec);
  return !ec && ca == cb;
}

// Refuses a render whose frames would land on a file the project reads: its
// own file, a layer's picture, or any file of a layer's numbered sequence.
// Rendering into the folder of the pictures is common; overwriting one of
// them loses the user's input for good.
void refuseOverwritingInputs(const Project& project, const std::filesystem::path& folder,
                             const std::vector<std::filesystem::path>& outputs) {
  for (const auto& out : outputs) {
    auto refuse = [&](const std::string& what) {
      throw HostError(out.string() + ": a frame would be written over " + what +
                      "; choose another output folder (--out)");
    };
    if (samePlace(out, project.file)) refuse("the project file");
    for (std::size_t i = 0; i < project.layers.size(); ++i) {
      const ProjectLayer& l = project.layers[i];
      if (l.kind == LayerKind::Image && samePlace(out, l.file))
        refuse("the picture of " + describeLayer(l, i));
      if (l.kind == LayerKind::Sequence && l.sequence->matches(out.filename().string()) &&
          samePlace(folder, l.folder))
        refuse("a picture of the sequence of " + describeLayer(l, i));
    }
  }
}

// Removes the temporary files that an earlier render into `folder` left when
// it was killed (its own naming, whatever the output pattern:
// ".NAME.png.tmp-PID-N", or the write probe ".vask-probe-PID"), when the
// process that made them is gone. Returns how many it removed.
int removeStaleTemporaries(const std::filesystem::path& folder) {
  int removed = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] != '.') continue;
    std::size_t pidAt;
    if (name.starts_with(".vask-probe-")) {
      pidAt = std::string(".vask-probe-").size();
    } else {
      const auto tmp = name.rfind(".png.tmp-");
      if (tmp == std::string::npos) continue;
      pidAt = tmp + std::string(".png.tmp-").size();
    }
    const std::string rest = name.substr(pidAt);
    const std::string pidText = rest.substr(0, rest.find('-'));
    int64_t pid = 0;
    if (!wholeNumber(pidText, 1 << 30, pid) || pid <= 0) continue;
    if (pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    if (!entry.is_regular_file(ec)) continue;
    if (std::filesystem::remove(entry.path(), ec)) ++removed;
  }
  return removed;
}

std::string signalName(int signal) {
  return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "signal " + std::to_string(signal);
}

std::string clockText(double seconds) {
  const auto s = static_cast<long long>(seconds + 0.5);
  char buf[32];
  if (s >= 3600) {
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(buf, sizeof buf, "%lld:%02lld", s / 60, s % 60);
  }
  return buf;
}

class Progress {
 public:
  Progress(std::ostream& err, int64_t total, bool bar, bool quiet)
      : err_(err), total_(total), bar_(bar), quiet_(quiet), start_(Clock::now()) {}

  void frameWritten(int64_t frame, const std::filesystem::path& file) {
    ++done_;
    if (quiet_) return;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    const double fps = elapsed > 0 ? done_ / elapsed : 0;
    if (!bar_) {
      err_ << "frame " << frame << " (" << done_ << " of " << total_ << ") written to "
           << file.string() << "\n";
      return;
    }
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(kWidth * done_ / total_);
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", fps);
    err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kWidth - filled), '.') << "] " << done_ << "/"
         << total_ << " frames  " << rate << " fps  "
         << (fps > 0 ? clockText((total_ - done_) / fps) : std::string("--:--")) << " left ";
    if (done_ == total_) err_ << "\n";
    err_.flush();
  }

  // Ends a bar cut short, so that the error starts on a line of its own.
  void interrupted() {
    if (bar_ && !quiet_ && done_ > 0 && done_ < total_) err_ << "\n";
  }

 private:
  std::ostream& err_;
  int64_t total_, done_ = 0;
  bool bar_, quiet_;
  Clock::time_point start_;
};

}  // namespace

int prepareRenderFolder(const Project& project, const std::filesystem::path& folder,
                        const std::vector<std::filesystem::path>& outputs) {
  prepareFolder(folder);
  const int removed = removeStaleTemporaries(folder);
  refuseOverwritingInputs(project, folder, outputs);
  return removed;
}

std::optional<std::pair<int64_t, int64_t>> parseFrameRange(std::string_view text, std::string* why) {
  const auto dash = text.find('-');
  int64_t a = 0, b = 0;
  const bool ok = dash == std::string_view::npos
                      ? wholeNumber(text, 999999999, a) && (b = a, true)
                      : wholeNumber(text.substr(0, dash), 999999999, a) &&
                            wholeNumber(text.substr(dash + 1), 999999999, b);
  if (!ok) {
    if (why) *why = "\"" + std::string(text) + "\" is not a frame range such as 0-47 or 12";
    return std::nullopt;
  }
  if (a > b) {
    if (why) *why = "frame range \"" + std::string(text) + "\" ends before it starts";
    return std::nullopt;
  }
  return std::pair{a, b};
}

std::optional<std::vector<int64_t>> parseFrameList(std::string_view text, std::string* why) {
  auto bad = [&](const std::string& reason) -> std::optional<std::vector<int64_t>> {
    if (why) *why = reason;
    return std::nullopt;
  };
  const std::string example = " is not a frame list such as 0-47, 12, 0-47x2 or 1,5,9-12";
  if (text.empty()) return bad("\"\"" + example);
  std::vector<int64_t> frames;
  std::string_view rest = text;
  while (true) {
    const auto comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    std::string_view range = item;
    int64_t step = 1;
    if (const auto x = item.find('x'); x != std::string_view::npos) {
      range = item.substr(0, x);
      if (range.find('-') == std::string_view::npos || !wholeNumber(item.substr(x + 1), 999999999, step) ||
          step < 1) {
        return bad("\"" + std::string(item) + "\"" + example + " (a step follows a range: A-BxS, S ≥ 1)");
      }
    }
    std::string reason;
    const auto r = parseFrameRange(range, &reason);
    if (!r) {
      return bad(reason.find("ends before") != std::string::npos ? reason
                                                                  : "\"" + std::string(item) + "\"" + example);
    }
    for (int64_t f = r->first; f <= r->second; f += step) {
      if (frames.size() >= kMaxListedFrames) {
        return bad("\"" + std::string(text) + "\" lists more than " + std::to_string(kMaxListedFrames) +
                   " frames");
      }
      frames.push_back(f);
    }
    if (comma == std::string_view::npos) break;
    rest = rest.substr(comma + 1);
  }
  std::sort(frames.begin(), frames.end());
  frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
  return frames;
}

FrameOutput frameOutput(const std::optional<std::filesystem::path>& out, const std::string& projectName,
                        int64_t startNumber, int64_t lastNumber) {
  const std::filesystem::path given = out ? *out : std::filesystem::path("out") / projectName;
  const std::string name = given.filename().string();
  if (name.find('#') != std::string::npos || name.find('%') != std::string::npos) {
    std::string why;
    auto pattern = FramePattern::parse(name, &why);
    if (!pattern) throw HostError("--out " + given.string() + ": " + why);
    if (!name.ends_with(".png")) {
      throw HostError("--out " + given.string() + ": frames are PNG files; end the pattern in .png");
    }
    return FrameOutput{given.parent_path(), *pattern, startNumber};
  }
  std::error_code ec;
  if (name.ends_with(".png") && !std::filesystem::is_directory(given, ec)) {
    throw HostError("--out " + given.string() + " names one file, but every frame needs its own: put #### "
                    "or %04d where the frame number goes (" +
                    given.stem().string() + "_####.png), or name a folder");
  }
  const int digits = std::max<int>(4, static_cast<int>(std::to_string(lastNumber).size()));
  const std::string standard = "frame_" + std::string(static_cast<std::size_t>(digits), '#') + ".png";
  return FrameOutput{given, *FramePattern::parse(standard), startNumber};
}

std::optional<std::pair<int32_t, int32_t>> parseSize(std::string_view text, std::string* why) {
  const auto x = text.find('x');
  int64_t w = 0, h = 0;
  if (x == std::string_view::npos || !wholeNumber(text.substr(0, x), World::kMaxSide, w) ||
      !wholeNumber(text.substr(x + 1), World::kMaxSide, h) || w < 1 || h < 1) {
    if (why) {
      *why = "\"" + std::string(text) + "\" is not a size such as 640x360 (1 … " +
             std::to_string(World::kMaxSide) + " each)";
    }
    return std::nullopt;
  }
  return std::pair{static_cast<int32_t>(w), static_cast<int32_t>(h)};
}

int runRender(const RenderRequest& request, std::ostream& out, std::ostream& err) {
  InterruptHandling interrupts;
  clearStopRequest();
  int64_t landed = 0;
  std::optional<Progress> progress;
  const auto started = Clock::now();
  StageTimes times;
  std::optional<FrameWriter> writer;
  const bool quiet = request.verbosity == Verbosity::Quiet;
  const bool verbose = request.verbosity == Verbosity::Verbose;
  try {
    Project project = loadProject(request.project);
    const int64_t frames = project.composition.frames;
    std::vector<int64_t> wanted;
    if (request.frames) {
      wanted = *request.frames;
      for (int64_t f : wanted) {
        if (f < 0 || f >= frames) {
          throw HostError(request.project.string() + ": frame " + std::to_string(f) +
                          " is outside the composition, whose frames are 0-" + std::to_string(frames - 1));
        }
      }
    } else {
      for (int64_t f = 0; f < frames; ++f) wanted.push_back(f);
    }
    if (wanted.empty()) throw HostError("no frames to render");
    if (request.startNumber < 0 || request.startNumber > 999999999) {
      throw HostError("--start-number " + std::to_string(request.startNumber) + " is outside 0 … 999999999");
    }
    const FrameOutput output =
        frameOutput(request.out, project.name, request.startNumber, frames - 1 + request.startNumber);
    const std::filesystem::path& folder = output.folder.empty() ? std::filesystem::path(".") : output.folder;
    std::vector<std::filesystem::path> outputs;
    for (int64_t f : wanted) outputs.push_back(output.fileOf(f));
    if (const int stale = prepareRenderFolder(project, folder, outputs); stale > 0) {
      err << "vask: removed " << stale << " temporary file" << (stale == 1 ? "" : "s")
          << " left in " << folder.string() << " by an interrupted render\n";
    }

    // A finished frame of an earlier run is whole under its name: frames
    // land under a temporary name and are renamed.
    std::vector<std::size_t> todo;
    int64_t skipped = 0;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
      std::error_code ec;
      if (request.skipExisting && std::filesystem::is_regular_file(outputs[i], ec)) {
        ++skipped;
        if (verbose) err << "frame " << wanted[i] << " skipped: " << outputs[i].string() << " exists\n";
        continue;
      }
      todo.push_back(i);
    }

    const PluginCatalog catalog = catalogFor(request.plugins, request.verbosity, err);
    CompositionOptions options;
    options.size = request.size;
    options.threads = request.threads.value_or(0);
    auto composition = compose(std::move(project), catalog, options, err);

    const auto total = static_cast<int64_t>(todo.size());
    progress.emplace(err, total, request.progressBar && !verbose, quiet);
    writer.emplace(
        [&](int64_t frame, const std::filesystem::path& file) {
          ++landed;
          progress->frameWritten(frame, file);
        },
        &times);
    const auto loop = Clock::now();
    times.startup = loop - started;
    for (std::size_t i : todo) {
      World frame = composition->renderFrame(wanted[i], &times);
      // A stop asked for during this frame drops it; the one being written lands.
      if (stopRequested()) break;
      writer->submit(wanted[i], outputs[i], std::move(frame));
    }
    writer->finish();
    times.wall = Clock::now() - loop;
    writer.reset();
    if (const int signal = stopRequested(); signal && landed < total) {
      if (progress) progress->interrupted();
      for (const auto& failure : composition->shutDown()) err << "vask: warning: " << failure << "\n";
      err << "vask: stopped by " << signalName(signal) << ": " << landed << " of " << total << " frame"
          << (total == 1 ? "" : "s") << " landed in " << folder.string() << "\n";
      return 128 + signal;
    }

    for (const auto& failure : composition->shutDown()) err << "vask: warning: " << failure << "\n";
    if (!quiet) {
      out << "rendered " << total << " frame" << (total == 1 ? "" : "s") << " of " << request.project.string()
          << " (" << composition->width() << " x " << composition->height() << ") into " << folder.string();
      if (skipped > 0) out << "; skipped " << skipped << " that existed";
      out << "\n";
    }
    if (request.timings) printStageTimes(out, times);
    if (request.timesOut) *request.timesOut = times;
    return 0;
  } catch (const std::exception& e) {
    std::string what = e.what();
    if (writer) {
      // The frames before the failure still land, with their progress lines;
      // a write that failed among them came first, so it is the one told.
      try {
        writer->finish();
      } catch (const std::exception& earlier) {
        what = earlier.what();
      }
      writer.reset();
    }
    if (progress) progress->interrupted();
    err << "vask: " << what << "\n";
    return 1;
  }
}

int runSave(const SaveRequest& request, std::ostream& err) {
  try {
    Project project = loadProject(request.project);
    const std::filesystem::path from = request.project.parent_path();
    const PluginCatalog catalog = catalogFor(request.plugins, request.verbosity, err);
    auto composition = compose(std::move(project), catalog, CompositionOptions{}, err);
    composition->save([&](const Json& document) {
      Json saved = document;
      rebaseProjectPaths(saved, from, request.out.parent_path());
      replaceFileWithText(request.out, formatProjectText(saved));
    });
    for (const auto& failure : composition->shutDown()) err << "vask: warning: " << failure << "\n";
    if (request.verbosity == Verbosity::Verbose) err << "vask: saved " << request.out.string() << "\n";
    return 0;
  } catch (const std::exception& e) {
    err << "vask: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace vask::host
