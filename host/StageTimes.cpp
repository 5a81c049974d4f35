#include "host/StageTimes.h"

#include <cstdio>
#include <string>

namespace vask::host {
namespace {

std::string row(const char* name, double totalMs, int64_t frames, double wallMs, const char* note = "") {
  char line[160];
  std::snprintf(line, sizeof line, "%-24s %10.1f %10.1f %7.1f%%%s\n", name, totalMs,
                frames > 0 ? totalMs / static_cast<double>(frames) : 0.0,
                wallMs > 0 ? 100.0 * totalMs / wallMs : 0.0, note);
  return line;
}

}  // namespace

const char* stageName(Stage stage) {
  switch (stage) {
    case Stage::Pictures: return "layer pictures";
    case Stage::FrameSetup: return "frame setup";
    case Stage::Render: return "render";
    case Stage::FrameSetdown: return "frame setdown";
    case Stage::Compositing: return "compositing";
    case Stage::WriterWait: return "waiting for the writer";
    case Stage::Png: return "png convert+encode+write";
  }
  return "?";
}

const char* stageShortName(Stage stage) {
  switch (stage) {
    case Stage::Pictures: return "pictures";
    case Stage::FrameSetup: return "setup";
    case Stage::Render: return "render";
    case Stage::FrameSetdown: return "setdown";
    case Stage::Compositing: return "composite";
    case Stage::WriterWait: return "wait";
    case Stage::Png: return "png";
  }
  return "?";
}

void printStageTimes(std::ostream& os, const StageTimes& times) {
  const double wall = milliseconds(times.wall);
  char head[160];
  std::snprintf(head, sizeof head, "%-24s %10s %10s %8s\n", "stage", "total ms", "ms/frame", "share");
  os << head;
  auto inLoop = StageTimes::Clock::duration::zero();
  for (std::size_t k = 0; k < kStageCount; ++k) {
    const auto stage = static_cast<Stage>(k);
    if (stage == Stage::Png) continue;
    inLoop += times.total[k];
    os << row(stageName(stage), milliseconds(times.total[k]), times.frames, wall);
  }
  // Clock reads, progress lines and hand-offs between the stages.
  const auto other = times.wall > inLoop ? times.wall - inLoop : StageTimes::Clock::duration::zero();
  os << row("other", milliseconds(other), times.frames, wall);
  os << row("frame loop (wall)", wall, times.frames, wall);
  os << row(stageName(Stage::Png), milliseconds(times[Stage::Png]), times.frames, wall,
            "  (writer thread, beside the loop)");
  char tail[200];
  std::snprintf(tail, sizeof tail,
                "%lld frame%s in %.2f s: %.2f frames per second, %.1f ms per frame "
                "(set-up before the first frame: %.2f s)\n",
                static_cast<long long>(times.frames), times.frames == 1 ? "" : "s", wall / 1000.0,
                wall > 0 ? 1000.0 * static_cast<double>(times.frames) / wall : 0.0,
                times.frames > 0 ? wall / static_cast<double>(times.frames) : 0.0,
                milliseconds(times.startup) / 1000.0);
  os << tail;
}

}  // namespace vask::host
