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

PluginCatalog catalogFor(const std::optional<std::filesystem::path>& plugins, std::ostream& err) {
  PluginCatalog catalog = PluginCatalog::scan(plugins ? *plugins : programFolder());
  printWarnings(catalog.warnings(), err);
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

std::string frameName(int64_t frame, int64_t last) {
  const int digits = std::max<int>(4, static_cast<int>(std::to_string(last).size()));
  std::string n = std::to_string(frame);
  if (static_cast<int>(n.size()) < digits) n.insert(0, static_cast<std::size_t>(digits) - n.size(), '0');
  return "frame_" + n + ".png";
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
// it was killed (its own naming: ".NAME.png.tmp-PID-N", or the write probe
// ".vask-probe-PID"), when the process that made them is gone. Returns how
// many it removed.
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
  Progress(std::ostream& err, int64_t total, bool bar)
      : err_(err), total_(total), bar_(bar), start_(Clock::now()) {}

  void frameWritten(int64_t frame, const std::filesystem::path& file) {
    ++done_;
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
    if (bar_ && done_ > 0 && done_ < total_) err_ << "\n";
  }

 private:
  std::ostream& err_;
  int64_t total_, done_ = 0;
  bool bar_;
  Clock::time_point start_;
};

}  // namespace

RenderOutputs prepareRenderOutputs(const Project& project, const std::filesystem::path& folder,
                                   std::pair<int64_t, int64_t> range) {
  prepareFolder(folder);
  RenderOutputs out;
  out.staleRemoved = removeStaleTemporaries(folder);
  for (int64_t f = range.first; f <= range.second; ++f)
    out.files.push_back(folder / frameName(f, project.composition.frames - 1));
  refuseOverwritingInputs(project, folder, out.files);
  return out;
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
  try {
    Project project = loadProject(request.project);
    const int64_t frames = project.composition.frames;
    const auto range = request.frames.value_or(std::pair<int64_t, int64_t>{0, frames - 1});
    if (range.first < 0 || range.second >= frames || range.first > range.second) {
      throw HostError(request.project.string() + ": frames " + std::to_string(range.first) + "-" +
                      std::to_string(range.second) + " are outside the composition, whose frames are 0-" +
                      std::to_string(frames - 1));
    }
    const std::filesystem::path folder =
        request.out ? *request.out : std::filesystem::path("out") / project.name;
    const RenderOutputs prepared = prepareRenderOutputs(project, folder, range);
    if (const int stale = prepared.staleRemoved; stale > 0) {
      err << "vask: removed " << stale << " temporary file" << (stale == 1 ? "" : "s")
          << " left in " << folder.string() << " by an interrupted render\n";
    }
    const std::vector<std::filesystem::path>& outputs = prepared.files;

    const PluginCatalog catalog = catalogFor(request.plugins, err);
    CompositionOptions options;
    options.size = request.size;
    options.threads = request.threads.value_or(0);
    auto composition = compose(std::move(project), catalog, options, err);

    progress.emplace(err, range.second - range.first + 1, request.progressBar);
    writer.emplace(
        [&](int64_t frame, const std::filesystem::path& file) {
          ++landed;
          progress->frameWritten(frame, file);
        },
        &times);
    const auto loop = Clock::now();
    times.startup = loop - started;
    for (int64_t f = range.first; f <= range.second; ++f) {
      World frame = composition->renderFrame(f, &times);
      // A stop asked for during this frame drops it; the one being written lands.
      if (stopRequested()) break;
      writer->submit(f, outputs[static_cast<std::size_t>(f - range.first)], std::move(frame));
    }
    writer->finish();
    times.wall = Clock::now() - loop;
    writer.reset();
    const int64_t total = range.second - range.first + 1;
    if (const int signal = stopRequested(); signal && landed < total) {
      if (progress) progress->interrupted();
      for (const auto& failure : composition->shutDown()) err << "vask: warning: " << failure << "\n";
      err << "vask: stopped by " << signalName(signal) << ": " << landed << " of " << total << " frame"
          << (total == 1 ? "" : "s") << " landed in " << folder.string() << "\n";
      return 128 + signal;
    }

    for (const auto& failure : composition->shutDown()) err << "vask: warning: " << failure << "\n";
    out << "rendered " << (range.second - range.first + 1) << " frame"
        << (range.second == range.first ? "" : "s") << " of " << request.project.string() << " ("
        << composition->width() << " x " << composition->height() << ") into " << folder.string()
        << "\n";
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
    const PluginCatalog catalog = catalogFor(request.plugins, err);
    auto composition = compose(std::move(project), catalog, CompositionOptions{}, err);
    composition->save([&](const Json& document) {
      Json saved = document;
      rebaseProjectPaths(saved, from, request.out.parent_path());
      replaceFileWithText(request.out, formatProjectText(saved));
    });
    for (const auto& failure : composition->shutDown()) err << "vask: warning: " << failure << "\n";
    return 0;
  } catch (const std::exception& e) {
    err << "vask: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace vask::host
