// `vask render` and `vask save`: the commands that work on project files
// (host/Project.h); `vask check` is in host/CheckCommand.h.
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

// How much a command tells on its way: Quiet only warnings and failures;
// Normal progress and a closing summary; Verbose also where effects were
// found, every frame's line (never the redrawn bar) and every frame skipped.
enum class Verbosity { Quiet, Normal, Verbose };

// Where frames land: a folder and a file-name pattern (FramePattern in
// host/Project.h), the file number being the frame number plus `startNumber`.
struct FrameOutput {
  std::filesystem::path folder;
  FramePattern pattern;
  int64_t startNumber = 0;

  std::filesystem::path fileOf(int64_t frame) const { return folder / pattern.name(frame + startNumber); }
};

// The output of `--out`: a path whose file name holds a frame number
// ("shots/sh010_####.png", "%04d") is a folder and pattern, and must end in
// ".png"; any other path is a folder, whose frames are "frame_####.png" with
// at least enough digits for `lastNumber`. Without `--out`, the folder is
// "out/<project name>". Throws HostError with the reason.
FrameOutput frameOutput(const std::optional<std::filesystem::path>& out, const std::string& projectName,
                        int64_t startNumber, int64_t lastNumber);

struct RenderRequest {
  std::filesystem::path project;
  // Frame numbers (0-based), ascending, each once (parseFrameList); every
  // frame when not given.
  std::optional<std::vector<int64_t>> frames;
  // Output folder or pattern (frameOutput); "out/<project file's stem>"
  // under the current folder when not given. The folder is created when
  // missing.
  std::optional<std::filesystem::path> out;
  // Added to a frame's number to make its file's number (--start-number):
  // 1001 names frame 0's file 1001.
  int64_t startNumber = 0;
  // Frames whose file already exists are not rendered (--skip-existing): a
  // frame only ever lands whole under its name, so an existing file is a
  // finished frame of an earlier run.
  bool skipExisting = false;
  std::optional<std::pair<int32_t, int32_t>> size;
  // Threads renderers may use: kept in the session and published in
  // kRenderThreadsVariable (host/Session.h).
  std::optional<int> threads;
  // Plug-in folders in order; defaultPluginFolders() when empty.
  std::vector<std::filesystem::path> plugins;
  // A one-line progress bar (frames done, frames per second, time left),
  // redrawn in place; otherwise one plain line per frame written.
  bool progressBar = false;
  Verbosity verbosity = Verbosity::Normal;
  // After the closing summary, the table of where the frames' time went
  // (printStageTimes in host/StageTimes.h) to `out`.
  bool timings = false;
  // When given, receives the stage times of a render that succeeded.
  StageTimes* timesOut = nullptr;
};

// Renders the requested frames into 8-bit RGBA PNG files named by the
// output's pattern, each written
// under a temporary name and renamed, so that a failure never leaves a
// partial file under a final name. Progress goes to `err`, a closing summary
// to `out`. Returns 0, or 1 after printing the failure to `err`: a bad
// project, a frame outside the composition, an output folder that
// cannot be created or written, a frame that would land on one of the
// project's inputs, a picture that cannot be read, or a plug-in
// error (with the effect's own message, its layer and its name).
//
// Frame N is encoded and written by a thread of its own (host/FrameWriter.h)
// while the next frame renders; a failure, of either, stops the render once
// the frames before it are on disk, and the thread has ended by the time
// runRender returns. A frame's pixels depend only on the project and its
// number, never on the frames rendered before it in the same run, so frames
// split across runs or machines match one run's byte for byte.
int runRender(const RenderRequest& request, std::ostream& out, std::ostream& err);

struct SaveRequest {
  std::filesystem::path project;
  std::filesystem::path out;
  std::vector<std::filesystem::path> plugins;  // defaultPluginFolders() when empty
  Verbosity verbosity = Verbosity::Normal;
};

// Loads the project (re-setting each instance up from its saved data where
// it has some), flattens every instance as a host does on save, writes the
// project with each instance's flat data to `out` (under a temporary name,
// then renamed; relative picture paths rewritten to suit `out`'s folder),
// and re-sets every instance up. Returns 0, or 1 after printing the failure.
// Verbose, it says where the project went.
int runSave(const SaveRequest& request, std::ostream& err);

// Readies `folder` for `outputs`, the frame files of `project` a render is
// about to write, as runRender does: creates the folder and checks that it
// can be written, removes the temporary files an interrupted render left
// there, and refuses (HostError) a frame file that would land on the
// project's own file or one of its pictures. Returns how many temporary
// files it removed.
int prepareRenderFolder(const Project& project, const std::filesystem::path& folder,
                        const std::vector<std::filesystem::path>& outputs);

// "A-B" or "A" (whole numbers ≥ 0, A ≤ B), or nullopt with the reason.
std::optional<std::pair<int64_t, int64_t>> parseFrameRange(std::string_view text,
                                                           std::string* why = nullptr);
// A frame list for a render or a farm's chunk: comma-separated items, each
// "A", "A-B" or "A-BxS" (every S-th frame from A up to B; S ≥ 1), such as
// "0-47x2", "1,5,9-12". Returns the frames ascending, each once, or nullopt
// with the reason. At most kMaxListedFrames frames.
inline constexpr std::size_t kMaxListedFrames = 1'000'000;
std::optional<std::vector<int64_t>> parseFrameList(std::string_view text, std::string* why = nullptr);
// "WxH" (1 … 32767 each), or nullopt with the reason.
std::optional<std::pair<int32_t, int32_t>> parseSize(std::string_view text,
                                                     std::string* why = nullptr);

}  // namespace vask::host
