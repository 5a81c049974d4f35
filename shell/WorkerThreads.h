// Threads an effect may spread one command's work over.
//
// The host says how many threads effects may use through the environment
// variable VASK_RENDER_THREADS (its --threads option); without it an effect
// works on the command's own thread alone. Work split with runBands gives
// the same result for any count: each band writes only its own part.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <thread>
#include <vector>

namespace vask {

inline constexpr uint32_t kMaxWorkerThreads = 64;

// VASK_RENDER_THREADS when it holds 1 … kMaxWorkerThreads, else 1.
inline uint32_t hostThreadCount() {
  if (const char* v = std::getenv("VASK_RENDER_THREADS")) {
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    if (end != v && *end == '\0' && n >= 1 && n <= static_cast<long>(kMaxWorkerThreads))
      return static_cast<uint32_t>(n);
  }
  return 1;
}

// Calls band(i) for i in [0, bands): band 0 on the calling thread, the others
// on threads of their own, and waits for all. The first exception any band
// threw (in band order) is rethrown once every band has ended, so nothing is
// still running when the caller unwinds. A thread that cannot be started
// runs its band on the calling thread instead.
template <class Band>
void runBands(uint32_t bands, const Band& band) {
  if (bands <= 1) {
    if (bands == 1) band(0u);
    return;
  }
  std::vector<std::exception_ptr> errors(bands);
  std::vector<std::thread> threads;
  threads.reserve(bands - 1);
  auto run = [&](uint32_t i) {
    try {
      band(i);
    } catch (...) {
      errors[i] = std::current_exception();
    }
  };
  uint32_t started = 1;
  try {
    for (; started < bands; ++started) threads.emplace_back(run, started);
  } catch (...) {
    // Out of threads: the rest run here, after band 0.
  }
  run(0);
  for (uint32_t i = started; i < bands; ++i) run(i);
  for (std::thread& t : threads) t.join();
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);
}

}  // namespace vask
