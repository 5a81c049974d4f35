// Writes rendered frames to PNG files on a thread of its own, so that the
// encoding and writing of frame N overlap the rendering of frame N + 1.
//
// One frame at a time is with the writer: submit() first waits until the
// frame handed over before is on disk (or has failed), so a render holds at
// most two frames (one being written, one being rendered). Every file is
// written as writePng writes it (a temporary name, then a rename), so no
// final name ever names a partial file. The `written` callback and every
// failure reach the caller on the caller's own thread, in frame order.
//
// Lifecycle: construct (starts the thread), submit() frames, finish(); the
// destructor lets the writer complete the frame it holds, then joins it, so
// nothing is left running on any way out.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "host/StageTimes.h"
#include "host/World.h"

namespace vask::host {

class FrameWriter {
 public:
  // Called, on the thread that calls submit() or finish(), once for each
  // frame whose file is complete.
  using Written = std::function<void(int64_t frame, const std::filesystem::path& file)>;

  // `times`, when given, gets the writer's time in Stage::Png and the time
  // submit() and finish() wait for it in Stage::WriterWait; it must outlive
  // the writer. Throws std::system_error when the thread cannot start.
  FrameWriter(Written written, StageTimes* times = nullptr);
  ~FrameWriter();
  FrameWriter(const FrameWriter&) = delete;
  FrameWriter& operator=(const FrameWriter&) = delete;

  // Waits for the frame handed over before; reports it written, or throws
  // its failure (a HostError naming the file) without taking `picture`.
  // Then hands `picture` over, to be written to `file` as 8-bit RGBA.
  void submit(int64_t frame, std::filesystem::path file, World picture);

  // Waits for the frame handed over last; reports it written or throws its
  // failure. A failure is thrown once: later calls return quietly.
  void finish();

 private:
  struct Job {
    int64_t frame;
    std::filesystem::path file;
    World picture;
  };
  struct Outcome {
    int64_t frame;
    std::filesystem::path file;
    std::exception_ptr error;
  };

  void run();
  // Waits until the writer holds no frame; reports the last outcome.
  void settle();

  Written written_;
  StageTimes* times_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<Job> job_;          // handed over, not yet taken by the writer
  bool busy_ = false;               // a frame is handed over and not yet done
  std::optional<Outcome> outcome_;  // of the last frame done, not yet reported
  StageTimes::Clock::duration pngTime_{};  // the writer's, not yet added to times_
  bool stopping_ = false;
  std::thread thread_;  // last: starts once every member above exists
};

}  // namespace vask::host
