#include "host/Interruption.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace vask::host {
namespace {

std::atomic<int> gStop{0};

// A handful of files are being written at any moment (a frame on the writer
// thread, a saved project); the handler reads the slots without locks.
constexpr int kSlots = 8;
constexpr std::size_t kPathSize = 4096;
struct Slot {
  std::atomic<bool> used{false};
  std::atomic<bool> ready{false};
  char path[kPathSize];
};
Slot gSlots[kSlots];

void writeText(const char* text) {
  const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

extern "C" void onStopSignal(int signal) {
  int expected = 0;
  if (gStop.compare_exchange_strong(expected, signal)) return;  // the first: noted
  // The second: end now. Only async-signal-safe calls from here on.
  for (Slot& s : gSlots)
    if (s.ready.load()) ::unlink(s.path);
  writeText(signal == SIGINT ? "\nvask: interrupted again (SIGINT): stopped at once\n"
                             : "\nvask: terminated again (SIGTERM): stopped at once\n");
  ::_exit(128 + signal);
}

struct Previous {
  struct sigaction interrupt, terminate, fileSize;
};
Previous gPrevious;
std::atomic<int> gInstalled{0};

}  // namespace

InterruptHandling::InterruptHandling() {
  if (gInstalled++ > 0) return;
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, &gPrevious.interrupt);
  ::sigaction(SIGTERM, &action, &gPrevious.terminate);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, &gPrevious.fileSize);
}

InterruptHandling::~InterruptHandling() {
  if (--gInstalled > 0) return;
  ::sigaction(SIGINT, &gPrevious.interrupt, nullptr);
  ::sigaction(SIGTERM, &gPrevious.terminate, nullptr);
  ::sigaction(SIGXFSZ, &gPrevious.fileSize, nullptr);
}

int stopRequested() noexcept { return gStop.load(); }
void clearStopRequest() noexcept { gStop.store(0); }

int registerTemporary(const char* path) noexcept {
  const std::size_t n = std::strlen(path);
  if (n >= kPathSize) return -1;
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (!gSlots[i].used.compare_exchange_strong(expected, true)) continue;
    std::memcpy(gSlots[i].path, path, n + 1);
    gSlots[i].ready.store(true);
    return i;
  }
  return -1;
}

void releaseTemporary(int slot) noexcept {
  if (slot < 0 || slot >= kSlots) return;
  gSlots[slot].ready.store(false);
  gSlots[slot].used.store(false);
}

}  // namespace vask::host
