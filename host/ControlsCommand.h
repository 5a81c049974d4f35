// `vask controls`: an effect's custom controls drawn as the effect-controls
// window shows them (host/EffectControls.h), with scripted pointer events
// replayed in order, the parameter changes they make printed, the panel
// written to PNG and, on request, the project saved with the new values.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/Canvas.h"

namespace vask::host {

// One scripted step, applied in order.
struct ControlsEvent {
  enum class Kind {
    Tool,         // press and release the palette button of tool `text`
    Press,        // click at `point` in the target control
    Drag,         // move to `point` with the button down
    Release,      // let go where the pointer is
    Shift,        // Shift is held for the events after this one
    Control,      // the events after this one go to control `text`
    ClickImport,  // press the Model control's Import button; the file dialog answers `text`
  };
  Kind kind;
  std::string text;
  os::Point point;
};

struct ControlsRequest {
  std::filesystem::path project;
  std::string layer;      // by name
  int32_t effect = 1;     // 1-based, in the layer's list
  int64_t frame = 0;
  int32_t width = 300;
  std::filesystem::path out;                  // the panel, PNG
  std::optional<std::filesystem::path> save;  // the project with the new values
  std::vector<std::filesystem::path> plugins;  // defaultPluginFolders() when empty
  std::vector<ControlsEvent> events;
  // Gives the next open-file dialog its answer (ClickImport needs it).
  std::function<void(const std::string&)> answerOpenFile;
};

// Draws the panel at the frame, replays the events, prints one line per
// parameter whose value changed ("\"Left/Right\": 0 -> 10", in the units a
// project writes) to `out`, redraws the panel if the effect reported changes,
// writes it to request.out and, with request.save, writes the project with
// the new values (a keyed parameter gets a key at the frame) and each
// effect's flat data. Returns 0, or 1 after printing the failure to `err`.
int runControls(const ControlsRequest& request, std::ostream& out, std::ostream& err);

// "X,Y" (integers, −32768 … 32767), or nullopt with the reason.
std::optional<os::Point> parsePoint(std::string_view text, std::string* why = nullptr);

// The names `--tool` takes.
inline constexpr std::string_view kToolNames[] = {"orbit", "pan",  "dolly", "reset-camera", "rotate",
                                                  "aim",   "move", "scale", "reset"};

}  // namespace vask::host
