// Whole frames of a full-HD composition through the host's real render path
// (runRender, as `vask render --timings` runs it): a 1920 × 1080 relief raised
// by the Mesh Object ("Smooth" on, one vertex per pixel of a height-field
// sequence whose every frame differs), lit by a spot light and drawn by Scene
// Render into a 1920 × 1080 composition, then written as PNG files.
//
// Each configuration (antialiasing × renderer threads) renders the same
// frames, each run in a child process of its own as `vask render` would;
// the best of --repeat runs is kept (the machine may be shared). It
// prints runRender's stage table for every run, then one summary line per
// configuration: frames per second, milliseconds per frame, and each stage's
// share of the frame loop's wall time: over all frames, over the frames
// after the first (frame 0 builds the mesh and first touches the memory the
// renderer and the scene library keep; later frames refill), and for frame
// 0 alone. "Threads" are the
// renderers' (--threads): the host's PNG writer thread runs beside the
// render loop in every configuration.
//
// Usage: composition_bench [--frames N] [--repeat R] [--samples 1|4|both]
//                          [--threads 1|2|both] [--dir DIR] [--write-only]
//   --frames N    frames rendered per run (default 8; a height field each)
//   --repeat R    runs per configuration, best kept (default 3)
//   --samples     Scene Render's antialiasing (default both: "1 Sample",
//                 then "4 Samples")
//   --threads     renderer threads (default both: 1, then 2)
//   --dir DIR     make the composition in DIR and keep it (render it again
//                 with `vask render DIR/bench.json --timings`, or
//                 bench4.json for 4 samples); a temporary folder, removed at
//                 the end, when not given
//   --write-only  make the composition and stop
// Build with the release preset; the machine should be otherwise idle.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "host/Project.h"
#include "host/PngImage.h"
#include "host/ProjectCommands.h"
#include "host/StageTimes.h"
#include "host/World.h"
#include "platform/os/Desktop.h"
#include "platform/os/HeadlessDesktop.h"
#include "tools/demo/RippleHeights.h"

namespace {

using namespace vask;

constexpr int kWidth = 1920, kHeight = 1080;
constexpr double kPi = 3.14159265358979;

void writeHeightField(const std::filesystem::path& file, double phase) {
  host::World w(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    const double v = y / double(kHeight - 1);
    for (int x = 0; x < kWidth; ++x) {
      const double h = demo::rippleHeight(x / double(kWidth - 1), v, phase);
      const auto g = static_cast<uint8_t>(std::lround(255.0 * h));
      w.at(x, y) = PF_Pixel{255, g, g, g};
    }
  }
  host::writePng(file, w);
}

// The project: the height-field sequence (hidden), the relief, the spot
// light and the camera. The relief is 3.2 wide and 1.8 deep, seen from
// about 3 away with a 40° field, so that it fills the frame.
host::Json project(int frames, int samples) {
  using host::Json;
  Json mesh = {{"effect", "HALV VASKSHAPEMESH1"},
               {"params",
                {{"Height Field", "Heights"},
                 {"Height From", "Luminance"},
                 {"Smooth", true},
                 {"Color", {200, 184, 150}},
                 {"X Scale", 3.2},
                 {"Y Scale", 0.7},
                 {"Z Scale", 1.8}}}};
  Json spot = {{"effect", "HALV VASKSPOT1"},
               {"params",
                {{"X Position", 0.4},
                 {"Y Position", 1.6},
                 {"Z Position", 1.2},
                 {"Left/Right", 195},
                 {"Up/Down", -50},
                 {"Fall Off", "Cos"},
                 {"Hot Angle", 25},
                 {"Outer Angle", 50},
                 {"Color", {255, 236, 200}}}}};
  Json camera = {{"effect", "HALV VASKSCENERENDER1"},
                 {"params",
                  {{"Camera X", 0.2},
                   {"Camera Y", 1.7},
                   {"Camera Z", 2.4},
                   {"Target Y", -0.15},
                   {"Field of View", 40},
                   {"Antialiasing", samples == 4 ? "4 Samples" : "1 Sample"}}}};
  auto holder = [](const char* name, Json effect) {
    return Json{{"name", name}, {"solid", {0, 0, 0, 0}}, {"width", 16}, {"height", 16},
                {"effects", Json::array({std::move(effect)})}};
  };
  return Json{
      {"format", 1},
      {"composition",
       {{"width", kWidth}, {"height", kHeight}, {"frame_rate", 24}, {"frames", frames},
        {"background", "#0b0e13"}}},
      {"layers",
       Json::array({Json{{"name", "Heights"}, {"sequence", "heights/h_####.png"}, {"first", 1},
                         {"visible", false}},
                    holder("Relief", mesh), holder("Spot", spot),
                    Json{{"name", "Camera"}, {"solid", {255, 11, 14, 19}},
                         {"effects", Json::array({camera})}}})}};
}

void writeText(const std::filesystem::path& file, const std::string& text) {
  FILE* f = std::fopen(file.c_str(), "w");
  if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) {
    throw std::runtime_error(file.string() + ": cannot write");
  }
}

