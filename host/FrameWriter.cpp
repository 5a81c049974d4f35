#include "host/FrameWriter.h"

#include <utility>

#include "host/PngImage.h"

namespace vask::host {

FrameWriter::FrameWriter(Written written, StageTimes* times)
    : written_(std::move(written)), times_(times), thread_([this] { run(); }) {}

FrameWriter::~FrameWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void FrameWriter::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    // A frame handed over is written even when stopping: it is never left
    // half done, and the caller may be waiting for it.
    changed_.wait(lock, [&] { return job_ || stopping_; });
    if (!job_) return;
    Job job = std::move(*job_);
    job_.reset();
    lock.unlock();

    const auto start = StageTimes::Clock::now();
    std::exception_ptr error;
    try {
      writePng(job.file, job.picture);
    } catch (...) {
      error = std::current_exception();
    }
    job.picture = World();  // the memory goes back before the next frame arrives
    const auto spent = StageTimes::Clock::now() - start;

    lock.lock();
    pngTime_ += spent;
    outcome_ = Outcome{job.frame, std::move(job.file), error};
    busy_ = false;
    changed_.notify_all();
  }
}

void FrameWriter::settle() {
  std::optional<Outcome> outcome;
  {
    const auto start = StageTimes::Clock::now();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !busy_; });
    if (times_) {
      times_->add(Stage::WriterWait, StageTimes::Clock::now() - start);
      times_->add(Stage::Png, pngTime_);
    }
    pngTime_ = {};
    outcome.swap(outcome_);
  }
  if (!outcome) return;
  if (outcome->error) std::rethrow_exception(outcome->error);
  if (written_) written_(outcome->frame, outcome->file);
}

void FrameWriter::submit(int64_t frame, std::filesystem::path file, World picture) {
  settle();
  {
    std::lock_guard lock(mutex_);
    job_ = Job{frame, std::move(file), std::move(picture)};
    busy_ = true;
  }
  changed_.notify_all();
}

void FrameWriter::finish() { settle(); }

}  // namespace vask::host
