// The order in which the host sends frame and shutdown commands to several
// instances.
//
// A frame is FRAME_SETUP for every instance in order, then RENDER for every
// instance, then FRAME_SETDOWN for every instance: so every setup of the frame
// (each adds to the shared scene) comes before any render (which may read it),
// and every setdown after. Shutting down is sequence setdown of every instance
// before global setdown of every effect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "platform/effect_api/EffectApi.h"

namespace vask::host {

class Effect;
class Instance;
struct StageTimes;

struct FrameTime {
  int32_t time = 0;  // units of 1/scale seconds
  int32_t step = 1;
  uint32_t scale = 30;
};

struct FrameReport {
  PF_Err err = PF_Err_NONE;     // the first failure's code
  std::size_t failedIndex = 0;  // its instance's position in the list
  std::string instance;         // its instance's label
  PF_Cmd command = 0;           // the command that failed
  std::string message;          // the plug-in's return_msg, if it set one
  // Failures of the setdowns sent after the first failure.
  std::vector<std::string> cleanupErrors;

  bool ok() const { return err == PF_Err_NONE; }
};
std::ostream& operator<<(std::ostream& os, const FrameReport& r);

// What the caller does between the commands of a frame. Hooks must not throw.
struct FrameHooks {
  // Just before RENDER goes to instance i: the place to give it its input
  // (a layer's effects pass their pictures on one to the next).
  std::function<void(std::size_t i)> beforeRender;
};

// Runs one frame (at `time`, when given, for every instance). Stops setting up
// or rendering at the first error; FRAME_SETDOWN still goes, in order, to every
// instance whose FRAME_SETUP succeeded, so that no plug-in keeps a frame open.
// When `times` is given, the setups, renders (with their beforeRender hooks)
// and setdowns are added to its FrameSetup, Render and FrameSetdown stages.
FrameReport runFrame(std::span<Instance* const> instances, std::optional<FrameTime> time = {},
                     const FrameHooks& hooks = {}, StageTimes* times = nullptr);

// Sequence setdown of every instance that is set up or holds sequence data,
// then global setdown of every effect that is set up or holds global data;
// every command is sent even
// after a failure. Returns one line per failure ("label: sequence setdown
// failed with error N: message").
std::vector<std::string> shutDown(std::span<Instance* const> instances,
                                  std::span<Effect* const> effects);

}  // namespace vask::host
