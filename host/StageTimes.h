// Where the time of a render goes: per-stage totals over the frames of a
// run, read from a steady clock at the edges of each stage (a handful of
// clock reads per frame, nothing per pixel or per instance).
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ostream>

namespace vask::host {

enum class Stage : std::size_t {
  Pictures,      // reading the layers' pictures and handing them to the effects
  FrameSetup,    // FRAME_SETUP of every instance (the scene is built here)
  Render,        // RENDER of every instance (Scene Render draws the scene here)
  FrameSetdown,  // FRAME_SETDOWN of every instance
  Compositing,   // the layers' results laid over the background
  WriterWait,    // the render loop waiting for the PNG writer to take a frame
  Png,           // PNG conversion, encoding and writing, on the writer thread
};
inline constexpr std::size_t kStageCount = 7;

// "layer pictures", "frame setup", …, as the timing table shows them.
const char* stageName(Stage stage);
// At most 9 characters, for narrow columns: "pictures", "setup", ….
const char* stageShortName(Stage stage);

struct StageTimes {
  using Clock = std::chrono::steady_clock;

  // Per stage, summed over the frames. Every stage but Png runs on the
  // render loop's thread; Png runs beside it, so it overlaps the others.
  std::array<Clock::duration, kStageCount> total{};
  int64_t frames = 0;
  // From the start of the first frame until the last frame is on disk.
  Clock::duration wall{};
  // Before the first frame: reading the project, loading and setting up
  // its effects.
  Clock::duration startup{};

  void add(Stage stage, Clock::duration d) { total[static_cast<std::size_t>(stage)] += d; }
  Clock::duration operator[](Stage stage) const { return total[static_cast<std::size_t>(stage)]; }
};

inline double milliseconds(StageTimes::Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Times consecutive stages: each lap() charges the time since the previous
// lap (or construction) to a stage. With a null record it reads no clock.
class StageClock {
 public:
  explicit StageClock(StageTimes* times) : times_(times) {
    if (times_) last_ = StageTimes::Clock::now();
  }
  void lap(Stage stage) {
    if (!times_) return;
    const auto now = StageTimes::Clock::now();
    times_->add(stage, now - last_);
    last_ = now;
  }

 private:
  StageTimes* times_;
  StageTimes::Clock::time_point last_{};
};

// The table `vask render --timings` prints: for each stage its total, its
// mean per frame and its share of the wall time; the time of the render
// loop's thread outside every stage as "other"; the PNG writer's time beside
// them; then the frame rate.
void printStageTimes(std::ostream& os, const StageTimes& times);

}  // namespace vask::host
