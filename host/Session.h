// A host session: the effects loaded into the process and the instances
// applied with them, set up and shut down in the host's order.
//
// This is the frame of what the `vask` program runs; a composition (layers,
// keyframes, image files) will own one.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/Effect.h"
#include "host/FrameScheduler.h"
#include "host/Instance.h"

namespace vask::host {

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
  // sequence setup. Throws HostError on failure. The instance lives as long as
  // the session.
  Instance& addInstance(const std::shared_ptr<Effect>& effect, std::string label = {});

  const std::vector<std::unique_ptr<Instance>>& instances() const { return instances_; }
  // One frame over every instance, in the order added.
  FrameReport renderFrame(FrameTime time);
  // Sequence setdown of every instance, then global setdown of every effect.
  std::vector<std::string> shutDown();

 private:
  std::map<std::filesystem::path, std::shared_ptr<Effect>> effects_;
  std::vector<std::shared_ptr<Effect>> loadOrder_;
  std::vector<std::unique_ptr<Instance>> instances_;
};

}  // namespace vask::host