void makeComposition(const std::filesystem::path& dir, int frames) {
  std::filesystem::create_directories(dir / "heights");
  for (int f = 0; f < frames; ++f) {
    char name[32];
    std::snprintf(name, sizeof name, "h_%04d.png", f + 1);
    writeHeightField(dir / "heights" / name, 2.0 * kPi * f / std::max(frames, 4));
  }
  for (int samples : {1, 4}) {
    writeText(dir / (samples == 1 ? "bench.json" : "bench4.json"), project(frames, samples).dump(2) + "\n");
  }
}

struct Result {
  int samples = 1, threads = 1;
  host::StageTimes times;  // every frame
  host::StageTimes first;  // a run of frame 0 alone: the mesh built, memory touched first
};

// The frames after the first: a whole run less a run of frame 0 alone, the
// steady state of a long render.
host::StageTimes later(const Result& r) {
  host::StageTimes t = r.times;
  // Frame 0 alone ends waiting for its own PNG, which a longer run overlaps
  // with frame 1: that stage's difference can come out just below zero.
  for (std::size_t k = 0; k < host::kStageCount; ++k)
    t.total[k] = std::max(t.total[k] - r.first.total[k], host::StageTimes::Clock::duration::zero());
  t.wall -= r.first.wall;
  t.frames -= r.first.frames;
  return t;
}

// Temporary folder removed on every way out.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vask-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// runRender in a child process, as `vask render` runs it: effects loaded
// afresh and the allocator's heap cold, as in every real render. The stage
// times come back through a pipe; nullopt (after the child's message) when
// the render failed.
std::optional<host::StageTimes> renderInChild(host::RenderRequest request) {
  static_assert(std::is_trivially_copyable_v<host::StageTimes>);
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    ::close(fds[0]);
    host::StageTimes times;
    request.timesOut = &times;
    std::ostringstream err;
    const int code = host::runRender(request, std::cout, err);
    std::cout.flush();
    std::fprintf(stderr, "%s", code != 0 ? err.str().c_str() : "");
    const bool sent = code == 0 && ::write(fds[1], &times, sizeof times) == static_cast<ssize_t>(sizeof times);
    ::_exit(sent ? 0 : 1);
  }
  ::close(fds[1]);
  host::StageTimes times;
  const ssize_t got = ::read(fds[0], &times, sizeof times);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (got != static_cast<ssize_t>(sizeof times) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return std::nullopt;
  }
  return times;
}

