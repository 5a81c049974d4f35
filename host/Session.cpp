#include "host/Session.h"

#include <cstdlib>
#include <string>

#include "host/HostError.h"

namespace vask::host {
namespace {

void require(const CommandResult& r, const std::string& who, PF_Cmd cmd) {
  if (r.ok()) return;
  std::string what = who + ": " + commandName(cmd) + " failed with error " + std::to_string(r.err);
  if (!r.message.empty()) what += ": " + r.message;
  throw HostError(what);
}

std::vector<Instance*> raw(const std::vector<std::unique_ptr<Instance>>& list) {
  std::vector<Instance*> out;
  for (const auto& i : list) out.push_back(i.get());
  return out;
}

}  // namespace

Session::~Session() {
  try {
    shutDown();
  } catch (...) {
  }
}

std::shared_ptr<Effect> Session::loadEffect(const std::filesystem::path& path) {
  std::error_code ec;
  std::filesystem::path key = std::filesystem::weakly_canonical(path, ec);
  if (ec) key = path;
  if (auto it = effects_.find(key); it != effects_.end()) return it->second;

  auto effect = Effect::load(path);
  const std::string who = path.string();
  CommandResult setup = effect->globalSetup();
  if (!setup.ok()) {
    // The library is unusable; its global handle, if any, goes with it.
    require(setup, who, PF_Cmd_GLOBAL_SETUP);
  }
  CommandResult params = effect->paramsSetup();
  if (!params.ok() || !effect->paramsReady()) {
    effect->globalSetdown();
    require(params, who, PF_Cmd_PARAMS_SETUP);
    throw HostError(who + ": params setup reported " + std::to_string(effect->numParams()) +
                    " parameters but declared " + std::to_string(effect->params().size()));
  }
  effects_.emplace(key, effect);
  loadOrder_.push_back(effect);
  return effect;
}

Instance& Session::addInstance(const std::shared_ptr<Effect>& effect, std::string label,
                               std::optional<std::span<const std::byte>> flat) {
  auto instance = std::make_unique<Instance>(effect, std::move(label));
  PF_Cmd cmd = PF_Cmd_SEQUENCE_SETUP;
  CommandResult r;
  if (flat) {
    instance->setFlatSequenceData(*flat);
    cmd = PF_Cmd_SEQUENCE_RESETUP;
    r = instance->sequenceResetup();
  } else {
    r = instance->sequenceSetup();
  }
  if (!r.ok() && instance->sequenceData()) {
    // Whatever the plug-in built before failing is released by its own setdown.
    instance->sequenceSetdown();
  }
  require(r, instance->label(), cmd);
  instances_.push_back(std::move(instance));
  return *instances_.back();
}

void Session::setRenderThreads(int threads) {
  if (threads < 0) throw HostError("a thread count cannot be negative");
  renderThreads_ = threads;
  if (threads > 0) {
    ::setenv(kRenderThreadsVariable, std::to_string(threads).c_str(), 1);
  } else {
    ::unsetenv(kRenderThreadsVariable);
  }
}

FrameReport Session::renderFrame(FrameTime time) {
  const auto list = raw(instances_);
  return runFrame(list, time);
}

std::vector<std::string> Session::shutDown() {
  const auto list = raw(instances_);
  std::vector<Effect*> effects;
  for (const auto& e : loadOrder_) effects.push_back(e.get());
  auto failures = host::shutDown(list, effects);
  instances_.clear();
  effects_.clear();
  loadOrder_.clear();
  return failures;
}

}  // namespace vask::host
