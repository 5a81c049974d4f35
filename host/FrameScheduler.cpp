#include "host/FrameScheduler.h"

#include "host/Effect.h"
#include "host/Instance.h"
#include "host/StageTimes.h"

namespace vask::host {
namespace {

std::string failureLine(const std::string& who, PF_Cmd cmd, const CommandResult& r) {
  std::string line = who + ": " + commandName(cmd) + " failed with error " + std::to_string(r.err);
  if (!r.message.empty()) line += ": " + r.message;
  return line;
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const FrameReport& r) {
  if (r.ok()) return os << "frame ok";
  os << r.instance << " (#" << r.failedIndex << "): " << commandName(r.command)
     << " failed with error " << r.err;
  if (!r.message.empty()) os << ": " << r.message;
  for (const auto& e : r.cleanupErrors) os << "; then " << e;
  return os;
}

FrameReport runFrame(std::span<Instance* const> instances, std::optional<FrameTime> time,
                     const FrameHooks& hooks, StageTimes* times) {
  FrameReport report;
  StageClock clock(times);
  auto fail = [&](std::size_t i, PF_Cmd cmd, const CommandResult& r) {
    report.err = r.err;
    report.failedIndex = i;
    report.instance = instances[i]->label();
    report.command = cmd;
    report.message = r.message;
  };
  if (time) {
    for (Instance* inst : instances) inst->setTime(time->time, time->step, time->scale);
  }

  std::size_t setUp = 0;
  for (; setUp < instances.size(); ++setUp) {
    CommandResult r = instances[setUp]->frameSetup();
    if (!r.ok()) {
      fail(setUp, PF_Cmd_FRAME_SETUP, r);
      break;
    }
  }
  clock.lap(Stage::FrameSetup);
  if (report.ok()) {
    for (std::size_t i = 0; i < instances.size(); ++i) {
      if (hooks.beforeRender) hooks.beforeRender(i);
      CommandResult r = instances[i]->render();
      if (!r.ok()) {
        fail(i, PF_Cmd_RENDER, r);
        break;
      }
    }
  }
  clock.lap(Stage::Render);
  for (std::size_t i = 0; i < setUp; ++i) {
    CommandResult r = instances[i]->frameSetdown();
    if (r.ok()) continue;
    if (report.ok()) {
      fail(i, PF_Cmd_FRAME_SETDOWN, r);
    } else {
      report.cleanupErrors.push_back(failureLine(instances[i]->label(), PF_Cmd_FRAME_SETDOWN, r));
    }
  }
  clock.lap(Stage::FrameSetdown);
  return report;
}

std::vector<std::string> shutDown(std::span<Instance* const> instances,
                                  std::span<Effect* const> effects) {
  std::vector<std::string> failures;
  for (Instance* inst : instances) {
    if (!inst->sequenceOpen() && !inst->sequenceData()) continue;
    CommandResult r = inst->sequenceSetdown();
    if (!r.ok()) failures.push_back(failureLine(inst->label(), PF_Cmd_SEQUENCE_SETDOWN, r));
  }
  for (Effect* effect : effects) {
    if (!effect->globallySetUp() && !effect->globalData()) continue;
    CommandResult r = effect->globalSetdown();
    if (!r.ok()) failures.push_back(failureLine(effect->pipl().name, PF_Cmd_GLOBAL_SETDOWN, r));
  }
  return failures;
}

}  // namespace vask::host
