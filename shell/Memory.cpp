#include "shell/Memory.h"

#include <sys/mman.h>

#include <cstdint>

#include "platform/os/LocalHeap.h"

namespace vask {

void* allocate(std::size_t size) {
    void* block = os::localAlloc(size);
    if (block == nullptr) raise(msg::kOutOfMemory);
    return block;
}

void freeBlock(void* block) noexcept { os::localFree(block); }

void adviseHugePages(void* block, std::size_t bytes) noexcept {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (begin + bytes) & ~(kHugePage - 1);
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

}  // namespace vask
