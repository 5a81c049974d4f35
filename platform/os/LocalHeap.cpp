#include "platform/os/LocalHeap.h"

#include <atomic>
#include <cstdlib>

namespace vask::os {
namespace {
std::atomic<std::size_t> gSkip{0};
std::atomic<std::size_t> gFail{0};
std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gCalls{0};

bool shouldFail() {
  if (gFail.load() == 0) return false;
  if (gSkip.load() > 0) {
    --gSkip;
    return false;
  }
  --gFail;
  return true;
}
}  // namespace

void* localAlloc(std::size_t size) {
  ++gCalls;
  if (shouldFail()) return nullptr;
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p) ++gLive;
  return p;
}

void localFree(void* block) {
  if (!block) return;
  --gLive;
  std::free(block);
}

namespace testing {
void failAllocations(std::size_t skip, std::size_t count) {
  gSkip = skip;
  gFail = count;
}
std::size_t liveAllocations() { return gLive.load(); }
std::size_t allocationCalls() { return gCalls.load(); }
}  // namespace testing

}  // namespace vask::os
