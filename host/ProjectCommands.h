// `vask render` and `vask save`: the commands that work on project files
// (host/Project.h).
//
// Both print failures as one line, "vask: " and a message naming the file and
// the line and column, or the layer, effect and parameter, at fault, and return
// 1; warnings (values clamped to a parameter's range, plug-in message boxes)
// are printed as "vask: warning: …" and do not stop the command. Neither ever
// changes the project file it reads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include <vector>

#include "host/Project.h"
#include "host/StageTimes.h"

namespace vask::host {

struct RenderRequest {
  std::filesystem::path project;
  // Inclusive frame numbers (0-based); every frame when not given.
  std::optional<std::pair<int64_t, int64_t>> frames;
  // Output folder; "out/<project file's stem>" under the current folder when
  // not given. Created when missing.
  std::optional<std::filesystem::path> out;
  std::optional<std::pair<int32_t, int32_t>> size;
  // Threads renderers may use: kept in the session and published in
  // kRenderThreadsVariable (host/Session.h).
  std::optional<int> threads;
  // Plug-in folder; the program's own folder when not given.
  std::optional<std::filesystem::path> plugins;
  // A one-line progress bar (frames done, frames per second, time left),
  // redrawn in place; otherwise one plain line per frame written.
  bool progressBar = false;
  // After the closing summary, the table of where the frames' time went
  // (printStageTimes in host/StageTimes.h) to `out`.
  bool timings = false;
  // When given, receives the stage times of a render that succeeded.
  StageTimes* timesOut = nullptr;
};

// Renders the requested frames into 8-bit RGBA PNG files named
// "frame_NNNN.png" (at least four digits) in the output folder, each written
// under a temporary name and renamed, so that a failure never leaves a
// partial file under a final name. Progress goes to `err`, a closing summary
// to `out`. Returns 0, or 1 after printing the failure to `err`: a bad
// project, a frame range outside the composition, an output folder that
// cannot be created or written, a picture that cannot be read, or a plug-in
// error (with the effect's own message, its layer and its name).
//
// Frame N is encoded and written by a thread of its own (host/FrameWriter.h)
// while frame N + 1 renders; a failure, of either, stops the render once
// the frames before it are on disk, and the thread has ended by the time
// runRender returns.
int runRender(const RenderRequest& request, std::ostream& out, std::ostream& err);

struct SaveRequest {
  std::filesystem::path project;
  std::filesystem::path out;
  std::optional<std::filesystem::path> plugins;
};

// Loads the project (re-setting each instance up from its saved data where
// it has some), flattens every instance as a host does on save, writes the
// project with each instance's flat data to `out` (under a temporary name,
// then renamed; relative picture paths rewritten to suit `out`'s folder),
// and re-sets every instance up. Returns 0, or 1 after printing the failure.
int runSave(const SaveRequest& request, std::ostream& err);

struct RenderOutputs {
  std::vector<std::filesystem::path> files;  // one per frame of the range
  int staleRemoved = 0;  // temporary files of an interrupted render removed
};
// Readies `folder` for the frames `range` of `project`, as runRender does:
// creates it and checks that it can be written, removes the temporary files
// an interrupted render left there, and refuses (HostError) a frame file that
// would land on the project's own file or one of its pictures.
RenderOutputs prepareRenderOutputs(const Project& project, const std::filesystem::path& folder,
                                   std::pair<int64_t, int64_t> range);

// "A-B" or "A" (whole numbers ≥ 0, A ≤ B), or nullopt with the reason.
std::optional<std::pair<int64_t, int64_t>> parseFrameRange(std::string_view text,
                                                           std::string* why = nullptr);
// "WxH" (1 … 32767 each), or nullopt with the reason.
std::optional<std::pair<int32_t, int32_t>> parseSize(std::string_view text,
                                                     std::string* why = nullptr);

}  // namespace vask::host
