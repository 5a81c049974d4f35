// A host session: the effects loaded into the process and the instances
// applied with them, set up and shut down in the host's order.
//
// This is the frame of what the `vask` program runs; a composition (layers,
// keyframes, image files) will own one.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/Effect.h"
#include "host/FrameScheduler.h"
#include "host/Instance.h"

namespace vask::host {

// The environment variable in which the host publishes the number of threads
// renderers may use (host/ProjectCommands.h's --threads).
inline constexpr const char* kRenderThreadsVariable = "VASK_RENDER_THREADS";

class Session {
 public:
  Session() = default;
  // shutDown() if it has not run; failures are dropped.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Loads the library at `path` once per process-unique file (a second call
  // gives the same Effect), running global setup and params setup. Throws
  // HostError naming the file and the failing command and its message.
  std::shared_ptr<Effect> loadEffect(const std::filesystem::path& path);
  // Applies `effect` (from loadEffect) as a new instance and runs its
  // sequence setup, or, given the flat sequence data a project saved, hands
  // the instance those bytes and runs sequence re-setup. Throws HostError
  // with the failing command and the plug-in's message on failure (an
  // instance the plug-in half set up is set down again). The instance lives
  // as long as the session.
  Instance& addInstance(const std::shared_ptr<Effect>& effect, std::string label = {},
                        std::optional<std::span<const std::byte>> flat = std::nullopt);

  const std::vector<std::unique_ptr<Instance>>& instances() const { return instances_; }

  // How many threads renderers of this session may use (≥ 1; 0 means "not
  // set": a renderer picks its own). Effects cannot see the session, so the
  // value is also published, process-wide, in the environment variable
  // kRenderThreadsVariable, where a renderer reads it at any command.
  void setRenderThreads(int threads);
  int renderThreads() const { return renderThreads_; }
  // One frame over every instance, in the order added.
  FrameReport renderFrame(FrameTime time);
  // Sequence setdown of every instance, then global setdown of every effect.
  std::vector<std::string> shutDown();

 private:
  std::map<std::filesystem::path, std::shared_ptr<Effect>> effects_;
  std::vector<std::shared_ptr<Effect>> loadOrder_;
  std::vector<std::unique_ptr<Instance>> instances_;
  int renderThreads_ = 0;
};

}  // namespace vask::host