int usage() {
  std::fprintf(stderr,
               "usage: composition_bench [--frames N] [--repeat R] [--samples 1|4|both]\n"
               "                         [--threads 1|2|both] [--dir DIR] [--write-only]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 8, repeat = 3;
  std::vector<int> samples{1, 4}, threads{1, 2};
  std::optional<std::filesystem::path> keep;
  bool writeOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    auto choice = [&](const std::string& v, int one, int other) {
      if (v == "both") return std::vector<int>{one, other};
      const int n = std::atoi(v.c_str());
      if (n != one && n != other) throw std::invalid_argument(a);
      return std::vector<int>{n};
    };
    try {
      if (a == "--frames" && hasValue) {
        frames = std::atoi(argv[++i]);
        if (frames < 1 || frames > 1000) return usage();
      } else if (a == "--repeat" && hasValue) {
        repeat = std::atoi(argv[++i]);
        if (repeat < 1 || repeat > 100) return usage();
      } else if (a == "--samples" && hasValue) {
        samples = choice(argv[++i], 1, 4);
      } else if (a == "--threads" && hasValue) {
        threads = choice(argv[++i], 1, 2);
      } else if (a == "--dir" && hasValue) {
        keep = argv[++i];
      } else if (a == "--write-only") {
        writeOnly = true;
      } else {
        return usage();
      }
    } catch (const std::invalid_argument&) {
      return usage();
    }
  }

  os::HeadlessDesktop desktop;
  os::ScopedDesktop scoped(desktop);
  try {
    std::optional<TempDir> temporary;
    if (!keep) temporary.emplace();
    const std::filesystem::path dir = keep ? *keep : temporary->path();
    std::printf("making %d height fields of %d x %d in %s\n", frames, kWidth, kHeight, dir.c_str());
    std::fflush(stdout);
    makeComposition(dir, frames);
    if (writeOnly) return 0;

    const auto plugins = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    std::vector<Result> results;
    for (int s : samples) {
      for (int t : threads) {
        Result best{s, t, {}, {}};
        for (int r = 0; r < repeat; ++r) {
          for (const bool firstOnly : {false, true}) {
            if (firstOnly && frames < 2) continue;
            host::RenderRequest request;
            request.project = dir / (s == 1 ? "bench.json" : "bench4.json");
            request.out = dir / "out";
            request.threads = t;
            request.plugins = {plugins};
            request.timings = true;
            if (firstOnly) request.frames = std::vector<int64_t>{0};
            std::printf("\n-- %d sample%s, %d thread%s, run %d of %d%s\n", s, s == 1 ? "" : "s", t,
                        t == 1 ? "" : "s", r + 1, repeat, firstOnly ? ", frame 0 alone" : "");
            std::fflush(stdout);
            const auto times = renderInChild(request);
            if (!times) return 1;
            host::StageTimes& kept = firstOnly ? best.first : best.times;
            if (r == 0 || times->wall < kept.wall) kept = *times;
          }
        }
        results.push_back(best);
      }
    }

    std::printf("\n%d frames of %d x %d per run, best of %d; shares of the frame loop's wall time.\n"
                "\"all\": every frame; \"later\": the frames after the first (a run of frame 0 alone\n"
                "subtracted), the steady state of a long render; \"first\": frame 0 alone.\n",
                frames, kWidth, kHeight, repeat);
    std::printf("%-28s %7s %9s", "configuration", "fps", "ms/frame");
    for (std::size_t k = 0; k < host::kStageCount; ++k) {
      std::printf(" %9s", host::stageShortName(static_cast<host::Stage>(k)));
    }
    std::printf("\n");
    auto row = [](const char* label, const host::StageTimes& t) {
      const double wall = host::milliseconds(t.wall);
      if (t.frames <= 0 || wall <= 0) return;
      std::printf("%-28s %7.2f %9.1f", label, t.frames * 1000.0 / wall, wall / t.frames);
      for (std::size_t k = 0; k < host::kStageCount; ++k) {
        std::printf(" %8.1f%%", 100.0 * host::milliseconds(t.total[k]) / wall);
      }
      std::printf("\n");
    };
    for (const Result& r : results) {
      char label[64];
      const int n = std::snprintf(label, sizeof label, "%d sample%s, %d thread%s", r.samples,
                                  r.samples == 1 ? "" : "s", r.threads, r.threads == 1 ? "" : "s");
      std::snprintf(label + n, sizeof label - static_cast<std::size_t>(n), ", all");
      row(label, r.times);
      if (r.first.frames == 0) continue;
      std::snprintf(label + n, sizeof label - static_cast<std::size_t>(n), ", later");
      row(label, later(r));
      std::snprintf(label + n, sizeof label - static_cast<std::size_t>(n), ", first");
      row(label, r.first);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "composition_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
