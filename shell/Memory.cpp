#include "shell/Memory.h"

#include "platform/os/LocalHeap.h"

namespace vask {

void* allocate(std::size_t size) {
    void* block = os::localAlloc(size);
    if (block == nullptr) raise(msg::kOutOfMemory);
    return block;
}

void freeBlock(void* block) noexcept { os::localFree(block); }

}  // namespace vask
