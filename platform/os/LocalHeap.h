// The process's local heap: plain, unzeroed blocks for memory the host does
// not own. One per process, with a fault seam so that every "memory ran out"
// path of the plug-ins can be tested through their real entry point.
#pragma once

#include <cstddef>

namespace vask::os {

// A new block of `size` bytes (contents undefined), or null when the heap is
// exhausted or a test made it fail. A size of 0 gives a valid 1-byte block.
[[nodiscard]] __attribute__((visibility("default"))) void* localAlloc(std::size_t size);

// Returns a block from localAlloc; null is ignored.
__attribute__((visibility("default"))) void localFree(void* block);

namespace testing {
// The next localAlloc calls succeed `skip` times and then fail `count` times.
__attribute__((visibility("default"))) void failAllocations(std::size_t skip, std::size_t count);
// localAlloc calls made so far (a fault sweep counts a scenario's).
__attribute__((visibility("default"))) std::size_t allocationCalls();
// Blocks handed out and not yet returned (for leak checks).
__attribute__((visibility("default"))) std::size_t liveAllocations();
}  // namespace testing

}  // namespace vask::os
